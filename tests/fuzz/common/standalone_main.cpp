// The main of a fuzz target when libFuzzer is not there (gcc builds): replays every corpus file,
// then mutates the corpus with a fixed seed until the time is up. Takes the libFuzzer options the
// CTest smoke run passes (-max_total_time, -max_len, -runs, -seed, -dict, -artifact_prefix),
// ignores the others, and treats every other argument as a file or a directory of inputs.
// An input that crashes is written to <artifact_prefix>crash-standalone before the process dies.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" __attribute__((weak)) void __sanitizer_set_death_callback(void (*callback)());

namespace
{

using Bytes = std::vector<std::uint8_t>;

// Read by the crash handlers, which may only make async-signal-safe calls.
const std::uint8_t* g_current = nullptr;
std::size_t g_currentSize = 0;
char g_crashPath[4096] = "crash-standalone";

void DumpCurrentInput()
{
    static volatile sig_atomic_t dumped = 0;
    if (dumped || !g_current)
        return;
    dumped = 1;
    const int fd = open(g_crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    std::size_t written = 0;
    while (written < g_currentSize) {
        const ssize_t n = write(fd, g_current + written, g_currentSize - written);
        if (n <= 0)
            break;
        written += std::size_t(n);
    }
    close(fd);
    static const char note[] = "standalone fuzz runner: input saved for the crash\n";
    [[maybe_unused]] const ssize_t ignored = write(2, note, sizeof note - 1);
}

void OnFatalSignal(int signal)
{
    DumpCurrentInput();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void Run(const Bytes& input)
{
    // Its own heap copy, so that a read past the end is an ASan finding, not a silent read.
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[std::max<std::size_t>(input.size(), 1)]);
    std::copy(input.begin(), input.end(), copy.get());
    g_current = copy.get();
    g_currentSize = input.size();
    LLVMFuzzerTestOneInput(copy.get(), input.size());
    g_current = nullptr;
}

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// libFuzzer's dictionary format: one quoted token per line, with \\, \" and \xNN escapes.
std::vector<Bytes> ReadDictionary(const std::string& path)
{
    std::vector<Bytes> tokens;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t open = line.find('"');
        const std::size_t close = line.rfind('"');
        if (line.empty() || line[0] == '#' || open == std::string::npos || close <= open)
            continue;
        Bytes token;
        for (std::size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && i + 1 < close) {
                if (line[i + 1] == 'x' && i + 3 < close && HexValue(line[i + 2]) >= 0 &&
                    HexValue(line[i + 3]) >= 0) {
                    token.push_back(std::uint8_t(HexValue(line[i + 2]) * 16 + HexValue(line[i + 3])));
                    i += 3;
                    continue;
                }
                token.push_back(std::uint8_t(line[++i]));
                continue;
            }
            token.push_back(std::uint8_t(line[i]));
        }
        if (!token.empty())
            tokens.push_back(std::move(token));
    }
    return tokens;
}

class CMutator
{
public:
    CMutator(unsigned seed, std::size_t maxLength, std::vector<Bytes> dictionary)
        : m_random(seed), m_maxLength(maxLength), m_dictionary(std::move(dictionary))
    {
    }

    Bytes Mutate(const std::vector<Bytes>& pool)
    {
        Bytes input = pool.empty() ? Bytes() : pool[Below(pool.size())];
        const std::size_t steps = 1 + Below(8);
        for (std::size_t i = 0; i < steps; ++i)
            Step(input, pool);
        if (input.size() > m_maxLength)
            input.resize(m_maxLength);
        return input;
    }

private:
    std::size_t Below(std::size_t bound) { return bound ? m_random() % bound : 0; }

    std::uint8_t SomeByte()
    {
        static const std::uint8_t interesting[] = {0, 1, 0x7F, 0x80, 0xFF, '<', '>', '"', '&', ';',
                                                   ',', '.', ':', '\'', ' ', '\t', '\r', '\n', '#',
                                                   '/', '(', ')', '=', '?', '0', '9'};
        return Below(2) ? std::uint8_t(m_random()) : interesting[Below(sizeof interesting)];
    }

    void Step(Bytes& input, const std::vector<Bytes>& pool)
    {
        const std::size_t at = Below(input.size() + 1);
        switch (Below(9)) {
        case 0: // flip a bit
            if (!input.empty())
                input[Below(input.size())] ^= std::uint8_t(1u << Below(8));
            break;
        case 1: // set a byte
            if (!input.empty())
                input[Below(input.size())] = SomeByte();
            break;
        case 2: { // insert bytes
            const std::size_t count = 1 + Below(16);
            for (std::size_t i = 0; i < count; ++i)
                input.insert(input.begin() + std::ptrdiff_t(at), SomeByte());
            break;
        }
        case 3: { // erase a range
            const std::size_t count = std::min(input.size() - at, 1 + Below(64));
            input.erase(input.begin() + std::ptrdiff_t(at), input.begin() + std::ptrdiff_t(at + count));
            break;
        }
        case 4: { // repeat a range
            if (input.empty())
                break;
            const std::size_t from = Below(input.size());
            const std::size_t count = std::min(input.size() - from, 1 + Below(256));
            const Bytes piece(input.begin() + std::ptrdiff_t(from),
                              input.begin() + std::ptrdiff_t(from + count));
            const std::size_t times = 1 + Below(8);
            for (std::size_t i = 0; i < times && input.size() < m_maxLength; ++i)
                input.insert(input.begin() + std::ptrdiff_t(at), piece.begin(), piece.end());
            break;
        }
        case 5:
        case 6: { // insert or overwrite with a token
            if (m_dictionary.empty())
                break;
            const Bytes& token = m_dictionary[Below(m_dictionary.size())];
            if (Below(2) || at + token.size() > input.size())
                input.insert(input.begin() + std::ptrdiff_t(at), token.begin(), token.end());
            else
                std::copy(token.begin(), token.end(), input.begin() + std::ptrdiff_t(at));
            break;
        }
        case 7: { // splice in a piece of another input
            if (pool.empty())
                break;
            const Bytes& other = pool[Below(pool.size())];
            if (other.empty())
                break;
            const std::size_t from = Below(other.size());
            const std::size_t count = std::min(other.size() - from, 1 + Below(512));
            input.insert(input.begin() + std::ptrdiff_t(at), other.begin() + std::ptrdiff_t(from),
                         other.begin() + std::ptrdiff_t(from + count));
            break;
        }
        case 8: // cut the end
            input.resize(at);
            break;
        }
    }

    std::mt19937 m_random;
    std::size_t m_maxLength;
    std::vector<Bytes> m_dictionary;
};

bool TakeOption(const std::string& argument, const char* name, std::string& value)
{
    const std::string prefix = std::string("-") + name + "=";
    if (argument.rfind(prefix, 0) != 0)
        return false;
    value = argument.substr(prefix.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    double seconds = 0;
    long long runs = -1;
    unsigned seed = 1;
    std::size_t maxLength = 65536;
    std::string dictionaryPath;
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string value;
        if (TakeOption(argument, "max_total_time", value))
            seconds = std::atof(value.c_str());
        else if (TakeOption(argument, "runs", value))
            runs = std::atoll(value.c_str());
        else if (TakeOption(argument, "seed", value))
            seed = unsigned(std::strtoul(value.c_str(), nullptr, 10));
        else if (TakeOption(argument, "max_len", value))
            maxLength = std::size_t(std::strtoull(value.c_str(), nullptr, 10));
        else if (TakeOption(argument, "dict", value))
            dictionaryPath = value;
        else if (TakeOption(argument, "artifact_prefix", value))
            std::snprintf(g_crashPath, sizeof g_crashPath, "%scrash-standalone", value.c_str());
        else if (argument.rfind("-", 0) == 0)
            continue; // other libFuzzer options mean nothing here
        else
            inputs.emplace_back(argument);
    }

    for (const int signal : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        std::signal(signal, OnFatalSignal);
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(DumpCurrentInput);

    std::vector<Bytes> pool;
    for (const auto& path : inputs) {
        if (std::filesystem::is_directory(path)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end()); // the same order, so the same run, every time
            for (const auto& file : files)
                pool.push_back(ReadFile(file));
        } else {
            pool.push_back(ReadFile(path));
        }
    }

    long long executions = 0;
    Run(Bytes());
    ++executions;
    for (const Bytes& input : pool) {
        Run(input);
        ++executions;
    }
    const long long replayed = executions;

    CMutator mutator(seed, maxLength,
                     dictionaryPath.empty() ? std::vector<Bytes>() : ReadDictionary(dictionaryPath));
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while ((runs < 0 && seconds > 0 && std::chrono::steady_clock::now() < deadline) ||
           (runs >= 0 && executions - replayed < runs)) {
        Run(mutator.Mutate(pool));
        ++executions;
    }
    std::printf("standalone fuzz runner: %zu corpus inputs, %lld executions, no finding\n",
                pool.size(), executions);
    return 0;
}
