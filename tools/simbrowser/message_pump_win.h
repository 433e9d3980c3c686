// Keeps a user-interface thread dispatching (and so serving calls from other apartments)
// while a test waits for something.
#pragma once

#include <windows.h>

#include <functional>

namespace simbrowser {

// Dispatches the calling thread's messages until `done` holds or `timeoutMs` has passed;
// true when `done` held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Dispatches messages for `ms` milliseconds.
void PumpFor(DWORD ms);

// Runs `body` on a new thread inside its own single-threaded apartment while the calling
// thread dispatches messages. True when the body ended within `timeoutMs`; otherwise the
// pump goes on until it ends (the body may use the caller's objects) and false is returned.
bool RunInWorkerApartment(const std::function<void()>& body, DWORD timeoutMs);

}  // namespace simbrowser
