// Counts the heap bytes the benchmark binary holds, through replaced operator new/delete.
#pragma once

#include <cstddef>

namespace heap_counter {

struct Totals {
    std::size_t peakBytes;    // the most bytes held at once by blocks taken since Start
    std::size_t allocations;  // blocks taken since Start
};

// Counts only between Start and Stop, so timed code pays nothing for it.
void Start();
Totals Stop();

}  // namespace heap_counter
