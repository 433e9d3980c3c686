// The module's lock count: one lock per live add-on object (and per LockServer(TRUE)).
#pragma once

#include <atomic>

namespace pipeline {

inline std::atomic<long> moduleLockCount{0};

inline void LockModule() { ++moduleLockCount; }
inline void UnlockModule() { --moduleLockCount; }
inline long ModuleLockCount() { return moduleLockCount.load(); }

}  // namespace pipeline
