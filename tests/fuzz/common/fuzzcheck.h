#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// A broken invariant is a finding like a crash: print where, then abort so that libFuzzer (or
// the standalone runner) keeps the input.
#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)

// Takes values off the front of a fuzz input; past its end everything reads as zero.
class CFuzzInput
{
public:
    CFuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t Byte()
    {
        return m_offset < m_size ? m_data[m_offset++] : 0;
    }
    std::uint16_t Word()
    {
        const std::uint16_t low = Byte();
        return std::uint16_t(low | (Byte() << 8));
    }
    // Up to `count` bytes, fewer at the end of the input.
    const std::uint8_t* Take(std::size_t count, std::size_t& taken)
    {
        taken = count < Remaining() ? count : Remaining();
        const std::uint8_t* at = m_data + m_offset;
        m_offset += taken;
        return at;
    }
    std::size_t Remaining() const { return m_size - m_offset; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};
