// The simulator's two link libraries called directly, as the module calls them: what the
// module's own tests take for granted about a round trip.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "link/vemblink.h"
#include "link_ops.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

const int SPEED = 38400;
int g_progressCalls;

int __stdcall CountProgress(DWORD, DWORD, DWORD, DWORD)
{
    ++g_progressCalls;
    return 1;
}

// One interface over both libraries, so that each behaviour is tried on both.
struct LinkApi {
    std::function<int()> open, close;
    std::function<int(DesignEntry *, int, DWORD *, VembProgressCallback)> download, upload;
    std::function<int(const char *, int, DWORD *, VembProgressCallback)> dirUpload;
    std::function<int(BYTE, BYTE, DWORD *, VembBusyCallback)> erase;
};

// A design entry list with its closing entry: (path, location, number) each.
std::vector<DesignEntry> EntryList(const std::vector<std::tuple<std::string, int, int>> &items)
{
    std::vector<DesignEntry> list(items.size() + 1);
    for (size_t i = 0; i < items.size(); ++i) {
        lstrcpynA(list[i].name, std::get<0>(items[i]).c_str(), VEMB_NAME_FIELD);
        list[i].location = (BYTE)std::get<1>(items[i]);
        list[i].number = (BYTE)std::get<2>(items[i]);
    }
    return list;
}

class LinkSim : public VembTest {};

// Download of two designs, the directory information (big-endian count, length-prefixed
// names in stored order), upload by number back byte for byte, and a delete that renumbers
// the designs behind it; four progress calls per design.
TEST_F(LinkSim, SequencesRoundTripTheDesignsAndDeleteRenumbers)
{
    using namespace std::placeholders;
    UseUsb(Usb::Present);
    HMODULE usb = LoadLibraryA((ExeDir() + "VEMBUSB.DLL").c_str());
    ASSERT_NE(usb, nullptr);
#define BIND(name) (name##_t) GetProcAddress(usb, #name)
    auto usbInit = BIND(USB_Initialize);
    const LinkApi links[] = {
        {[] { return SIO_InitializeIO("COM1", 9600, NULL); }, SIO_TerminateIO,
         std::bind(Protocol_Seq_Download, SPEED, _1, _2, _3, _4), std::bind(Protocol_Seq_Upload, SPEED, _1, _2, _3, _4),
         std::bind(Protocol_Seq_DirUpload, SPEED, _1, _2, _3, _4), Protocol_Seq_Delete},
        {[usbInit] { return usbInit(NULL, NULL); }, BIND(USB_Terminate), BIND(USB_Download_Sequence),
         BIND(USB_Upload_Sequence), BIND(USB_DirUpload_Sequence), BIND(USB_Erase_Sequence)},
    };
#undef BIND
    for (const LinkApi &api : links) {
        SCOPED_TRACE(&api == links ? "serial" : "USB");
        linksim::ResetMachine();
        // Bytes that survive no text-mode mangling: NUL, CR, LF, 0x1A, 0xFF.
        std::vector<char> one = {0, '\r', '\n', 0x1A, (char)0xFF}, two(700, 'b');
        for (int i = 0; i < 700; ++i)
            one.push_back((char)(i * 37));
        WriteFileBytes(In("first.vbd"), one.data(), one.size());
        WriteFileBytes(In("Second design.vbd"), two.data(), two.size());
        WriteFileBytes(In("third.vbd"), "3", 1);
        std::vector<DesignEntry> list =
            EntryList({{In("first.vbd"), 2, 0}, {In("Second design.vbd"), 2, 0}, {In("third.vbd"), 2, 0}});
        ASSERT_EQ(api.open(), 0);
        DWORD detail = 99;
        g_progressCalls = 0;
        EXPECT_EQ(api.download(list.data(), 3, &detail, CountProgress), 0);
        EXPECT_EQ(detail, 0u);
        EXPECT_EQ(g_progressCalls, 3 * linksim::PROGRESS_STEPS);

        EXPECT_EQ(api.dirUpload(In("dir.tmp").c_str(), 2, &detail, NULL), 0);
        const char info[] = "\x00\x03\x09" "first.vbd" "\x11" "Second design.vbd" "\x09" "third.vbd";
        EXPECT_EQ(ReadFileBytes(In("dir.tmp")), std::vector<char>(info, info + sizeof info - 1));

        std::vector<DesignEntry> back = EntryList({{In("back2.vbd"), 2, 2}, {In("back1.vbd"), 2, 1}});
        EXPECT_EQ(api.upload(back.data(), 2, &detail, CountProgress), 0);
        EXPECT_EQ(ReadFileBytes(In("back1.vbd")), one);
        EXPECT_EQ(ReadFileBytes(In("back2.vbd")), two);

        EXPECT_EQ(api.erase(2, 1, &detail, NULL), 0);
        EXPECT_EQ(StoredNames(2), (Names{"Second design.vbd", "third.vbd"}));
        back = EntryList({{In("renumbered.vbd"), 2, 2}});
        EXPECT_EQ(api.upload(back.data(), 1, &detail, NULL), 0);
        EXPECT_EQ(ReadFileBytes(In("renumbered.vbd")), std::vector<char>{'3'}) << "design 3 is now design 2";
        EXPECT_EQ(api.erase(2, 3, &detail, NULL), linksim::SIM_ERR_NO_DESIGN);
        EXPECT_EQ(api.erase(3, 1, &detail, NULL), linksim::SIM_ERR_LOCATION);
        api.close();
    }
    FreeLibrary(usb);
}

}  // namespace
