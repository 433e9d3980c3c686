// Makes one chosen allocation of the test program fail with std::bad_alloc.
#pragma once

namespace failing_allocation {

// Whose allocations count: the arming thread's, or every other thread's.
enum class Scope { kThisThread, kOtherThreads };

// The allocation after `skip` further allocations in scope throws std::bad_alloc.
void Arm(Scope scope, long skip);
// Stops counting; true when the failure was raised since Arm.
bool Disarm();

}  // namespace failing_allocation
