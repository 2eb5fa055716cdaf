// The directory information file ("$$UPLDir.tmp"): its count, its name records, the sort of
// the machine design list and the order of the delete list.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "machinelist/directory_info.h"

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
    const std::pair<Bytes, unsigned> cases[] = {{{0x00, 0x63}, 99}, {{0x00, 0x64}, 100}, {{0x01, 0x02}, 258},
                                                {{0xFF, 0xFF}, 65535}};
    for (const auto &c : cases) {
        unsigned count = 12345;
        ASSERT_TRUE(ReadDirectoryCount(c.first.data(), 2, &count));
        EXPECT_EQ(count, c.second);
    }
    unsigned count = 7;
    const unsigned char one[] = {0x05};
    EXPECT_FALSE(ReadDirectoryCount(one, 1, &count));
    EXPECT_EQ(count, 7u);
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

TEST(DirectoryInfo, NamesCompareByUnsignedByteValue)
{
    const struct {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"Zed.ptn", "apple.vbd", -1}, {"A10.vbd", "A9.vbd", -1},         {"apple.vbd", "Zed.ptn", 1},
        {"a", "ab", -1},              {"same", "same", 0},               {"\xE9t\xE9.vbd", "zzz.vbd", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CompareDesignNameText(c.a, c.b), c.expected) << c.a << " vs " << c.b;
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

// Sorted by byte value, each item keeps its design number and its tick; equal names keep
// their list order.
TEST(DirectoryInfo, SortKeepsDesignNumbersTicksAndTheOrderOfEqualNames)
{
    const char *names[] = {"Zed.ptn", "apple.vbd", "A10.vbd", "A9.vbd", "rose.PtN", "A9.vbd"};
    std::vector<DesignSortRecord> list;
    for (int i = 0; i < 6; ++i)
        list.push_back(Snapshot(names[i], i, i + 1, i == 1));
    SortDesignSnapshots(list.data(), list.size());
    const char *order[] = {"A10.vbd", "A9.vbd", "A9.vbd", "Zed.ptn", "apple.vbd", "rose.PtN"};
    const uint32_t numbers[] = {3, 4, 6, 1, 2, 5};
    for (int j = 0; j < 6; ++j) {
        EXPECT_STREQ(list[j].name, order[j]);
        EXPECT_EQ(list[j].itemData & 0xFFFF, numbers[j]);
        EXPECT_EQ(list[j].checked, numbers[j] == 2 ? 1u : 0u);
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

}  // namespace
