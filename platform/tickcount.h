#pragma once

#include <cstdint>
#include <functional>

// Milliseconds since an arbitrary start, truncated to 32 bits: it wraps after about 49.7 days,
// and the pacing code must survive that.
std::uint32_t GetTickCount();

// Tests replace the source to step time or to sit just before the wrap; an empty function
// restores the steady clock.
void SetTickSourceForTest(std::function<std::uint32_t()> source);
