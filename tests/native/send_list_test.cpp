// The send list file: 260-byte records written by the picker and read into design entries.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "send/send_list.h"

namespace {

using Record = std::vector<unsigned char>;

Record MakeRecord(const std::string &path)
{
    Record r(SEND_RECORD_SIZE);
    BuildSendRecord(path.c_str(), r.data());
    return r;
}

bool ZeroFrom(const void *p, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (static_cast<const unsigned char *>(p)[i] != 0)
            return false;
    return true;
}

bool IsZeroEntry(const DesignEntry &e)
{
    return ZeroFrom(&e, 0, sizeof e);
}

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
}

TEST(SendList, RecordCountDropsThePartialTail)
{
    const uint32_t cases[][2] = {{0, 0}, {259, 0}, {260, 1}, {519, 1}, {530, 2}, {780, 3}, {0xFFFFFFFFu, 16519104u}};
    for (const auto &c : cases) {
        EXPECT_EQ(SendRecordCount(c[0]), c[1]) << c[0];
        EXPECT_EQ(SendListCapacity(c[0]), c[1] + 1) << c[0];
    }
}

// Three rows make a file of exactly 780 bytes that reads back with a zero closing entry.
TEST(SendList, ThreeRowsMakeA780ByteFileThatReadsBack)
{
    const char *paths[] = {"C:\\designs\\rose.vbd", "C:\\tulip.vbd", "D:\\a\\b\\c\\lily.vbd"};
    Record file;
    for (const char *p : paths) {
        Record r = MakeRecord(p);
        file.insert(file.end(), r.begin(), r.end());
    }
    ASSERT_EQ(file.size(), 780u);
    DesignEntry entries[4];
    memset(entries, 0xAA, sizeof entries);
    ASSERT_EQ(ReadSendList(file.data(), 780, 6, entries, SendListCapacity(780)), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(ZeroFrom(file.data(), i * 260 + strlen(paths[i]), (i + 1) * 260));
        EXPECT_STREQ(entries[i].name, paths[i]);
        EXPECT_EQ(entries[i].location, 6);
        EXPECT_EQ(entries[i].number, 0);
    }
    EXPECT_TRUE(IsZeroEntry(entries[3]));
}

// A host-made file of 530 bytes: two records, the first unpadded after its terminator, the
// second without any zero byte (a path of 260 characters ended by the entry's own zero).
TEST(SendList, HostRecordsNeedNoPaddingAndMayLackAZeroByte)
{
    Record file(530, 'x');
    const char first[] = "C:\\host\\a.vbd";
    memcpy(file.data(), first, sizeof first);
    DesignEntry entries[3];
    memset(entries, 0xAA, sizeof entries);
    ASSERT_EQ(ReadSendList(file.data(), 530, 1, entries, SendListCapacity(530)), 2u);
    EXPECT_STREQ(entries[0].name, first);
    EXPECT_EQ(strlen(entries[1].name), 260u);
    EXPECT_TRUE(IsZeroEntry(entries[2]));

    for (uint32_t size : {0u, 259u}) {
        DesignEntry entry;
        memset(&entry, 0xAA, sizeof entry);
        EXPECT_EQ(ReadSendList(file.data(), size, 1, &entry, SendListCapacity(size)), 0u);
        EXPECT_TRUE(IsZeroEntry(entry)) << size;
    }
}

// Records beyond the room are not taken; staged records that are not accepted leave no
// trace, and the list stays closed by a zero entry.
TEST(SendList, TheListStaysInsideItsRoomAndClosed)
{
    Record file;
    for (int i = 0; i < 5; ++i) {
        Record r = MakeRecord("design" + std::to_string(i) + ".vbd");
        file.insert(file.end(), r.begin(), r.end());
    }
    DesignEntry entries[5];
    memset(entries, 0xAA, sizeof entries);
    EXPECT_EQ(ReadSendList(file.data(), (uint32_t)file.size(), 1, entries, 3), 2u);
    EXPECT_TRUE(IsZeroEntry(entries[2]));
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&entries[3])[0], 0xAA);

    memset(entries, 0xAA, sizeof entries);
    SendListBuilder list;
    SendListBegin(&list, entries, 5, 2);
    for (const char *p : {"keep1.vbd", "skip.vbd", "keep2.vbd", "skip-last.vbd"}) {
        Record r = MakeRecord(p);
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

}  // namespace
