// The add-on object when memory runs out at any one allocation: nothing escapes into the
// browser, nothing leaks, a worker that fails ends alone, and the next page is handled.
#include "tests/pipeline/addon_fixture_win.h"

#include <chrono>

#include <exdispid.h>
#include <mshtmdid.h>

#include "addon/win/scoped_variant.h"
#include "tests/pipeline/failing_allocation.h"

namespace {

using namespace pipeline_test;
using failing_allocation::Scope;
using simbrowser::Op;

const long kMostAllocations = 1000;  // far above what one event or one page makes

class AllocationFailures : public AddonTest {
protected:
    // Sends the event straight into the add-on's sink (so that only the add-on's allocations
    // count) once for each allocation it makes, that allocation failing; every time the sink
    // answers, the worker (if any) ends, and no reference is left over.
    void FailEachAllocationOf(DISPID event) {
        simbrowser::Page& top = browser->Top();
        bool exhausted = false;
        for (long skip = 0; !exhausted && skip < kMostAllocations; ++skip) {
            SCOPED_TRACE(skip);
            const bool onload = event == DISPID_HTMLWINDOWEVENTS2_ONLOAD;
            if (onload) {
                top.SetReadyState(L"interactive");
                browser->FireDownloadBegin();  // the onload path: a sink on the window
                top.SetComplete();
            }
            win::ComPtr<IDispatch> sink =
                onload ? top.WindowSinks().at(0) : browser->EventSinks().at(0);
            win::ComPtr<IWebBrowser2> pDisp = top.Browser();
            win::ScopedVariant url(top.Url().c_str());
            VARIANTARG args[2];  // last to first: URL, pDisp
            ::VariantInit(&args[0]);
            args[0].vt = VT_VARIANT | VT_BYREF;
            args[0].pvarVal = url.Get();
            ::VariantInit(&args[1]);
            args[1].vt = VT_DISPATCH;
            args[1].pdispVal = pDisp.Get();
            DISPPARAMS params{onload ? &args[0] : args, nullptr, onload ? 1u : 2u, 0};
            failing_allocation::Arm(Scope::kThisThread, skip);
            try {
                const HRESULT hr = sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT,
                                                DISPATCH_METHOD, &params, nullptr, nullptr,
                                                nullptr);
                EXPECT_TRUE(hr == S_OK || hr == E_OUTOFMEMORY) << std::hex << hr;
            } catch (...) {
                ADD_FAILURE() << "an exception left the event sink";
            }
            exhausted = !failing_allocation::Disarm();
            ASSERT_TRUE(WaitIdle());
            browser->ReleaseWindowConnections(top);
            EXPECT_EQ(lockBefore + 1, pipeline::ModuleLockCount());
        }
        EXPECT_TRUE(exhausted);
    }

    // Releases everything; then no object of the add-on or of the browser may be left.
    void ExpectNothingLeft() {
        Detach();
        addon.Reset();
        browser.reset();
        EXPECT_TRUE(WaitIdle());
        EXPECT_EQ(lockBefore, pipeline::ModuleLockCount());
        EXPECT_EQ(0u, simbrowser::LiveObjectCount());
    }
};

TEST_F(AllocationFailures, EventsThatStartAWorkerLetNoExceptionOutAndLeakNothing) {
    Open();
    ASSERT_EQ(1u, NavigateAndWait());
    for (DISPID event : {DISPID_DOCUMENTCOMPLETE, DISPID_HTMLWINDOWEVENTS2_ONLOAD}) {
        SCOPED_TRACE(event);
        FailEachAllocationOf(event);
    }
    ExpectNothingLeft();
}

TEST_F(AllocationFailures, WorkerThatRunsOutEndsAloneAndAFailedFetchLeavesThePageToTheWalk) {
    SetSelectorPort(selector_test::UnusedLoopbackPort());
    // Whichever step a failed allocation interrupts, the conversation ends by its timer at the
    // latest: short bounds keep every page within the idle wait, however loaded the machine.
    bounds.connectTimeout = std::chrono::milliseconds(500);
    bounds.deadline = std::chrono::milliseconds(1000);
    // Long enough that taking it as narrow text allocates.
    SetString(HKEY_LOCAL_MACHINE, L"Selector Selector Host",
              L"0000:0000:0000:0000:0000:0000:0000:0001");
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());  // the first page loads every setting
    bool exhausted = false;
    for (long skip = 0; !exhausted && skip < kMostAllocations; ++skip) {
        SCOPED_TRACE(skip);
        SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);  // every page fetches
        b.ClearJournal();
        failing_allocation::Arm(Scope::kOtherThreads, skip);
        b.Navigate();
        const bool idle = WaitIdle();
        exhausted = !failing_allocation::Disarm();
        ASSERT_TRUE(idle);
        // Whatever fails from the fetch on, the page still reaches the walk.
        EXPECT_EQ(1u, b.Top().CallCount(Op::kGetUrl));
    }
    EXPECT_TRUE(exhausted);
    EXPECT_TRUE(HasBothScripts(b.Top()));  // once, and never a part of a pair
    ExpectNothingLeft();
}

}  // namespace
