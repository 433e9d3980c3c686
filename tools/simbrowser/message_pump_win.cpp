// Message pumping on the user-interface thread and a worker apartment to call it from.
#include "tools/simbrowser/message_pump_win.h"

#include <atomic>
#include <thread>

#include "addon/win/scoped_co_init.h"

namespace simbrowser {
namespace {

constexpr DWORD kSliceMs = 5;  // how often `done` is looked at while nothing arrives

void DispatchPending() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        DispatchPending();
        if (done()) return true;
        ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        DWORD wait = static_cast<DWORD>(deadline - now < kSliceMs ? deadline - now : kSliceMs);
        ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool RunInWorkerApartment(const std::function<void()>& body, DWORD timeoutMs) {
    std::atomic<bool> finished(false);
    std::thread worker([&] {
        {
            win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
            try {
                body();
            } catch (...) {  // Boundary: a failing body ends only itself.
            }
        }
        finished = true;
    });
    bool inTime = PumpUntil([&] { return finished.load(); }, timeoutMs);
    if (!inTime) PumpUntil([&] { return finished.load(); }, INFINITE);
    worker.join();
    return inTime;
}

}  // namespace simbrowser
