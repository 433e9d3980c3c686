// Page workers belong to one attachment of their object: they never run on after a detach or
// a move to another browser, and they sit in a COM apartment only while they use a document.
#include <winternl.h>

#include <chrono>

#include "tests/pipeline/addon_fixture_win.h"

namespace {

using namespace pipeline_test;
using selector_test::LoopbackService;
using selector_test::ServiceScript;
using simbrowser::Page;

// COM keeps its per-thread state in the thread's environment block from the thread's first
// entry into an apartment on; a thread that has never entered one has none.
bool HasEnteredCom(DWORD threadId) {
    struct BasicInformation {  // THREAD_BASIC_INFORMATION
        LONG exitStatus;
        TEB* teb;
        void* clientId[2];
        ULONG_PTR affinity;
        LONG priority;
        LONG basePriority;
    };
    typedef LONG(NTAPI * QueryThread)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    win::UniqueHandleObject thread(::OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId));
    BasicInformation information = {};
    if (!query || !thread || query(thread.Get(), 0, &information, sizeof information, nullptr) < 0)
        ADD_FAILURE() << "cannot read the environment block of thread " << threadId;
    return information.teb && information.teb->ReservedForOle;
}

class WorkerLifetime : public AddonTest {
protected:
    // Every page fetches from a service that accepts and never answers, until the deadline.
    void UseSilentService(std::chrono::milliseconds deadline) {
        ServiceScript silent;
        silent.readRequest = false;
        service.reset(new LoopbackService(silent));
        SetSelectorPort(service->Port());
        SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
        bounds.deadline = deadline;
    }
    bool WaitForConversations(std::size_t count) {
        return simbrowser::PumpUntil([&] { return service->Connections() == count; }, 3000);
    }

    std::unique_ptr<LoopbackService> service;
};

TEST_F(WorkerLifetime, WorkersStartedBeforeADetachStayStoppedAfterTheObjectIsSitedAgain) {
    UseSilentService(std::chrono::milliseconds(2500));
    simbrowser::SimBrowser& first = Open();
    Page& frame = first.Top().AddFrame(L"http://f.example.com/");
    first.Navigate();  // its worker talks to the service until the deadline
    ASSERT_TRUE(WaitForConversations(1));
    simbrowser::NavigateOptions loading;
    loading.completeDocuments = false;
    first.NavigateFrame(frame, L"http://f2.example.com/", loading);  // waits behind it
    ASSERT_EQ(S_OK, addon->SetSite(nullptr));  // gives up on the waiting worker after a second

    simbrowser::SimBrowser second(L"http://second.example.com/");
    ASSERT_EQ(S_OK, addon->SetSite(second.Site().Get()));
    second.Navigate();  // a new worker: it must not revive the two old ones
    EXPECT_TRUE(WaitIdle(6000));
    EXPECT_TRUE(first.Top().BodyChildren().empty());
    EXPECT_TRUE(frame.BodyChildren().empty());
    EXPECT_TRUE(HasBothScripts(second.Top()));
    Detach();
}

TEST_F(WorkerLifetime, MovingToAnotherBrowserStopsTheOldBrowsersWorkers) {
    simbrowser::SimBrowser& first = Open();
    simbrowser::NavigateOptions loading;
    loading.completeDocuments = false;
    first.Navigate(loading);  // its worker polls a document that never completes
    ASSERT_TRUE(simbrowser::PumpUntil([] { return RunningWorkerCount() == 1; }, 2000));
    simbrowser::SimBrowser second(L"http://second.example.com/");
    ASSERT_EQ(S_OK, addon->SetSite(second.Site().Get()));
    second.Navigate();
    EXPECT_TRUE(WaitIdle(3000));
    EXPECT_TRUE(HasBothScripts(second.Top()));
    Detach();
}

TEST_F(WorkerLifetime, WorkersEnterAnApartmentOnlyOnceTheyUseTheDocument) {
    UseSilentService(std::chrono::milliseconds(2000));
    simbrowser::SimBrowser& b = Open();
    Page& frame = b.Top().AddFrame(L"http://f.example.com/");
    b.Navigate();
    ASSERT_TRUE(WaitForConversations(1));
    b.NavigateFrame(frame, L"http://f2.example.com/");
    simbrowser::PumpFor(200);
    // One worker in its conversation, one waiting for it: neither pumps messages.
    const std::vector<DWORD> workers = RunningWorkerIds();
    ASSERT_EQ(2u, workers.size());
    for (DWORD id : workers) EXPECT_FALSE(HasEnteredCom(id)) << "worker " << id;
    EXPECT_TRUE(WaitIdle(5000));
    EXPECT_TRUE(HasBothScripts(frame));
}

}  // namespace
