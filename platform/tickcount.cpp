#include "platform/tickcount.h"

#include <chrono>

namespace {
std::function<std::uint32_t()>& TestSource()
{
    static std::function<std::uint32_t()> source;
    return source;
}
} // namespace

std::uint32_t GetTickCount()
{
    if (const auto& source = TestSource())
        return source();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SetTickSourceForTest(std::function<std::uint32_t()> source)
{
    TestSource() = std::move(source);
}
