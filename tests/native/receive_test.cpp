// The receive side: the directory information file ("$$UPLDir.tmp") with its count and name
// records, the sort of the machine design list, the order of the delete list, and the
// destination paths of received designs (".ptn" saved as ".vbd", names that are no plain file names).
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "machinelist/directory_info.h"
#include "receive/receive_path.h"

namespace {

using Names = std::vector<std::pair<std::string, unsigned>>;
using Bytes = std::vector<unsigned char>;

// Name records as the link library writes them, without the header.
Bytes Records(const std::vector<std::string> &names)
{
    Bytes out;
    for (const std::string &n : names) {
        out.push_back(static_cast<unsigned char>(n.size()));
        out.insert(out.end(), n.begin(), n.end());
    }
    return out;
}

Names ReadAll(const Bytes &records)
{
    Names out;
    DirectoryReader reader;
    DirectoryReaderBegin(&reader, records.data(), records.size());
    char name[DIRECTORY_NAME_MAX + 1];
    unsigned number = 0;
    while (DirectoryReaderNext(&reader, name, &number))
        out.emplace_back(std::string(name), number);
    return out;
}

TEST(DirectoryInfo, HeaderCountIsBigEndian)
{
    const std::pair<Bytes, unsigned> cases[] = {
        {{0x00, 0x63}, 99}, {{0x00, 0x64}, 100}, {{0x01, 0x02}, 258}, {{0xFF, 0xFF}, 65535}, {{0x05}, 7}};
    for (const auto &c : cases) {
        unsigned count = 7;
        EXPECT_EQ(ReadDirectoryCount(c.first.data(), c.first.size(), &count), c.first.size() == 2);
        EXPECT_EQ(count, c.second);
    }
}

// Each record gives a name and its position as design number, whatever the header says; a
// last record running past the end keeps the bytes that are there.
TEST(DirectoryInfo, RecordsGiveNamesWithTheirPositionAsDesignNumber)
{
    const std::pair<Bytes, Names> cases[] = {
        {Records({"Zed.ptn", "", "apple.vbd", std::string(255, 'n')}),
         {{"Zed.ptn", 1}, {"", 2}, {"apple.vbd", 3}, {std::string(255, 'n'), 4}}},
        {{}, {}},  // the header alone
        {Records({"a", "b", "c", "d", "e"}), {{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}}},
        {{3, 'a', 'b', 'c', 10, 'x', 'y', 'z'}, {{"abc", 1}, {"xyz", 2}}},
        {{3, 'a', 'b', 'c', 200}, {{"abc", 1}, {"", 2}}},
        {{2, 'h', 0, 1, 'i'}, {{"h", 1}, {"i", 2}}},  // a zero inside a name ends its text
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReadAll(c.first), c.second);
}

DesignSortRecord Snapshot(const char *name, int32_t index, uint32_t number, uint32_t checked)
{
    DesignSortRecord r;
    memset(&r, 0, sizeof r);
    strcpy(r.name, name);
    r.index = index;
    r.itemData = (checked << 16) | number;
    r.checked = checked;
    return r;
}

// Sorted by byte value, the bytes unsigned (a name above 0x7F after "zzz"), each item keeps its design number
// and its tick; equal names keep their list order.
TEST(DirectoryInfo, SortKeepsDesignNumbersTicksAndTheOrderOfEqualNames)
{
    const char *names[] = {"Zed.ptn", "\xE9t\xE9.vbd", "apple.vbd", "A10.vbd",
                           "A9.vbd",  "zzz.vbd",       "rose.PtN",  "A9.vbd"};
    std::vector<DesignSortRecord> list;
    for (int i = 0; i < 8; ++i)
        list.push_back(Snapshot(names[i], i, i + 1, i == 2));
    SortDesignSnapshots(list.data(), list.size());
    const char *order[] = {"A10.vbd",   "A9.vbd",   "A9.vbd",  "Zed.ptn",
                           "apple.vbd", "rose.PtN", "zzz.vbd", "\xE9t\xE9.vbd"};
    const uint32_t numbers[] = {4, 5, 8, 1, 3, 7, 6, 2};
    for (int j = 0; j < 8; ++j) {
        EXPECT_STREQ(list[j].name, order[j]);
        EXPECT_EQ(list[j].itemData & 0xFFFF, numbers[j]);
        EXPECT_EQ(list[j].checked, numbers[j] == 3 ? 1u : 0u);
    }
    SortDesignSnapshots(nullptr, 0);  // an empty list is left alone
}

TEST(DirectoryInfo, DeleteListRunsFromTheHighestDesignNumber)
{
    const unsigned char numbers[] = {3, 200, 1, 255, 7, 128};
    DesignEntry entries[7];
    memset(entries, 0, sizeof entries);
    for (int i = 0; i < 6; ++i) {
        entries[i].number = numbers[i];
        snprintf(entries[i].name, sizeof entries[i].name, "d%u.ptn", numbers[i]);
    }
    SortDeleteList(entries, 6);
    const unsigned char order[] = {255, 200, 128, 7, 3, 1};
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(entries[j].number, order[j]);
        EXPECT_EQ(std::string(entries[j].name), "d" + std::to_string(order[j]) + ".ptn");
    }
    EXPECT_EQ(entries[6].number, 0);  // the closing entry stays last and empty
}

// ---- destination paths of received designs ----

std::string Destination(const std::string &folder, const std::string &name)
{
    char buffer[VEMB_NAME_FIELD + 8];
    memset(buffer, 'X', sizeof buffer);
    char folderText[VEMB_NAME_FIELD];
    strcpy(folderText, folder.c_str());
    RemoveTrailingBackslash(folderText);
    if (!BuildDestinationPath(folderText, name.c_str(), buffer))
        return "<refused>";
    EXPECT_EQ(buffer[VEMB_NAME_FIELD], 'X') << "wrote past the name field";
    return buffer;
}

TEST(ReceivePath, DestinationPaths)
{
    const std::string folder200 = "C:\\" + std::string(200, 'f');  // + "\" + 56 = 260 characters
    const struct {
        std::string folder, name, expected;
    } cases[] = {
        {"C:\\Designs\\", "ROSE.PTN", "C:\\Designs\\ROSE.vbd"},  // one trailing backslash goes
        {"C:\\", "A.ptn", "C:\\A.vbd"},                          // drive root: one backslash
        {"C:\\Designs", "B.PtN", "C:\\Designs\\B.vbd"},
        {"C:\\Designs", "C.ptn.bak", "C:\\Designs\\C.ptn.bak"},
        {"C:\\Designs", "D", "C:\\Designs\\D"},
        {"C:\\Designs", "E.ptnx", "C:\\Designs\\E.ptnx"},
        {"C:\\De.ptn", "G", "C:\\De.ptn\\G"},  // a dotted folder is not the extension
        {"C:\\Designs\\\\", "I.ptn", "C:\\Designs\\\\I.vbd"},  // only one backslash is taken off
        {folder200, std::string(52, 'n') + ".ptn", folder200 + "\\" + std::string(52, 'n') + ".vbd"},
        {folder200, std::string(53, 'n') + ".ptn", "<refused>"},
        {std::string(255, 'f'), std::string(255, 'n'), "<refused>"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Destination(c.folder, c.name), c.expected) << c.folder << " + " << c.name;

    char result[VEMB_NAME_FIELD] = "untouched";
    EXPECT_FALSE(ReplacePtnExtension("C:\\x.ptn\\a", result));
    EXPECT_STREQ(result, "untouched");
    ASSERT_TRUE(ReplacePtnExtension("C:/x/y.ptn", result));
    EXPECT_STREQ(result, "C:/x/y.vbd");
}

// Only a name that stays a file of the receive folder is saved under it.
TEST(ReceivePath, PlainFileNames)
{
    for (const char *name : {"ROSE.PTN", "a.b.vbd", "...", ".vbd", "x..", "name with blanks.vbd"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
    for (const char *name : {"..", ".", "..\\up.vbd", "sub\\a.vbd", "a/b.vbd", "C:a.vbd", "a.vbd:s", "\\\\s\\x.vbd"})
        EXPECT_FALSE(IsPlainFileName(name)) << name;
}

}  // namespace
