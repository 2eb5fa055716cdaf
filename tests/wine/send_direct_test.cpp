// Direct sends through DirectDownload: the host's design and name, the default name from
// the clock, the Vbd Name dialog, and the Open/Save folder name limit of a direct send.
#include <windows.h>

#include <gtest/gtest.h>

#include "design_name_res.h"
#include "send_support.h"
#include "settings_support.h"

using namespace vt;

namespace {

class DirectSend : public SendFixture {
protected:
    int Send(const std::vector<char> &design, const char *name)
    {
        return Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), name);
    }
};
class NameDialog : public DirectSend {};

const char VBD_NAME[] = "Vbd Name";
const char RENAME_MESSAGE[] = "A filename cannot contain any of the following characters:\n \\ / : * ? \" < > |";

uint64_t LocalTimeCount()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME count;
    SystemTimeToFileTime(&now, &count);
    return ((uint64_t)count.dwHighDateTime << 32) | count.dwLowDateTime;
}

// The count a default name stands for; false when it is not base-36 digits with ".vbd".
bool DecodeDefaultName(const std::string &name, uint64_t *count)
{
    if (name.size() < 5 || name.size() > 17 || name.substr(name.size() - 4) != ".vbd")
        return false;
    *count = 0;
    for (char c : name.substr(0, name.size() - 4)) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'Z' ? c - 'A' + 10 : -1;
        if (digit < 0)
            return false;
        *count = *count * 36 + digit;
    }
    return name[0] != '0';
}

// The name the direct sequence was given.
std::string SentName()
{
    for (const SimCall &c : ReadSimCalls())
        if (c.op == "Protocol_Seq_Download_Direct" || c.op == "USB_DirectDownload_Sequence")
            return c.Arg("name");
    return "(not sent)";
}

TEST_F(DirectSend, StoresTheHostsBytesUnderItsName)
{
    std::vector<char> design = DesignBytes(1200, 7);
    for (bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "USB" : "serial");
        UseUsb(usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(usb ? SEND_USB : SEND_COM);
            EXPECT_TRUE(IsControlVisible(dlg, IDC_SEND_NAME));
            EXPECT_TRUE(IsControlEnabled(dlg, IDC_SEND_NAME));
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(Send(design, "Flower.vbd"), 1);
        ui.Join();
        std::vector<SimCall> sent = CallsOf(usb ? "USB_DirectDownload_Sequence" : "Protocol_Seq_Download_Direct");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].Arg("name"), "Flower.vbd");
        EXPECT_EQ(sent[0].Arg("size"), std::to_string(design.size()));
        EXPECT_EQ(sent[0].Arg("location"), "1");
        EXPECT_EQ(sent[0].Arg("progress"), "yes");
        if (!usb) {
            EXPECT_EQ(sent[0].Arg("speed"), "38400");
            EXPECT_EQ(CallsOf("SIO_InitializeIO").back().Arg("speed"), "9600");
        }
        EXPECT_EQ(StoredBytes(1, "Flower.vbd"), design) << "byte-identical";
        EXPECT_EQ(CallsOf(usb ? "USB_DirUpload_Sequence" : "Protocol_Seq_DirUpload").size(), 1u) << "Check Files";
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// The host's name is neither checked nor given an extension.
TEST_F(DirectSend, HostNameIsTakenAsItIs)
{
    std::vector<char> design = DesignBytes(300, 3);
    UiScript ui([&](Ui &u) { u.WaitGone(PressStart(u)); });
    EXPECT_EQ(Send(design, "a:b<c"), 1);
    ui.Join();
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"a:b<c"}));
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

TEST_F(DirectSend, WithoutAHostNameTheClockNamesTheDesign)
{
    std::vector<char> design = DesignBytes(300, 3);
    for (const char *name : {"", (const char *)NULL}) {
        linksim::ResetMachine();
        uint64_t before = LocalTimeCount();
        UiScript ui([&](Ui &u) { u.WaitGone(PressStart(u)); });
        EXPECT_EQ(Send(design, name), 1);
        ui.Join();
        uint64_t after = LocalTimeCount(), count = 0;
        std::string sent = SentName();
        ASSERT_TRUE(DecodeDefaultName(sent, &count)) << sent;
        EXPECT_GE(count, before) << sent;
        EXPECT_LE(count, after) << sent;
    }
}

TEST_F(DirectSend, FullLocationIsRefusedWithoutAWorker)
{
    Fill(2, 100);
    std::vector<char> design = DesignBytes(300, 3);
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        EXPECT_EQ(box.text, FULL_MESSAGE);
        EXPECT_EQ(Dll().GetTransferStatus(), 1u);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Send(design, "x.vbd"), 1);
    ui.Join();
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload")[0].Arg("location"), "2");
    EXPECT_TRUE(CallsOf("Protocol_Seq_Download_Direct").empty());
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// A direct send into the Open/Save folder of the ATA PC card.
TEST_F(DirectSend, OpenSaveFolderOfTheChosenLocation)
{
    std::vector<char> design = DesignBytes(300, 3);
    std::string fits = std::string(32, 'n') + ".vbd";
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Send(design, fits.c_str()), 1);
    ui.Join();
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload")[0].Arg("location"), "6");
    EXPECT_EQ(CallsOf("Protocol_Seq_Download_Direct")[0].Arg("location"), "6");
    EXPECT_EQ(StoredNames(6), (std::vector<std::string>{fits}));
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// A name too long for the Open/Save folder: ticking the box is refused at once, and a name
// made long after ticking is refused at Start, which clears the box and leaves the dialog
// ready.
TEST_F(DirectSend, OpenSaveFolderRefusesALongName)
{
    std::vector<char> design = DesignBytes(300, 3);
    std::string longName = std::string(36, 'L') + ".vbd";  // 40 characters
    std::string suchAs = "The Open/Save Folder does not support the long file names such as \"" + longName +
                         "\".\nPlease shorten the file name to 32 characters or less.";
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        EXPECT_EQ(box.text, suchAs);
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        u.Answer(box, IDOK);
        u.WaitUntil([&] { return !IsChecked(dlg, IDC_SEND_OPEN_SAVE); }, "the box to be cleared");
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Send(design, longName.c_str()), 1);
    ui.Join();

    UINT statusAtMessage = 99;
    UiScript later([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);  // "short.vbd" fits
        u.Click(dlg, IDC_SEND_NAME);
        HWND name = u.WaitDialog(VBD_NAME);
        u.SetText(name, IDC_DESIGN_NAME_EDIT, std::string(36, 'L') + ".pes");
        u.Click(name, IDOK);
        u.WaitGone(name);
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        statusAtMessage = Dll().GetTransferStatus();
        EXPECT_EQ(box.text, suchAs);
        u.Answer(box, IDOK);
        u.WaitUntil([&] { return !IsChecked(dlg, IDC_SEND_OPEN_SAVE); }, "the box to be cleared");
        EXPECT_TRUE(IsControlVisible(dlg, IDOK)) << "still ready";
        EXPECT_TRUE(IsControlEnabled(dlg, IDC_SEND_OPEN_SAVE));
        EXPECT_EQ(ControlText(dlg, IDC_SEND_STATUS), "Ready to send designs.\nClick [Start] button.");
        // Without the folder the long name goes to the built-in memory.
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Send(design, "short.vbd"), 1);
    later.Join();
    EXPECT_EQ(statusAtMessage, 0u) << "refused before the transfer began";
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{longName}));
    EXPECT_TRUE(StoredNames(5).empty());
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload").size(), 1u);
}

TEST_F(NameDialog, TemplateAsDesignedShowingTheCurrentName)
{
    std::vector<char> design = DesignBytes(300, 3);
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_NAME);
        HWND name = u.WaitDialog(VBD_NAME);
        ExpectLayout(name, 187, 63,
                     {
                         {-1, "Static", "Enter the file name to save in Loomstar.", 7, 7, 173, 8, 0, 0, 0},
                         {IDC_DESIGN_NAME_EDIT, "Edit", "Host Name.vbd", 7, 20, 173, 14, ES_AUTOHSCROLL, 0, 0},
                         {IDOK, "Button", "OK", 31, 42, 50, 14, 0, BS_TYPEMASK, BS_DEFPUSHBUTTON},
                         {IDCANCEL, "Button", "Cancel", 101, 42, 50, 14, 0, BS_TYPEMASK, BS_PUSHBUTTON},
                     });
        EXPECT_EQ(TemplateControlStyle(Dll().module, 107, IDC_DESIGN_NAME_EDIT) & WS_BORDER, (DWORD)WS_BORDER);
        EXPECT_EQ(GetWindow(name, GW_OWNER), dlg);
        RECT r;
        GetWindowRect(name, &r);
        EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
        // Cancel keeps the name.
        u.SetText(name, IDC_DESIGN_NAME_EDIT, "other");
        u.Click(name, IDCANCEL);
        u.WaitGone(name);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Send(design, "Host Name.vbd"), 1);
    ui.Join();
    EXPECT_EQ(SentName(), "Host Name.vbd");
}

// Typed names become a base name with ".vbd"; forbidden characters keep the dialog open
// with the "Rename" message and the old name in force.
TEST_F(NameDialog, TypedNamesBecomeBaseNameWithVbd)
{
    std::vector<char> design = DesignBytes(300, 3);
    const std::pair<const char *, const char *> cases[] = {
        {"my.design.pes", "my.vbd"}, {".hidden.pes", "hidden.vbd"}, {"...", ".vbd"}, {"Rose", "Rose.vbd"}};
    std::vector<std::string> shown;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        for (auto &c : cases) {
            u.Click(dlg, IDC_SEND_NAME);
            HWND name = u.WaitDialog(VBD_NAME);
            u.SetText(name, IDC_DESIGN_NAME_EDIT, c.first);
            u.Click(name, IDOK);
            u.WaitGone(name);
            u.Click(dlg, IDC_SEND_NAME);
            name = u.WaitDialog(VBD_NAME);
            shown.push_back(ControlText(name, IDC_DESIGN_NAME_EDIT));
            u.Click(name, IDCANCEL);
            u.WaitGone(name);
        }
        u.Click(dlg, IDC_SEND_NAME);
        HWND name = u.WaitDialog(VBD_NAME);
        u.SetText(name, IDC_DESIGN_NAME_EDIT, "a:b");
        u.Click(name, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("Rename");
        EXPECT_EQ(box.text, RENAME_MESSAGE);
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        EXPECT_EQ(box.owner, name);
        u.Answer(box, IDOK);
        EXPECT_TRUE(IsWindow(name)) << "the dialog stays";
        u.Close(name);
        u.WaitGone(name);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Send(design, "first.vbd"), 1);
    ui.Join();
    ASSERT_EQ(shown.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(shown[i], cases[i].second) << cases[i].first;
    EXPECT_EQ(SentName(), "Rose.vbd") << "the refused name changed nothing";
}

TEST_F(NameDialog, EmptyNameGivesAFreshTimeName)
{
    std::vector<char> design = DesignBytes(300, 3);
    uint64_t before = 0, after = 0;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_NAME);
        HWND name = u.WaitDialog(VBD_NAME);
        u.SetText(name, IDC_DESIGN_NAME_EDIT, "");
        before = LocalTimeCount();
        u.Click(name, IDOK);
        u.WaitGone(name);
        after = LocalTimeCount();
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Send(design, "Flower.vbd"), 1);
    ui.Join();
    uint64_t count = 0;
    std::string sent = SentName();
    ASSERT_TRUE(DecodeDefaultName(sent, &count)) << sent;
    EXPECT_GE(count, before);
    EXPECT_LE(count, after);
}

}  // namespace
