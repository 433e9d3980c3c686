// Starting page worker threads and the process-wide worker table with its unload step.
#include "addon/pipeline/worker_thread_win.h"

#include <process.h>

#include <atomic>
#include <map>

#include "addon/win/unique_handle.h"

namespace {

const DWORD kStartWaitMs = 10000;
const DWORD kTerminatedExitCode = 0xDEAD;
const DWORD kUnloadWaitMs = 5000;

std::atomic<std::size_t> startedWorkers{0};

typedef std::shared_ptr<win::UniqueHandleObject> SharedHandle;

// A handle owner allocated before the handle exists, so that sharing it later cannot fail.
SharedHandle NewSharedHandle() { return std::make_shared<win::UniqueHandleObject>(); }

std::shared_ptr<void> Share(const SharedHandle& owner) {
    return std::shared_ptr<void>(owner, owner->Get());  // aliasing: no allocation
}

struct StartParams {
    std::function<void()> body;
    HANDLE started;  // owned by the starter, alive until it has seen the signal or given up
    HMODULE library;  // the thread's own reference on the library, taken by the starter
    SharedHandle leaving;
};

bool IsSet(const std::shared_ptr<void>& event) {
    return event && ::WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

// Runs the body; everything it holds is destroyed before the thread says it is leaving.
void RunThread(StartParams* raw) {
    SharedHandle leaving;
    {
        std::unique_ptr<StartParams> params(raw);
        std::function<void()> body;
        body.swap(params->body);
        leaving = params->leaving;
        ::SetEvent(params->started);
        params.reset();
        try {
            body();
        } catch (...) {
            /* Boundary: whatever escapes a page worker ends only that worker. */
        }
    }
    ::SetEvent(leaving->Get());
}

// Gives back the library reference as the very last act: when it was the last one, the
// library's unload step runs here, inside FreeLibraryAndExitThread, and never returns here.
unsigned __stdcall ThreadStart(void* raw) {
    const HMODULE library = static_cast<StartParams*>(raw)->library;
    RunThread(static_cast<StartParams*>(raw));
    ::FreeLibraryAndExitThread(library, 0);
    return 0;
}

void DispatchUntil(ULONGLONG deadline) {
    MSG message;
    while (::GetTickCount64() < deadline && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// Waits until the thread has ended or has stopped running library code, at most until the
// deadline, dispatching window messages meanwhile (a flood of them included).
bool WaitDispatching(const WorkerThread& thread, ULONGLONG deadline) {
    HANDLE handles[2] = {thread.handle.get(), thread.leavingEvent.get()};
    const DWORD count = handles[1] ? 2 : 1;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result =
            ::MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_ALLINPUT);
        if (result < WAIT_OBJECT_0 + count) return true;
        if (result != WAIT_OBJECT_0 + count || left == 0) return false;  // timeout or failure
        DispatchUntil(deadline);
    }
}

// Sets every thread's stop event, waits for all within one deadline (one at a time, so any
// number of threads can be waited for, dispatching messages), then terminates the rest. The
// calling thread may be a worker itself, giving back the library's last reference: it is
// neither waited for nor terminated, and neither are threads that have already left the
// library's code (their exit may need the loader lock that this thread holds).
std::size_t StopThreads(const std::vector<WorkerThread>& threads, DWORD timeoutMs) {
    const DWORD self = ::GetCurrentThreadId();
    for (const WorkerThread& thread : threads) ::SetEvent(thread.stopEvent.get());
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool allLeft = true;
    for (const WorkerThread& thread : threads) {
        if (thread.id == self || !thread.RunsLibraryCode()) continue;
        if (!WaitDispatching(thread, deadline)) { allLeft = false; break; }
    }
    std::size_t terminated = 0;
    if (allLeft) return terminated;
    for (const WorkerThread& thread : threads) {
        if (thread.id == self || !thread.RunsLibraryCode()) continue;
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

bool WorkerThread::RunsLibraryCode() const { return Running() && !IsSet(leavingEvent); }

bool StartWorkerThread(std::function<void()> body, WorkerThread& thread) {
    // Everything that can fail is made before the thread exists.
    win::UniqueHandleObject started(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const SharedHandle threadHandle = NewSharedHandle();
    const SharedHandle stop = NewSharedHandle();
    const SharedHandle leaving = NewSharedHandle();
    stop->Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    leaving->Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!started || !*stop || !*leaving) return false;
    std::unique_ptr<StartParams> params(
        new StartParams{std::move(body), started.Get(), nullptr, leaving});
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&ThreadStart), &params->library))
        return false;
    unsigned id = 0;
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, ThreadStart, params.get(), 0, &id);
    if (handle == 0) {
        ::FreeLibrary(params->library);  // the caller runs library code: never the last one
        return false;
    }
    params.release();  // the thread owns it now
    threadHandle->Reset(reinterpret_cast<HANDLE>(handle));
    ++startedWorkers;
    thread.id = id;
    thread.handle = Share(threadHandle);
    thread.stopEvent = Share(stop);
    thread.leavingEvent = Share(leaving);
    // The thread signals before it runs the body; if it never does, the event must outlive it.
    if (::WaitForSingleObject(started.Get(), kStartWaitMs) != WAIT_OBJECT_0) started.Detach();
    return true;
}

void EnterWorker(const WorkerThread& thread) { Table().Enter(thread); }

std::size_t WorkerTableSize() { return Table().Snapshot().size(); }

std::size_t StartedWorkerCount() { return startedWorkers.load(); }

std::size_t RunningWorkerCount() { return RunningWorkerIds().size(); }

std::vector<DWORD> RunningWorkerIds() {
    std::vector<DWORD> ids;
    for (const WorkerThread& thread : Table().Snapshot())
        if (thread.Running()) ids.push_back(thread.id);
    return ids;
}

std::size_t StopAllWorkers(DWORD timeoutMs) { return StopThreads(Table().Snapshot(), timeoutMs); }
