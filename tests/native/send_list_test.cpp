#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "send/send_list.h"

namespace {

std::vector<unsigned char> Record(const std::string &path)
{
    std::vector<unsigned char> r(SEND_RECORD_SIZE);
    BuildSendRecord(path.c_str(), r.data());
    return r;
}

bool ZeroFrom(const unsigned char *p, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

bool IsZeroEntry(const DesignEntry &e)
{
    return ZeroFrom(reinterpret_cast<const unsigned char *>(&e), 0, sizeof e);
}

TEST(SendList, RecordIsZeroPaddedAndCutTo259Characters)
{
    struct Case {
        size_t length;
        size_t stored;
    } cases[] = {{0, 0}, {8, 8}, {258, 258}, {259, 259}, {260, 259}, {400, 259}};
    for (const Case &c : cases) {
        std::string path(c.length, 'p');
        unsigned char record[SEND_RECORD_SIZE];
        memset(record, 0xCC, sizeof record);
        EXPECT_EQ(BuildSendRecord(path.c_str(), record), c.stored) << c.length;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(record), c.stored), path.substr(0, c.stored));
        EXPECT_TRUE(ZeroFrom(record, c.stored, SEND_RECORD_SIZE)) << c.length;
    }
}

TEST(SendList, RecordReadsNoFurtherThan259Characters)
{
    // An unterminated source of exactly 259 characters: reading a 260th would be an overrun.
    std::vector<char> source(259, 'q');
    unsigned char record[SEND_RECORD_SIZE];
    EXPECT_EQ(BuildSendRecord(source.data(), record), 259u);
    EXPECT_EQ(record[259], 0);
}

TEST(SendList, RecordCountDropsThePartialTail)
{
    const uint32_t cases[][2] = {{0, 0}, {259, 0}, {260, 1}, {519, 1}, {520, 2}, {530, 2}, {780, 3},
                                 {0xFFFFFFFFu, 16519104u}};
    for (const auto &c : cases) {
        EXPECT_EQ(SendRecordCount(c[0]), c[1]) << c[0];
        EXPECT_EQ(SendListCapacity(c[0]), c[1] + 1) << c[0];
    }
}

TEST(SendList, ThreeRowsMakeA780ByteFileThatReadsBack)
{
    const char *paths[] = {"C:\\designs\\rose.vbd", "C:\\tulip.vbd", "D:\\a\\b\\c\\lily.vbd"};
    std::vector<unsigned char> file;
    for (const char *p : paths) {
        auto r = Record(p);
        file.insert(file.end(), r.begin(), r.end());
    }
    ASSERT_EQ(file.size(), 780u);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(ZeroFrom(file.data(), i * 260 + strlen(paths[i]), (i + 1) * 260));

    DesignEntry entries[4];
    memset(entries, 0xAA, sizeof entries);
    ASSERT_EQ(ReadSendList(file.data(), 780, 6, entries, SendListCapacity(780)), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(entries[i].name, paths[i]);
        EXPECT_EQ(entries[i].location, 6);
        EXPECT_EQ(entries[i].number, 0);
    }
    EXPECT_TRUE(IsZeroEntry(entries[3]));
}

TEST(SendList, HostRecordsNeedNoPaddingAndMayLackAZeroByte)
{
    std::vector<unsigned char> file(530, 'x');   // two records and 10 stray bytes
    const char first[] = "C:\\host\\a.vbd";
    memcpy(file.data(), first, sizeof first);    // terminator, then 'x' up to the record's end
    DesignEntry entries[3];
    memset(entries, 0xAA, sizeof entries);
    ASSERT_EQ(ReadSendList(file.data(), 530, 1, entries, SendListCapacity(530)), 2u);
    EXPECT_STREQ(entries[0].name, first);
    EXPECT_EQ(strlen(entries[1].name), 260u);   // no zero byte: the entry's own zero ends it
    EXPECT_EQ(entries[1].name[260], '\0');
    EXPECT_TRUE(IsZeroEntry(entries[2]));
}

TEST(SendList, RefusedRecordsLeaveNoTraceAndTheListStaysClosed)
{
    const char *paths[] = {"keep1.vbd", "skip.vbd", "keep2.vbd", "skip-last.vbd"};
    DesignEntry entries[5];
    memset(entries, 0xAA, sizeof entries);
    SendListBuilder list;
    SendListBegin(&list, entries, 5, 2);
    for (const char *p : paths) {
        auto r = Record(p);
        DesignEntry *staged = SendListStage(&list, r.data());
        ASSERT_NE(staged, nullptr);
        EXPECT_STREQ(staged->name, p);   // the caller checks the staged path
        if (strncmp(p, "keep", 4) == 0)
            SendListAccept(&list);
    }
    SendListClose(&list);
    ASSERT_EQ(list.count, 2u);
    EXPECT_STREQ(entries[0].name, "keep1.vbd");
    EXPECT_STREQ(entries[1].name, "keep2.vbd");
    EXPECT_TRUE(IsZeroEntry(entries[2]));   // "skip-last.vbd" was staged there, then wiped
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&entries[3])[0], 0xAA);
}

TEST(SendList, AStagedButRefusedLastRecordIsWipedByClose)
{
    DesignEntry entries[3];
    memset(entries, 0xAA, sizeof entries);
    SendListBuilder list;
    SendListBegin(&list, entries, 3, 1);
    auto a = Record("a.vbd"), b = Record("b.vbd");
    SendListStage(&list, a.data());
    SendListAccept(&list);
    SendListStage(&list, b.data());   // refused: not accepted
    SendListClose(&list);
    SendListAccept(&list);            // nothing staged after Close
    EXPECT_EQ(list.count, 1u);
    EXPECT_TRUE(IsZeroEntry(entries[1]));
}

TEST(SendList, MoreRecordsThanTheCapacityNeverOverrun)
{
    std::vector<unsigned char> file;
    for (int i = 0; i < 5; ++i) {
        auto r = Record("design" + std::to_string(i) + ".vbd");
        file.insert(file.end(), r.begin(), r.end());
    }
    DesignEntry entries[4];
    memset(entries, 0xAA, sizeof entries);
    // Room for two entries and the closing one: records 3 to 5 are not taken.
    EXPECT_EQ(ReadSendList(file.data(), (uint32_t)file.size(), 1, entries, 3), 2u);
    EXPECT_TRUE(IsZeroEntry(entries[2]));
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&entries[3])[0], 0xAA);

    SendListBuilder list;
    SendListBegin(&list, entries, 0, 1);
    EXPECT_EQ(SendListStage(&list, file.data()), nullptr);
    SendListClose(&list);   // no list: writes nothing
    EXPECT_EQ(list.count, 0u);
}

TEST(SendList, EmptyAndShortFilesGiveAnEmptyClosedList)
{
    std::vector<unsigned char> file(259, 'z');
    for (uint32_t size : {0u, 259u}) {
        DesignEntry entry;
        memset(&entry, 0xAA, sizeof entry);
        EXPECT_EQ(ReadSendList(file.data(), size, 1, &entry, SendListCapacity(size)), 0u);
        EXPECT_TRUE(IsZeroEntry(entry));
    }
}

}  // namespace
