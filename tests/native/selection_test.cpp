// The picker's selection texts: the trailing backslash (code page 932 lead bytes), the walk
// over quoted names, and the joins of folder and names into buffers that must not overrun.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "send/selection.h"

namespace {

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

TEST(Selection, TrailingBackslashUnlessItEndsADoubleByteCharacter)
{
    const char *cases[][2] = {
        {"C:\\", "C:"},         {"C:\\dir\\", "C:\\dir"}, {"C:\\dir", "C:\\dir"}, {"\\", ""},
        {"a\\\\", "a\\"},       {"x\x81\\", "x\x81\\"},   {"x\x9F\\", "x\x9F\\"}, {"x\xE0\\", "x\xE0\\"},
        {"x\xEF\\", "x\xEF\\"}, {"x\x80\\", "x\x80"},     {"x\xA0\\", "x\xA0"},   {"x\xF0\\", "x\xF0"},
    };
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
        const char *folder, *spec, *output, *folderAfter;
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
        ASSERT_TRUE(ComposeSelection(output.data(), output.size(), folder, c.spec)) << c.spec;
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
    const char *spec = "\"aaaa\" \"bbbb\" \"cccc\" ";  // "C:\ " + 21 characters
    const struct {
        size_t outputSize;
        const char *output;  // null: refused
    } cases[] = {
        {26, "C:\\ \"aaaa\" \"bbbb\" \"cccc\" "}, {25, "C:\\ \"aaaa\" \"bbbb\" \"cccc\""},
        {24, "C:\\ \"aaaa\" \"bbbb\""},           {17, "C:\\ \"aaaa\""},
        {11, "C:\\ \"aaaa\""},                    {10, nullptr},
        {0, nullptr},
    };
    for (const auto &c : cases) {
        char folder[8] = "C:\\";
        std::vector<char> output(c.outputSize + 1, 'z');  // one guard character behind
        bool ok = ComposeSelection(output.data(), c.outputSize, folder, spec);
        EXPECT_EQ(ok, c.output != nullptr) << c.outputSize;
        if (ok) {
            EXPECT_STREQ(output.data(), c.output) << c.outputSize;
        }
        EXPECT_EQ(output[c.outputSize], 'z') << c.outputSize;
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

}  // namespace
