#pragma once
// Shared by the send tests: design files and send lists in the test's folder, a machine
// location filled up to a count, what the machine stored, and reading the Send Designs
// dialog.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "designgen/design_writer.h"
#include "machine.h"
#include "send_designs_res.h"
#include "vemb_fixture.h"

namespace vt {

const char SEND_COM[] = "Send Designs - COM Port";
const char SEND_USB[] = "Send Designs - USB Connected";
const char CUT_MESSAGE[] = "100 designs have been registered.\nNo more design can be registered.";
const char FULL_MESSAGE[] = "100 designs are already registered.\nNo design can be registered.";
const char LONG_NAMES_SKIPPED[] = "The Open/Save Folder does not support the long file names of more than 32 "
                                  "characters.Some files failed to transfer.";

// A small design file: one colour, a few stitches that `seed` makes unique, the end record,
// and a header naming `stitches` (whatever the stitch data holds).
inline std::vector<char> DesignBytes(int32_t stitches, int seed)
{
    designgen::DesignFile file;
    file.stitchCount = stitches;
    file.colours = {(uint16_t)(1 + seed % 60)};
    designgen::StitchData data;
    for (int i = 0; i < 3 + seed % 7; ++i)
        data.Stitch(1 + seed % 100, i - 3);
    file.stitchData = data.End().Bytes();
    return designgen::AssembleDesign(file);
}

class SendFixture : public VembTest {
protected:
    // Writes a design file into the test's folder and returns its full path.
    std::string WriteDesign(const std::string &name, int32_t stitches = 1000)
    {
        std::string path = WorkDir() + "\\" + name;
        std::vector<char> bytes = DesignBytes(stitches, ++designs_);
        EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size())) << path;
        return path;
    }
    // A send list as a host writes it: one zero-padded 260-byte record per path.
    std::string WriteList(const std::vector<std::string> &paths, const std::string &name = "host.lst")
    {
        std::vector<char> bytes;
        for (const std::string &p : paths) {
            std::vector<char> record(260, 0);
            std::copy(p.begin(), p.begin() + std::min<size_t>(p.size(), 259), record.begin());
            bytes.insert(bytes.end(), record.begin(), record.end());
        }
        std::string path = WorkDir() + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
        return path;
    }
    // Stores `count` small designs at a location.
    void Fill(int location, int count)
    {
        std::vector<char> bytes = DesignBytes(10, 0);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(linksim::StoreDesign(location, "seed" + std::to_string(i) + ".vbd", bytes.data(), bytes.size()),
                      0);
    }
    // The bytes the machine holds under `name` at a location; empty when none.
    static std::vector<char> StoredBytes(int location, const std::string &name)
    {
        for (const linksim::StoredDesign &d : linksim::ListDesigns(location))
            if (d.name == name)
                return ReadFileBytes(d.file);
        return {};
    }
    // The calls of one operation, in order.
    static std::vector<SimCall> CallsOf(const std::string &op)
    {
        std::vector<SimCall> calls;
        for (const SimCall &c : ReadSimCalls())
            if (c.op == op)
                calls.push_back(c);
        return calls;
    }
    static bool NoDirectoryFileLeft() { return !FileExists(TempFile("$$UPLDir.tmp")); }

    // Lets the module, the link libraries and the window classes make whatever they keep
    // for the life of the process (heaps, handles), so that counts taken afterwards see only
    // what a send leaves behind: one whole send, and one that ends with a message. Leaves an
    // empty machine and no recorded message boxes.
    void Settle()
    {
        std::string list = WriteList({WriteDesign("settle.vbd")}, "settle.lst");
        UiScript send([](Ui &u) {
            HWND dlg = u.WaitDialogPrefix("Send Designs");
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
        });
        Dll().DirectFilesDownload(Owner(), list.c_str(), 0);
        send.Join();
        UiScript fail([](Ui &u) {
            HWND dlg = u.WaitDialogPrefix("Send Designs");
            u.Click(dlg, IDOK);
            u.Answer(u.WaitMessageBox("Sending"), IDOK);
            u.WaitGone(dlg);
        });
        Dll().DirectFilesDownload(Owner(), (WorkDir() + "\\none.lst").c_str(), 0);
        fail.Join();
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
    }
    static DWORD HeapCount() { return GetProcessHeaps(0, NULL); }

private:
    int designs_ = 0;
};

// The style a dialog template of `module` gives one of its controls (0 when not found):
// what the template says, before a control or the dialog manager adjusts it.
inline DWORD TemplateControlStyle(HMODULE module, int templateId, int controlId)
{
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(templateId), (LPCSTR)RT_DIALOG);
    if (!res)
        return 0;
    const BYTE *base = (const BYTE *)LockResource(LoadResource(module, res));
    const DLGTEMPLATE *dlg = (const DLGTEMPLATE *)base;
    const WORD *p = (const WORD *)(dlg + 1);
    auto skipSzOrOrd = [](const WORD *w) { return *w == 0xFFFF ? w + 2 : w + wcslen((const wchar_t *)w) + 1; };
    p = skipSzOrOrd(p);  // menu
    p = skipSzOrOrd(p);  // class
    p = skipSzOrOrd(p);  // title
    if (dlg->style & DS_SETFONT)
        p = skipSzOrOrd(p + 1);  // point size, face
    for (int i = 0; i < dlg->cdit; ++i) {
        p = (const WORD *)(((UINT_PTR)p + 3) & ~(UINT_PTR)3);
        const DLGITEMTEMPLATE *item = (const DLGITEMTEMPLATE *)p;
        p = skipSzOrOrd(skipSzOrOrd((const WORD *)(item + 1)));
        p += 1 + (*p + 1) / 2;  // creation data
        if ((short)item->id == (short)controlId)
            return item->style;
    }
    return 0;
}

// The highest of 256 fresh handles, all closed again: it rises when a handle that was free
// before is held now (handles are handed out from the lowest free slot).
inline UINT_PTR HandleWatermark()
{
    HANDLE handles[256];
    UINT_PTR highest = 0;
    for (HANDLE &h : handles) {
        h = CreateEventA(NULL, TRUE, FALSE, NULL);
        highest = std::max(highest, (UINT_PTR)h);
    }
    for (HANDLE h : handles)
        CloseHandle(h);
    return highest;
}

inline int ProgressPosition(HWND dialog)
{
    return (int)SendDlgItemMessageA(dialog, IDC_SEND_PROGRESS, PBM_GETPOS, 0, 0);
}

// True once two calls in a row see the marker of the playing clip step towards the machine
// (the PC is drawn on the left, the machine on the right), which only the sending clip does.
class MarkerWatch {
public:
    bool SteppedTowardsTheMachine(HWND animation)
    {
        double x = MarkerX(animation);
        bool stepped = last_ >= 0 && x > last_ && x - last_ < 20;
        last_ = x;
        return stepped;
    }

private:
    static double MarkerX(HWND control)
    {
        const COLORREF marker = RGB(255, 196, 32);
        RECT rc;
        GetClientRect(control, &rc);
        HDC dc = GetDC(control);
        double sum = 0;
        int n = 0;
        for (int y = 0; y < rc.bottom; y += 2)
            for (int x = 0; x < rc.right; ++x)
                if (GetPixel(dc, x, y) == marker) {
                    sum += x;
                    ++n;
                }
        ReleaseDC(control, dc);
        return n > 10 ? sum / n : -1;
    }
    double last_ = -1;
};

// Presses Start in the Send Designs dialog with this caption.
inline HWND PressStart(Ui &u, const std::string &caption = SEND_COM)
{
    HWND dlg = u.WaitDialog(caption);
    u.Click(dlg, IDOK);
    return dlg;
}

}  // namespace vt
