#pragma once
// The Wine tests' UI driver: the dialog driver of tools/uidrive plus UiScript, which runs
// a script on its own thread while the test's main thread sits in an export's modal
// loop, and turns a timeout into a test failure listing the windows that were open.
//
//   UiScript ui([](Ui &u) {
//       HWND dlg = u.WaitDialog("Send Designs - COM Port");
//       u.Click(dlg, IDOK);
//       MessageBoxInfo box = u.WaitMessageBox("Attention");
//       EXPECT_EQ(box.text, "...");
//       u.Answer(box, IDOK);
//   });
//   int result = dll.DirectFilesDownload(owner, path, 0);
//   ui.Join();            // assert on the main thread only after Join
#include <windows.h>

#include <functional>
#include <string>

#include "ui_drive.h"

namespace vt {

using uidrive::DEFAULT_TIMEOUT_MS;
using uidrive::DescribeWindows;
using uidrive::ControlText;
using uidrive::IsChecked;
using uidrive::IsControlEnabled;
using uidrive::IsControlVisible;
using uidrive::MessageBoxInfo;
using uidrive::ReadMessageBox;
using uidrive::TopLevelWindows;
using uidrive::Ui;
using uidrive::UiTimeout;
using uidrive::WindowText;

// Runs a script on its own thread. Join() waits for it (bounded), reports a timeout or
// an exception as a test failure, and returns whether the script completed.
class UiScript {
public:
    explicit UiScript(std::function<void(Ui &)> script);
    ~UiScript();
    bool Join(DWORD timeoutMs = 60000);
    UiScript(const UiScript &) = delete;
    UiScript &operator=(const UiScript &) = delete;

private:
    static DWORD WINAPI Run(LPVOID self);
    std::function<void(Ui &)> script_;
    HANDLE thread_ = NULL;
    std::string failure_;
    bool done_ = false;
};

}  // namespace vt
