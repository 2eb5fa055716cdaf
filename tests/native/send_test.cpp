// The send side: names of designs sent from memory (the typed name, the base-36 default), the
// picker's selection texts, the send list's 260-byte records, the cut to the room left below
// 100 designs and the progress positions.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "machinelist/progress_percent.h"
#include "send/design_name.h"
#include "send/selection.h"
#include "send/send_checks.h"
#include "send/send_list.h"

namespace {

std::string Build(const std::string &text, bool *accepted = nullptr)
{
    char dest[DESIGN_NAME_SIZE];
    strcpy(dest, "untouched");
    bool ok = BuildDesignName(dest, text.c_str());
    if (accepted)
        *accepted = ok;
    return dest;
}

// The typed text's base with ".vbd"; read to 260 characters (a forbidden character or a full
// stop beyond is never seen) and the base cut to 255, so the longest name still fits.
TEST(DesignName, TypedTextBecomesBaseNameWithVbd)
{
    const std::string a260(260, 'a'), b259(259, 'b'), d10(10, 'd');
    const std::pair<std::string, std::string> cases[] = {
        {"my.design.pes", "my.vbd"}, {".hidden.pes", "hidden.vbd"}, {"...", ".vbd"}, {"Flower", "Flower.vbd"},
        {"", ".vbd"}, {"name.", "name.vbd"}, {"..x..y", "x.vbd"}, {"rose.PES", "rose.vbd"},
        {a260 + ":", a260.substr(5) + ".vbd"}, {b259, b259.substr(4) + ".vbd"},
        {d10 + "." + std::string(300, 'e') + ".pes", d10 + ".vbd"}};
    for (auto &c : cases) {
        bool accepted = false;
        EXPECT_EQ(Build(c.first, &accepted), c.second) << c.first;
        EXPECT_TRUE(accepted) << c.first;
    }
    for (const char *typed : {"a:b", "a\"b", "a*b", "a/b", "a<b", "a>b", "a?b", "a\\b", "a|b"}) {
        bool accepted = true;
        EXPECT_EQ(Build(typed, &accepted), "untouched") << typed;
        EXPECT_FALSE(accepted) << typed;
    }
    int allowed = 0;
    for (int c = 1; c < 256; ++c)
        allowed += !IsForbiddenNameChar(static_cast<char>(c));
    EXPECT_EQ(allowed, 255 - 9);
}

// The example time, 15 June 2001 12:30:45.123 as a count of 100 ns since 1601, names the
// design YKAPSJW0PIO.vbd; the digits grow to 12 at 36^11.
TEST(DesignName, DefaultNameIsTheTimeInBase36)
{
    const std::pair<uint64_t, const char *> cases[] = {
        {0, "0"}, {35, "Z"}, {36, "10"}, {126370818451230000ull, "YKAPSJW0PIO"}, {UINT64_MAX, "3W5E11264SGSF"}};
    for (const auto &c : cases) {
        char buffer[BASE36_DIGITS_MAX + 1];
        EXPECT_STREQ(FormatBase36(c.first, buffer), c.second);
    }
    const uint64_t twelveDigits = 131621703842267136ull;  // 36^11: 3 February 2018 22:26:24.2267136
    const std::pair<uint64_t, const char *> names[] = {{126370818451230000ull, "YKAPSJW0PIO.vbd"},
                                                       {twelveDigits - 1, "ZZZZZZZZZZZ.vbd"},
                                                       {twelveDigits, "100000000000.vbd"}};
    for (const auto &c : names) {
        char name[DESIGN_NAME_SIZE];
        memset(name, 'x', sizeof name);
        DefaultDesignName(c.first, name);
        EXPECT_STREQ(name, c.second);
    }
}

// ---- the picker's selection texts ----

struct Walk {
    std::string folder;
    std::vector<std::string> names;
    int stopAt = -1;  // the step answers -2 for this name index
};

int Collect(const char *folder, const char *name, void *context)
{
    Walk *w = static_cast<Walk *>(context);
    w->folder = folder;
    w->names.push_back(name);
    return static_cast<int>(w->names.size()) - 1 == w->stopAt ? -2 : 0;
}

// The trailing backslash goes unless it ends a double-byte character (code page 932 lead bytes).
TEST(Selection, TrailingBackslashUnlessItEndsADoubleByteCharacter)
{
    const char *cases[][2] = {
        {"C:\\", "C:"}, {"C:\\dir\\", "C:\\dir"}, {"C:\\dir", "C:\\dir"}, {"\\", ""}, {"a\\\\", "a\\"},
        {"x\x81\\", "x\x81\\"}, {"x\x9F\\", "x\x9F\\"}, {"x\xE0\\", "x\xE0\\"}, {"x\xEF\\", "x\xEF\\"},
        {"x\x80\\", "x\x80"}, {"x\xA0\\", "x\xA0"}, {"x\xF0\\", "x\xF0"}};
    for (auto &c : cases) {
        std::vector<char> text(c[0], c[0] + strlen(c[0]) + 1);
        StripTrailingBackslash(text.data());
        EXPECT_STREQ(text.data(), c[1]) << c[0];
    }
}

TEST(Selection, WalkHandsEachQuotedNameWithTheFolder)
{
    EXPECT_FALSE(IsSeveralNames("\"a.vbd"));
    EXPECT_TRUE(IsSeveralNames("\"a.vbd\""));
    const struct {
        const char *text;
        int result;
        const char *folder;
        std::vector<std::string> names;
    } cases[] = {
        {"C:\\dir\\ \"a.vbd\" \"b.vbd\" ", -1, "C:\\dir\\", {"a.vbd", "b.vbd"}},
        {"C:\\ \"a.vbd\" \"b", 0, "C:\\", {"a.vbd"}},  // unclosed: b is not used
        {"C:\\x  \"a \" ", -1, "C:\\x ", {"a"}},       // one blank removed from each
        {"F:\\ \"\" \"b c.vbd\"", -1, "F:\\", {"", "b c.vbd"}},
        {"\"a\"\"b\"", -1, "", {"a", "b"}},
        {"C:\\dir\\a.vbd", -1, "", {}},
        {"\"unclosed", 0, "", {}},
    };
    for (const auto &c : cases) {
        Walk w;
        EXPECT_EQ(ForEachSelectedName(c.text, Collect, &w), c.result) << c.text;
        EXPECT_EQ(w.names, c.names) << c.text;
        EXPECT_EQ(w.folder, c.folder) << c.text;
    }
    Walk w;
    w.stopAt = 1;
    EXPECT_EQ(ForEachSelectedName("C:\\ \"a\" \"b\" \"c\" ", Collect, &w), -2) << "a step's answer ends the walk";
    EXPECT_EQ(w.names, (std::vector<std::string>{"a", "b"}));
}

TEST(Selection, ComposeJoinsFolderAndNamesInTheirTwoForms)
{
    const struct {
        const char *folder, *names, *output, *folderAfter;
    } cases[] = {
        {"C:\\", "a.vbd", "C:\\a.vbd", "C:\\"},  // root keeps one backslash
        {"C:\\dir", "a.vbd", "C:\\dir\\a.vbd", "C:\\dir"},
        {"C:\\dir\\", "sub\\", "C:\\dir\\sub", "C:\\dir\\"},
        {"C:\\dir", "\"a.vbd", "C:\\dir\\\"a.vbd", "C:\\dir"},  // one quote is one name
        {"C:\\", "\"a.vbd\" \"b.vbd\"", "C:\\ \"a.vbd\" \"b.vbd\"", "C:"},
        {"C:\\\x83\\", "a.vbd", "C:\\\x83\\\\a.vbd", "C:\\\x83\\"},  // folder ends in a double-byte character
        {"C:\\\x83\\", "\"a\" \"b\"", "C:\\\x83\\\\ \"a\" \"b\"", "C:\\\x83\\"},
    };
    for (const auto &c : cases) {
        char folder[SELECTION_SIZE + 1];
        strcpy(folder, c.folder);
        std::vector<char> output(SELECTION_SIZE, 'z');
        ASSERT_TRUE(ComposeSelection(output.data(), output.size(), folder, c.names)) << c.names;
        EXPECT_STREQ(output.data(), c.output);
        EXPECT_STREQ(folder, c.folderAfter);
    }
    char folder[16] = "C:\\dir", output[21];  // "C:\dir\" and a name of 13 fill 20 characters
    EXPECT_TRUE(ComposeSelection(output, sizeof output, folder, std::string(13, 'n').c_str()));
    memset(output, 'z', sizeof output);
    EXPECT_FALSE(ComposeSelection(output, sizeof output, folder, std::string(14, 'n').c_str()));
    EXPECT_EQ(output[0], 'z') << "a refused join leaves the output as it was";
}

// Several names are cut behind the last whole name that fits; none fitting is refused.
TEST(Selection, ComposeCutsSeveralNamesBehindTheLastWholeName)
{
    const char *names = "\"aaaa\" \"bbbb\" \"cccc\" ";  // "C:\ " + 21 characters
    const std::pair<size_t, const char *> cases[] = {  // null: refused
        {26, "C:\\ \"aaaa\" \"bbbb\" \"cccc\" "}, {25, "C:\\ \"aaaa\" \"bbbb\" \"cccc\""}, {24, "C:\\ \"aaaa\" \"bbbb\""},
        {17, "C:\\ \"aaaa\""}, {11, "C:\\ \"aaaa\""}, {10, nullptr}, {0, nullptr}};
    for (const auto &c : cases) {
        char folder[8] = "C:\\";
        std::vector<char> output(c.first + 1, 'z');  // one guard character behind
        bool ok = ComposeSelection(output.data(), c.first, folder, names);
        EXPECT_EQ(ok, c.second != nullptr) << c.first;
        EXPECT_STREQ(ok ? output.data() : "", ok ? c.second : "") << c.first;
        EXPECT_EQ(output[c.first], 'z') << c.first;
    }
}

// Quoted names are appended whole or not at all; a folder and a name join into a path of at
// most 259 characters or are refused.
TEST(Selection, QuotedNamesAndPathsFitOrAreRefused)
{
    char buffer[16] = "";
    EXPECT_TRUE(AppendQuotedName(buffer, sizeof buffer, "a.vbd"));
    EXPECT_FALSE(AppendQuotedName(buffer, sizeof buffer, "bcdef"));  // would need 17 characters
    EXPECT_TRUE(AppendQuotedName(buffer, sizeof buffer, "bcde"));    // exactly 15 and the terminator
    EXPECT_STREQ(buffer, "\"a.vbd\" \"bcde\" ");
    EXPECT_FALSE(AppendQuotedName(buffer, sizeof buffer, ""));

    char path[PICKER_PATH_SIZE];
    ASSERT_TRUE(JoinFolderAndName(path, "C:\\", "a.vbd"));
    EXPECT_STREQ(path, "C:\\a.vbd");
    const std::string folder = "C:\\" + std::string(100, 'f') + "\\", fits(259 - folder.size(), 'n');
    ASSERT_TRUE(JoinFolderAndName(path, folder.c_str(), fits.c_str()));
    EXPECT_FALSE(JoinFolderAndName(path, folder.c_str(), (fits + "x").c_str()));
    EXPECT_EQ(std::string(path), folder + fits) << "left as it was";
    EXPECT_TRUE(CopyPickerPath(path, std::string(259, 'p').c_str()));
    EXPECT_FALSE(CopyPickerPath(path, std::string(260, 'q').c_str()));
    EXPECT_EQ(std::string(path), std::string(259, 'p'));
}

// ---- the send list file ----

using Record = std::vector<unsigned char>;

Record Records(const std::vector<std::string> &paths)
{
    Record file;
    for (const std::string &path : paths) {
        Record r(SEND_RECORD_SIZE);
        BuildSendRecord(path.c_str(), r.data());
        file.insert(file.end(), r.begin(), r.end());
    }
    return file;
}

bool ZeroFrom(const void *p, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (static_cast<const unsigned char *>(p)[i] != 0)
            return false;
    return true;
}

bool IsZeroEntry(const DesignEntry &e) { return ZeroFrom(&e, 0, sizeof e); }

// A path fills a record with its terminator and zeros; a longer one is cut to 259
// characters, and an unterminated source is read no further than that.
TEST(SendList, RecordIsZeroPaddedAndCutTo259Characters)
{
    for (size_t length : {0, 8, 259, 260, 400}) {
        std::string path(length, 'p');
        unsigned char record[SEND_RECORD_SIZE];
        memset(record, 0xCC, sizeof record);
        size_t stored = length < 259 ? length : 259;
        EXPECT_EQ(BuildSendRecord(path.c_str(), record), stored) << length;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(record), stored), path.substr(0, stored));
        EXPECT_TRUE(ZeroFrom(record, stored, SEND_RECORD_SIZE)) << length;
    }
    std::vector<char> unterminated(259, 'q');
    unsigned char record[SEND_RECORD_SIZE];
    EXPECT_EQ(BuildSendRecord(unterminated.data(), record), 259u);
    const uint32_t counts[][2] = {{0, 0}, {259, 0}, {260, 1}, {519, 1}, {530, 2}, {780, 3}, {0xFFFFFFFFu, 16519104u}};
    for (const auto &c : counts) {
        EXPECT_EQ(SendRecordCount(c[0]), c[1]) << c[0];
        EXPECT_EQ(SendListCapacity(c[0]), c[1] + 1) << c[0];
    }
}

// Three rows make a file of exactly 780 bytes that reads back with a zero closing entry. A
// host-made file of 530 bytes: the first record unpadded after its terminator, the second
// without any zero byte (a path of 260 characters ended by the entry's own zero).
TEST(SendList, FilesReadBackClosedByAZeroEntry)
{
    const char *paths[] = {"C:\\designs\\rose.vbd", "C:\\tulip.vbd", "D:\\a\\b\\c\\lily.vbd"};
    Record file = Records({paths[0], paths[1], paths[2]});
    ASSERT_EQ(file.size(), 780u);
    DesignEntry entries[4];
    memset(entries, 0xAA, sizeof entries);
    ASSERT_EQ(ReadSendList(file.data(), 780, 6, entries, SendListCapacity(780)), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(ZeroFrom(file.data(), i * 260 + strlen(paths[i]), (i + 1) * 260));
        EXPECT_STREQ(entries[i].name, paths[i]);
        EXPECT_EQ(entries[i].location * 256 + entries[i].number, 6 * 256);
    }
    EXPECT_TRUE(IsZeroEntry(entries[3]));

    Record host(530, 'x');
    memcpy(host.data(), "C:\\host\\a.vbd", 14);
    memset(entries, 0xAA, sizeof entries);
    ASSERT_EQ(ReadSendList(host.data(), 530, 1, entries, SendListCapacity(530)), 2u);
    EXPECT_STREQ(entries[0].name, "C:\\host\\a.vbd");
    EXPECT_EQ(strlen(entries[1].name), 260u);
    EXPECT_TRUE(IsZeroEntry(entries[2]));
    for (uint32_t size : {0u, 259u}) {
        memset(entries, 0xAA, sizeof entries);
        EXPECT_EQ(ReadSendList(host.data(), size, 1, entries, SendListCapacity(size)), 0u);
        EXPECT_TRUE(IsZeroEntry(entries[0])) << size;
    }
}

// Records beyond the room are not taken; staged records that are not accepted leave no
// trace, and the list stays closed by a zero entry.
TEST(SendList, TheListStaysInsideItsRoomAndClosed)
{
    Record file = Records({"design0.vbd", "design1.vbd", "design2.vbd", "design3.vbd", "design4.vbd"});
    DesignEntry entries[5];
    memset(entries, 0xAA, sizeof entries);
    EXPECT_EQ(ReadSendList(file.data(), (uint32_t)file.size(), 1, entries, 3), 2u);
    EXPECT_TRUE(IsZeroEntry(entries[2]));
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&entries[3])[0], 0xAA);

    memset(entries, 0xAA, sizeof entries);
    SendListBuilder list;
    SendListBegin(&list, entries, 5, 2);
    for (const char *p : {"keep1.vbd", "skip.vbd", "keep2.vbd", "skip-last.vbd"}) {
        Record r = Records({p});
        DesignEntry *staged = SendListStage(&list, r.data());
        ASSERT_NE(staged, nullptr);
        EXPECT_STREQ(staged->name, p);  // the caller checks the staged path
        if (strncmp(p, "keep", 4) == 0)
            SendListAccept(&list);
    }
    SendListClose(&list);
    SendListAccept(&list);  // nothing staged after Close
    ASSERT_EQ(list.count, 2u);
    EXPECT_STREQ(entries[1].name, "keep2.vbd");
    EXPECT_TRUE(IsZeroEntry(entries[2]));  // "skip-last.vbd" was staged there, then wiped
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&entries[3])[0], 0xAA);

    SendListBegin(&list, entries, 0, 1);
    EXPECT_EQ(SendListStage(&list, file.data()), nullptr);
    SendListClose(&list);  // no room: writes nothing
    EXPECT_EQ(list.count, 0u);
}

// Only the first byte of the emptied entry goes: the one that would be the 101st design.
TEST(SendRoom, ListIsCutAtTheRoomLeft)
{
    const struct {
        int stored;
        uint32_t count;
        int emptied;  // -1: no cut
    } cases[] = {{97, 5, 3}, {99, 2, 1}, {95, 5, -1}, {96, 5, 4}, {99, 1, -1}, {100, 3, 0}, {0, 100, -1}, {1, 100, 99}};
    for (const auto &c : cases) {
        SCOPED_TRACE("stored " + std::to_string(c.stored) + ", count " + std::to_string(c.count));
        DesignEntry entries[101] = {};
        for (uint32_t i = 0; i < c.count; ++i) {
            strcpy(entries[i].name, ("C:\\d\\" + std::to_string(i) + ".vbd").c_str());
            entries[i].location = 5;
        }
        EXPECT_EQ(CutSendListToRoom(entries, c.count, c.stored), c.emptied >= 0);
        for (uint32_t i = 0; i < c.count; ++i) {
            bool emptied = (int)i == c.emptied;
            EXPECT_EQ(std::string(entries[i].name + emptied), ("C:\\d\\" + std::to_string(i) + ".vbd").substr(emptied));
            EXPECT_EQ(entries[i].name[0] == '\0', emptied) << i;
            EXPECT_EQ(entries[i].location, 5);
        }
    }
}

// Each dialog's formula, in double precision and truncated: done / total x 100 (send, directory upload,
// preview fetch) and done x 100 / total (receive) round apart; a total of 0 gives 0, more done than total 100.
TEST(Progress, EachFormulaIsTruncatedPercent)
{
    const struct {
        uint32_t done, total;
        int ratioFirst, scaledFirst;
    } cases[] = {{0, 12, 0, 0}, {5, 12, 41, 41}, {12, 12, 100, 100}, {50, 200, 25, 25}, {29, 100, 28, 29},
                 {57, 100, 56, 57}, {58, 100, 57, 58}, {0, 0, 0, 0}, {7, 0, 0, 0}, {13, 12, 100, 100},
                 {0xFFFFFFFF, 1, 100, 100}, {1, 0xFFFFFFFF, 0, 0}, {0x7FFFFFFF, 0xFFFFFFFF, 49, 49},
                 {0xFFFFFFFE, 0xFFFFFFFF, 99, 99}};
    for (const auto &c : cases) {
        EXPECT_EQ(ProgressPercent(c.done, c.total), c.ratioFirst) << c.done << " / " << c.total;
        EXPECT_EQ(ProgressPercentScaledFirst(c.done, c.total), c.scaledFirst) << c.done << " x 100 / " << c.total;
    }
}

}  // namespace
