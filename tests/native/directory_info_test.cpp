#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "machinelist/directory_info.h"

namespace {

using Names = std::vector<std::pair<std::string, unsigned>>;

// Name records as the link library writes them, without the header.
std::vector<unsigned char> Records(const std::vector<std::string> &names)
{
    std::vector<unsigned char> out;
    for (const std::string &n : names) {
        out.push_back(static_cast<unsigned char>(n.size()));
        out.insert(out.end(), n.begin(), n.end());
    }
    return out;
}

Names ReadAll(const std::vector<unsigned char> &records)
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
    struct Case {
        unsigned char bytes[2];
        unsigned count;
    } cases[] = {{{0x00, 0x63}, 99}, {{0x00, 0x64}, 100}, {{0x01, 0x02}, 258}, {{0xFF, 0xFF}, 65535},
                 {{0x80, 0x00}, 32768}};
    for (const Case &c : cases) {
        unsigned count = 12345;
        ASSERT_TRUE(ReadDirectoryCount(c.bytes, 2, &count));
        EXPECT_EQ(count, c.count);
    }
    unsigned count = 7;
    const unsigned char one[] = {0x05};
    EXPECT_FALSE(ReadDirectoryCount(one, 1, &count));
    EXPECT_FALSE(ReadDirectoryCount(one, 0, &count));
    EXPECT_EQ(count, 7u);
}

TEST(DirectoryInfo, RecordsGiveNamesWithTheirPositionAsDesignNumber)
{
    auto records = Records({"Zed.ptn", "", "apple.vbd", std::string(255, 'n')});
    Names expected = {{"Zed.ptn", 1}, {"", 2}, {"apple.vbd", 3}, {std::string(255, 'n'), 4}};
    EXPECT_EQ(ReadAll(records), expected);
}

TEST(DirectoryInfo, HeaderOnlyGivesNoNames)
{
    EXPECT_TRUE(ReadAll({}).empty());
}

TEST(DirectoryInfo, HeaderCountIsNotComparedWithTheRecords)
{
    std::vector<unsigned char> file = {0x00, 0x03};   // says 3
    auto records = Records({"a", "b", "c", "d", "e"});
    file.insert(file.end(), records.begin(), records.end());
    unsigned count;
    ASSERT_TRUE(ReadDirectoryCount(file.data(), file.size(), &count));
    EXPECT_EQ(count, 3u);
    std::vector<unsigned char> after(file.begin() + DIRECTORY_HEADER_SIZE, file.end());
    EXPECT_EQ(ReadAll(after).size(), 5u);
}

TEST(DirectoryInfo, ALastRecordRunningPastTheEndKeepsTheBytesThatAreThere)
{
    struct Case {
        std::vector<unsigned char> records;
        Names expected;
    } cases[] = {
        {{3, 'a', 'b', 'c', 10, 'x', 'y', 'z'}, {{"abc", 1}, {"xyz", 2}}},
        {{3, 'a', 'b', 'c', 200}, {{"abc", 1}, {"", 2}}},          // only the length byte
        {{255}, {{"", 1}}},
        {{0, 0, 0}, {{"", 1}, {"", 2}, {"", 3}}},                   // three empty names
        {{2, 'h', 0, 1, 'i'}, {{"h", 1}, {"i", 2}}},               // a zero inside a name ends its text
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReadAll(c.records), c.expected);
}

TEST(DirectoryInfo, NamesCompareByUnsignedByteValue)
{
    struct Case {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"Zed.ptn", "apple.vbd", -1}, {"A10.vbd", "A9.vbd", -1}, {"apple.vbd", "Zed.ptn", 1},
        {"rose.PtN", "rose.ptn", -1}, {"a", "ab", -1},           {"same", "same", 0},
        {"\xE9t\xE9.vbd", "zzz.vbd", 1},  // bytes above 127 sort after ASCII
        {"", "a", -1},
    };
    for (const Case &c : cases)
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

TEST(DirectoryInfo, SortOrdersByByteValueAndKeepsDesignNumbersAndTicks)
{
    const char *names[] = {"Zed.ptn", "apple.vbd", "A10.vbd", "A9.vbd", "rose.PtN"};
    std::vector<DesignSortRecord> list;
    for (int i = 0; i < 5; ++i)
        list.push_back(Snapshot(names[i], i, i + 1, i == 1));
    SortDesignSnapshots(list.data(), list.size());
    const char *order[] = {"A10.vbd", "A9.vbd", "Zed.ptn", "apple.vbd", "rose.PtN"};
    const uint32_t numbers[] = {3, 4, 1, 2, 5};
    for (int j = 0; j < 5; ++j) {
        EXPECT_STREQ(list[j].name, order[j]);
        EXPECT_EQ(list[j].itemData & 0xFFFF, numbers[j]);
        EXPECT_EQ(list[j].checked, numbers[j] == 2 ? 1u : 0u);
    }
}

TEST(DirectoryInfo, SortKeepsEqualNamesInListOrder)
{
    std::vector<DesignSortRecord> list;
    const char *names[] = {"b", "a", "b", "a", "b", "a", "b"};
    for (int i = 0; i < 7; ++i)
        list.push_back(Snapshot(names[i], i, 100 + i, 0));
    SortDesignSnapshots(list.data(), list.size());
    const int32_t indexes[] = {1, 3, 5, 0, 2, 4, 6};
    for (int j = 0; j < 7; ++j)
        EXPECT_EQ(list[j].index, indexes[j]);
    SortDesignSnapshots(nullptr, 0);   // an empty list is left alone
}

TEST(DirectoryInfo, DeleteListRunsFromTheHighestDesignNumber)
{
    const unsigned char numbers[] = {3, 200, 1, 255, 7, 128};
    DesignEntry entries[7];
    memset(entries, 0, sizeof entries);
    for (int i = 0; i < 6; ++i) {
        entries[i].number = numbers[i];
        entries[i].location = 2;
        snprintf(entries[i].name, sizeof entries[i].name, "d%u.ptn", numbers[i]);
    }
    SortDeleteList(entries, 6);
    const unsigned char order[] = {255, 200, 128, 7, 3, 1};
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(entries[j].number, order[j]);
        EXPECT_EQ(std::string(entries[j].name), "d" + std::to_string(order[j]) + ".ptn");
    }
    EXPECT_EQ(entries[6].number, 0);   // the closing entry stays last and empty
    EXPECT_EQ(entries[6].name[0], '\0');

    DesignEntry a = {}, b = {};
    a.number = 7;
    b.number = 200;
    EXPECT_EQ(CompareDesignNumbersDescending(&a, &b), 193);
    EXPECT_EQ(CompareDesignNumbersDescending(&b, &a), -193);
    EXPECT_EQ(CompareDesignNumbersDescending(&a, &a), 0);
}

}  // namespace
