#include "ui_driver.h"

#include <gtest/gtest.h>

namespace vt {

UiScript::UiScript(std::function<void(Ui &)> script) : script_(std::move(script))
{
    thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
}

UiScript::~UiScript()
{
    if (thread_) {
        Join();
    }
}

DWORD WINAPI UiScript::Run(LPVOID param)
{
    UiScript *self = static_cast<UiScript *>(param);
    Ui ui;
    try {
        self->script_(ui);
        self->done_ = true;
    } catch (const UiTimeout &t) {
        self->failure_ = t.what + "\nwindows open:\n" + DescribeWindows();
        uidrive::Rescue();
    } catch (const std::exception &e) {
        self->failure_ = std::string("script threw: ") + e.what();
        uidrive::Rescue();
    }
    return 0;
}

bool UiScript::Join(DWORD timeoutMs)
{
    if (!thread_)
        return done_;
    // Serve messages meanwhile: the script may be sending to windows of this thread.
    DWORD start = GetTickCount();
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &thread_, FALSE, 100, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (GetTickCount() - start >= timeoutMs) {
            ADD_FAILURE() << "UI script did not finish within " << timeoutMs << " ms\nwindows open:\n"
                          << DescribeWindows();
            TerminateThread(thread_, 1);
            break;
        }
    }
    CloseHandle(thread_);
    thread_ = NULL;
    if (!failure_.empty())
        ADD_FAILURE() << "UI script failed: " << failure_;
    return done_;
}

}  // namespace vt
