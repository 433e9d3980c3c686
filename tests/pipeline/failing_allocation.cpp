// The program's global operator new, with one failure on demand.
#include "tests/pipeline/failing_allocation.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace failing_allocation {
namespace {

std::atomic<long> countdown{-1};  // allocations left before the failure; negative: disarmed
std::atomic<DWORD> armingThread{0};
std::atomic<bool> othersCount{false};
std::atomic<bool> raised{false};

bool Counts() {
    if (countdown.load() < 0) return false;
    return (::GetCurrentThreadId() == armingThread.load()) != othersCount.load();
}

}  // namespace

void Arm(Scope scope, long skip) {
    raised = false;
    armingThread = ::GetCurrentThreadId();
    othersCount = scope == Scope::kOtherThreads;
    countdown = skip;
}

bool Disarm() {
    countdown = -1;
    return raised.load();
}

}  // namespace failing_allocation

void* operator new(std::size_t size) {
    using namespace failing_allocation;
    if (Counts() && countdown.fetch_sub(1) == 0) {
        raised = true;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
