// Counts the heap bytes the benchmark binary holds, through replaced operator new/delete.
// Blocks are counted at the size malloc gives them, so the parsers see malloc's own size classes.
// Counting is off while the benchmarks time, so they run at malloc's own speed; the counters
// are plain because the binary runs on one thread. Blocks freed while counting that were
// taken before it started are not subtracted.
#include "bench/json/heap_counter.h"

#include <algorithm>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

bool counting = false;
std::size_t live = 0;
std::size_t peak = 0;
std::size_t calls = 0;

void* Allocate(std::size_t size) {
    void* block = std::malloc(size);
    if (!block) throw std::bad_alloc();
    if (counting) {
        live += malloc_usable_size(block);
        peak = std::max(peak, live);
        ++calls;
    }
    return block;
}

void Release(void* p) {
    if (!p) return;
    if (counting) live -= std::min(live, malloc_usable_size(p));
    std::free(p);
}

}  // namespace

namespace heap_counter {

void Start() {
    counting = true;
    live = peak = calls = 0;
}

Totals Stop() {
    counting = false;
    return Totals{peak, calls};
}

}  // namespace heap_counter

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try { return Allocate(size); } catch (...) { return nullptr; }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try { return Allocate(size); } catch (...) { return nullptr; }
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
