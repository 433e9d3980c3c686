// Starting page worker threads and the process-wide worker table with its unload step.
#include "addon/pipeline/worker_thread_win.h"

#include <process.h>

#include <atomic>
#include <map>
#include <vector>

#include "addon/win/unique_handle.h"

namespace {

const DWORD kStartWaitMs = 10000;
const DWORD kTerminatedExitCode = 0xDEAD;
const DWORD kUnloadWaitMs = 5000;

std::atomic<std::size_t> startedWorkers{0};

std::shared_ptr<void> ShareHandle(HANDLE handle) {
    return std::shared_ptr<void>(handle, [](HANDLE h) { ::CloseHandle(h); });
}

struct StartParams {
    std::function<void()> body;
    HANDLE started;  // owned by the starter, alive until it has seen the signal or given up
};

unsigned __stdcall ThreadStart(void* raw) {
    std::unique_ptr<StartParams> params(static_cast<StartParams*>(raw));
    std::function<void()> body;
    body.swap(params->body);
    ::SetEvent(params->started);
    params.reset();
    try {
        body();
    } catch (...) {
        /* Boundary: whatever escapes a page worker ends only that worker. */
    }
    return 0;
}

// Waits for one handle until the deadline, dispatching window messages meanwhile.
bool WaitDispatching(HANDLE handle, ULONGLONG deadline) {
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) return false;  // timeout or failure
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

// Sets every thread's stop event, waits for all within one deadline (one at a time, so any
// number of threads can be waited for, dispatching messages), then terminates the rest.
std::size_t StopThreads(const std::vector<WorkerThread>& threads, DWORD timeoutMs) {
    for (const WorkerThread& thread : threads) ::SetEvent(thread.stopEvent.get());
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool allEnded = true;
    for (const WorkerThread& thread : threads) {
        if (!WaitDispatching(thread.handle.get(), deadline)) { allEnded = false; break; }
    }
    std::size_t terminated = 0;
    if (allEnded) return terminated;
    for (const WorkerThread& thread : threads) {
        if (!thread.Running()) continue;
        ::TerminateThread(thread.handle.get(), kTerminatedExitCode);
        ++terminated;
    }
    return terminated;
}

// The table and its unnamed system mutex, created on first use, one per process.
class WorkerTable {
public:
    WorkerTable() : mutex(::CreateMutexW(nullptr, FALSE, nullptr)) {}
    // Destroyed with the module's static data: the module's unload step.
    ~WorkerTable() {
        std::vector<WorkerThread> left;
        for (const auto& entry : threads) left.push_back(entry.second);
        StopThreads(left, kUnloadWaitMs);
    }

    void Enter(const WorkerThread& thread) {
        Hold hold(mutex.Get());
        for (auto it = threads.begin(); it != threads.end();) {
            if (it->second.Running()) ++it; else it = threads.erase(it);
        }
        threads.emplace(thread.id, thread);  // an entry with the same id is left as it is
    }

    std::vector<WorkerThread> Snapshot() {
        Hold hold(mutex.Get());
        std::vector<WorkerThread> copy;
        for (const auto& entry : threads) copy.push_back(entry.second);
        return copy;
    }

private:
    class Hold {
    public:
        explicit Hold(HANDLE m) : m(m) { if (m) ::WaitForSingleObject(m, INFINITE); }
        ~Hold() { if (m) ::ReleaseMutex(m); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
    private:
        HANDLE m;
    };

    win::UniqueHandleObject mutex;
    std::map<DWORD, WorkerThread> threads;
};

WorkerTable& Table() {
    static WorkerTable table;
    return table;
}

}  // namespace

bool WorkerThread::Running() const {
    return handle && ::WaitForSingleObject(handle.get(), 0) == WAIT_TIMEOUT;
}

bool StartWorkerThread(std::function<void()> body, WorkerThread& thread) {
    win::UniqueHandleObject started(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win::UniqueHandleObject stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!started || !stop) return false;
    std::unique_ptr<StartParams> params(new StartParams{std::move(body), started.Get()});
    unsigned id = 0;
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, ThreadStart, params.get(), 0, &id);
    if (handle == 0) return false;
    params.release();  // the thread owns it now
    ++startedWorkers;
    thread.id = id;
    thread.handle = ShareHandle(reinterpret_cast<HANDLE>(handle));
    thread.stopEvent = ShareHandle(stop.Detach());
    // The thread signals before it runs the body; if it never does, the event must outlive it.
    if (::WaitForSingleObject(started.Get(), kStartWaitMs) != WAIT_OBJECT_0) started.Detach();
    return true;
}

void EnterWorker(const WorkerThread& thread) { Table().Enter(thread); }

std::size_t WorkerTableSize() { return Table().Snapshot().size(); }

std::size_t StartedWorkerCount() { return startedWorkers.load(); }

std::size_t RunningWorkerCount() {
    std::size_t running = 0;
    for (const WorkerThread& thread : Table().Snapshot()) running += thread.Running() ? 1 : 0;
    return running;
}

std::size_t StopAllWorkers(DWORD timeoutMs) { return StopThreads(Table().Snapshot(), timeoutMs); }
