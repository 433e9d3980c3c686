// Page worker threads: starting one, and the process-wide table the module's unload step uses.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

// A started thread: its id, its waitable handle and its own stop event. Handle and event are
// shared with the worker table and closed with their last holder. Destroying a WorkerThread
// neither stops nor joins the thread.
struct WorkerThread {
    DWORD id = 0;
    std::shared_ptr<void> handle;
    std::shared_ptr<void> stopEvent;  // manual reset, initially not set
    // Manual reset, set by the thread just before it gives back its hold on the library: from
    // then on it runs no library code, and the unload step neither waits for it nor ends it.
    std::shared_ptr<void> leavingEvent;

    bool Running() const;
    bool RunsLibraryCode() const;
};

// Runs body on a new thread and waits (at most 10 s) until the thread reports that it runs.
// The thread keeps the library that holds this code loaded for its whole life and gives it
// back as its very last act, so the library cannot be unmapped under it. Whatever body throws
// is caught on the thread. False when no thread could be started; body is then destroyed on
// the calling thread.
bool StartWorkerThread(std::function<void()> body, WorkerThread& thread);

// Enters a started thread in the process-wide table. Entries of threads that have ended are
// dropped first, so the table stays small and a reused thread id names the live thread.
void EnterWorker(const WorkerThread& thread);

// The module's unload step: sets every table thread's stop event, waits at most timeoutMs in
// all for those that still run library code (never for the calling thread) while dispatching
// this thread's window messages, then terminates the ones still running it. Returns how many
// had to be terminated. The table runs it itself, with 5000 ms, when it is destroyed with the
// module's static data.
std::size_t StopAllWorkers(DWORD timeoutMs = 5000);

// Threads in the table, page workers started in this process, and those still running.
std::size_t WorkerTableSize();
std::size_t StartedWorkerCount();
std::size_t RunningWorkerCount();
std::vector<DWORD> RunningWorkerIds();
