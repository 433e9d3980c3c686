// The process-wide worker table: entering threads and the module's unload step.
#include "addon/pipeline/worker_thread_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "tests/pipeline/app_message_window_win.h"

namespace {

WorkerThread Start(std::function<void()> body) {
    WorkerThread thread;
    EXPECT_TRUE(StartWorkerThread(std::move(body), thread));
    EnterWorker(thread);
    return thread;
}

TEST(WorkerTable, EndedThreadsLeaveTheTableWhenANewOneEnters) {
    std::vector<WorkerThread> ended;
    for (int i = 0; i < 5; ++i) ended.push_back(Start([] {}));
    for (const WorkerThread& thread : ended)
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.handle.get(), 5000));
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WorkerThread live = Start([release] { ::WaitForSingleObject(release, INFINITE); });
    EXPECT_EQ(1u, WorkerTableSize());
    EXPECT_EQ(1u, RunningWorkerCount());
    ::SetEvent(release);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(live.handle.get(), 5000));
    ::CloseHandle(release);
}

TEST(WorkerTable, ExceptionsEndOnlyTheirThread) {
    WorkerThread thread = Start([] { throw std::runtime_error("page failed"); });
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.handle.get(), 5000));
}

TEST(WorkerTable, UnloadWaitsForManyThreadsAndTerminatesOnlyStuckOnes) {
    std::atomic<int> finished{0};
    std::vector<WorkerThread> threads;
    for (int i = 0; i < 70; ++i)  // more than one wait call can watch
        threads.push_back(Start([&finished] { ::Sleep(200); ++finished; }));
    HANDLE never = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WorkerThread stuck = Start([never] { ::WaitForSingleObject(never, INFINITE); });
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(1u, StopAllWorkers(1500));
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_GE(took, 1400u);
    EXPECT_LT(took, 3000u);
    EXPECT_EQ(70, finished.load());
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(stuck.handle.get(), 2000));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(stuck.stopEvent.get(), 0));
    ::CloseHandle(never);
    EXPECT_EQ(0u, StopAllWorkers(100));  // nothing left running
}

TEST(WorkerTable, UnloadStepOnAWorkerNeitherWaitsForNorEndsThatWorker) {
    // The library's last reference can go on a worker: the unload step then runs there.
    HANDLE entered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> returned{false};
    std::atomic<std::size_t> terminated{99};
    WorkerThread self = Start([&] {
        ::WaitForSingleObject(entered, INFINITE);
        terminated = StopAllWorkers(1000);
        returned = true;
    });
    ::SetEvent(entered);
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(self.handle.get(), 5000));
    EXPECT_LT(::GetTickCount64() - start, 500u);
    EXPECT_TRUE(returned);
    EXPECT_EQ(0u, terminated.load());
    ::CloseHandle(entered);
}

TEST(WorkerTable, UnloadWaitEndsOnTimeWhileMessagesKeepArriving) {
    HANDLE never = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WorkerThread stuck = Start([never] { ::WaitForSingleObject(never, INFINITE); });
    // Each message handled posts the next, for four seconds.
    const ULONGLONG floodEnds = ::GetTickCount64() + 4000;
    pipeline_test::AppMessageWindow* self = nullptr;
    pipeline_test::AppMessageWindow flood([&] {
        if (::GetTickCount64() < floodEnds) self->Post();
    });
    self = &flood;
    flood.Post();
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(1u, StopAllWorkers(500));
    EXPECT_LT(::GetTickCount64() - start, 2000u);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(stuck.handle.get(), 2000));
    ::CloseHandle(never);
}

}  // namespace
