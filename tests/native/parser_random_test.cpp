// Random buffers through the parsers that read files and texts made outside the module: a
// fixed seed, so every run feeds the same 10,000 inputs to each, and checks that hold for any
// input. Under the sanitizer build an overrun fails here as well.
#include <gtest/gtest.h>

#include <string.h>

#include <random>
#include <vector>

#include "machinelist/directory_info.h"
#include "send/selection.h"
#include "send/send_list.h"

namespace {

const int ROUNDS = 10000;

// Bytes biased toward the ones the parsers look at.
std::vector<unsigned char> RandomBytes(std::mt19937 &random, size_t maxSize, const char *special)
{
    std::uniform_int_distribution<size_t> sizeOf(0, maxSize);
    std::vector<unsigned char> out(sizeOf(random));
    size_t specials = strlen(special);
    for (unsigned char &b : out) {
        unsigned r = random();
        b = (r % 4 == 0 && specials) ? static_cast<unsigned char>(special[(r >> 8) % specials])
                                     : static_cast<unsigned char>(r >> 16);
    }
    return out;
}

TEST(ParserRandom, SendListReaderStaysInsideItsEntries)
{
    std::mt19937 random(4201);
    const uint32_t GUARD = 2;
    for (int round = 0; round < ROUNDS; ++round) {
        auto file = RandomBytes(random, 1400, std::string("\0", 1).c_str());
        uint32_t size = static_cast<uint32_t>(file.size());
        uint32_t capacity = SendListCapacity(size);
        if (round % 3 == 0)
            capacity = random() % (capacity + 1);   // too little room now and then
        std::vector<DesignEntry> entries(capacity + GUARD);
        memset(entries.data(), 0xAA, entries.size() * sizeof(DesignEntry));
        uint32_t count = ReadSendList(file.data(), size, 5, entries.data(), capacity);

        ASSERT_LE(count, SendRecordCount(size));
        if (capacity > 0) {
            ASSERT_EQ(count, std::min(SendRecordCount(size), capacity - 1));
        }
        for (uint32_t i = 0; i < count; ++i) {
            ASSERT_EQ(entries[i].name[260], '\0');
            ASSERT_EQ(memcmp(entries[i].name, &file[i * 260], 260), 0);
            ASSERT_EQ(entries[i].location, 5);
            ASSERT_EQ(entries[i].number, 0);
        }
        if (count < capacity) {
            const unsigned char *closing = reinterpret_cast<const unsigned char *>(&entries[count]);
            for (size_t b = 0; b < sizeof(DesignEntry); ++b)
                ASSERT_EQ(closing[b], 0);
        }
        const unsigned char *guard = reinterpret_cast<const unsigned char *>(&entries[capacity]);
        for (size_t b = 0; b < GUARD * sizeof(DesignEntry); ++b)
            ASSERT_EQ(guard[b], 0xAA);
    }
}

TEST(ParserRandom, DirectoryReaderConsumesEveryByteOnce)
{
    std::mt19937 random(4202);
    for (int round = 0; round < ROUNDS; ++round) {
        auto records = RandomBytes(random, 700, "\x00\x01\x03\x7f\xff");
        DirectoryReader reader;
        DirectoryReaderBegin(&reader, records.data(), records.size());
        char name[DIRECTORY_NAME_MAX + 2];
        unsigned number = 0, expected = 0;
        size_t consumed = 0;
        while (true) {
            name[DIRECTORY_NAME_MAX + 1] = 'G';
            if (!DirectoryReaderNext(&reader, name, &number))
                break;
            ASSERT_EQ(name[DIRECTORY_NAME_MAX + 1], 'G');
            ASSERT_EQ(number, ++expected);
            size_t length = records[consumed];
            size_t taken = std::min(length, records.size() - consumed - 1);
            ASSERT_EQ(memcmp(name, &records[consumed + 1], strlen(name)), 0);
            ASSERT_LE(strlen(name), taken);
            consumed += 1 + taken;
            ASSERT_EQ(reader.consumed, consumed);
        }
        ASSERT_EQ(consumed, records.size());
        ASSERT_LE(expected, records.size());
    }
}

int CountNames(const char *folder, const char *name, void *context)
{
    if (strchr(folder, '"') || strchr(name, '"'))
        return 99;   // a quote never reaches a step
    ++*static_cast<int *>(context);
    return 0;
}

TEST(ParserRandom, SelectionWalkAndJoinsHoldTheirForms)
{
    std::mt19937 random(4203);
    for (int round = 0; round < ROUNDS; ++round) {
        auto bytes = RandomBytes(random, round % 100 == 0 ? 3 * SELECTION_SIZE : 600, "\" \\\x81");
        std::string text(bytes.begin(), bytes.end());
        text = text.c_str();   // up to the first zero byte
        int quotes = 0;
        for (char c : text)
            quotes += c == '"';

        int names = 0;
        int result = ForEachSelectedName(text.c_str(), CountNames, &names);
        ASSERT_EQ(result, quotes % 2 ? 0 : -1) << text;
        ASSERT_EQ(names, quotes / 2);
        ASSERT_EQ(IsSeveralNames(text.c_str()), quotes >= 2);

        // The same text as the names of a selection, into an output of random size.
        size_t outputSize = random() % 800;
        std::vector<char> output(outputSize + 1, 'z');
        char folder[64] = "C:\\folder\\";
        if (ComposeSelection(output.data(), outputSize, folder, text.c_str())) {
            ASSERT_LT(strlen(output.data()), outputSize);
            if (quotes >= 2) {
                int walked = 0;
                int after = ForEachSelectedName(output.data(), CountNames, &walked);
                ASSERT_TRUE(after == -1 || (after == 0 && quotes % 2 == 1 && walked == quotes / 2));
                ASSERT_GE(walked, 1);
            }
        }
        ASSERT_EQ(output[outputSize], 'z');

        char path[PICKER_PATH_SIZE + 1];
        path[PICKER_PATH_SIZE] = 'G';
        bool joined = JoinFolderAndName(path, "C:\\", text.c_str());
        ASSERT_EQ(joined, text.size() + 3 < PICKER_PATH_SIZE);
        ASSERT_EQ(path[PICKER_PATH_SIZE], 'G');
        std::string copy = text;
        StripTrailingBackslash(&copy[0]);
        ASSERT_GE(strlen(copy.c_str()) + 1, text.size());
    }
}

}  // namespace
