// The page window's onload listener, reporting to the add-on object through a plain callback.
#pragma once

#include <mshtml.h>
#include <windows.h>

#include "addon/pipeline/dispatch_impl_win.h"
#include "addon/win/com_ptr.h"

class CHtmlWindowEventSink;

// Not a COM interface: the add-on object implements it for the sinks it creates.
class IHtmlWindowEventCallback {
public:
    virtual void OnWindowLoad() = 0;
    // The sink is being destroyed; the object forgets it.
    virtual void OnWindowSinkReleased(CHtmlWindowEventSink* sink) = 0;

protected:
    ~IHtmlWindowEventCallback() = default;
};

class CHtmlWindowEventSink : public CDispatchImpl {
public:
    explicit CHtmlWindowEventSink(IHtmlWindowEventCallback* callback) : callback(callback) {}

    // Subscribes to the window's HTMLWindowEvents2, keeping a reference on the window.
    HRESULT Connect(IHTMLWindow2* target);
    // Stops reporting and drops the subscription (which may release this sink); run on the
    // window's thread.
    void Disconnect();
    // Stops reporting without touching the window (for a callback that goes away elsewhere).
    void ClearCallback() { callback = nullptr; }

protected:
    HRESULT HandleInvoke(DISPID id, DISPPARAMS* params) override;
    void OnFinalRelease() override;

private:
    IHtmlWindowEventCallback* callback;  // not counted
    DWORD cookie = 0;                    // 0 while not subscribed
    win::ComPtr<IHTMLWindow2> window;
};
