// A message-only window that runs a callback for every WM_APP it receives: something that
// happens inside whatever wait dispatches this thread's messages.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

namespace pipeline_test {

class AppMessageWindow {
public:
    explicit AppMessageWindow(std::function<void()> onMessage) : onMessage(std::move(onMessage)) {
        WNDCLASSW type = {};
        type.lpfnWndProc = &AppMessageWindow::Procedure;
        type.hInstance = ::GetModuleHandleW(nullptr);
        type.lpszClassName = L"BrimwellAppMessageWindow";
        ::RegisterClassW(&type);  // fails harmlessly once the class exists
        window = ::CreateWindowW(type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 type.hInstance, nullptr);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~AppMessageWindow() { ::DestroyWindow(window); }
    AppMessageWindow(const AppMessageWindow&) = delete;
    AppMessageWindow& operator=(const AppMessageWindow&) = delete;

    HWND Handle() const { return window; }
    void Post() const { ::PostMessageW(window, WM_APP, 0, 0); }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
        if (message != WM_APP) return ::DefWindowProcW(hwnd, message, w, l);
        auto* self = reinterpret_cast<AppMessageWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) self->onMessage();
        return 0;
    }

    std::function<void()> onMessage;
    HWND window = nullptr;
};

}  // namespace pipeline_test
