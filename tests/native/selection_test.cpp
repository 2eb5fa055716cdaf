#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "send/selection.h"

namespace {

struct Walk {
    std::string folder;
    std::vector<std::string> names;
    int stopAt = -1;     // the step answers `stopWith` for this name index
    int stopWith = 0;
};

int Collect(const char *folder, const char *name, void *context)
{
    Walk *w = static_cast<Walk *>(context);
    w->folder = folder;
    w->names.push_back(name);
    return static_cast<int>(w->names.size()) - 1 == w->stopAt ? w->stopWith : 0;
}

std::string Stripped(std::string text)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    StripTrailingBackslash(buffer.data());
    return buffer.data();
}

TEST(Selection, TrailingBackslashUnlessItEndsADoubleByteCharacter)
{
    struct Case {
        const char *text, *result;
    } cases[] = {
        {"C:\\", "C:"},          {"C:\\dir\\", "C:\\dir"},   {"C:\\dir", "C:\\dir"},
        {"\\", ""},              {"", ""},                   {"a\\\\", "a\\"},
        {"x\x81\\", "x\x81\\"},  {"x\x9F\\", "x\x9F\\"},     {"x\xE0\\", "x\xE0\\"},
        {"x\xEF\\", "x\xEF\\"},  {"x\x80\\", "x\x80"},       {"x\xA0\\", "x\xA0"},
        {"x\xDF\\", "x\xDF"},    {"x\xF0\\", "x\xF0"},       {"\x83\\", "\x83\\"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Stripped(c.text), c.result) << c.text;
}

TEST(Selection, SeveralNamesNeedTwoDoubleQuotes)
{
    EXPECT_FALSE(IsSeveralNames("C:\\a.vbd"));
    EXPECT_FALSE(IsSeveralNames("\"a.vbd"));
    EXPECT_TRUE(IsSeveralNames("\"a.vbd\""));
    EXPECT_TRUE(IsSeveralNames("C:\\ \"a.vbd\" \"b.vbd\" "));
}

TEST(Selection, WalkHandsEachQuotedNameWithTheFolder)
{
    struct Case {
        const char *text;
        int result;
        const char *folder;
        std::vector<std::string> names;
    } cases[] = {
        {"C:\\dir\\ \"a.vbd\" \"b.vbd\" ", -1, "C:\\dir\\", {"a.vbd", "b.vbd"}},
        {"C:\\dir\\ \"a.vbd\" \"b.vbd\"", -1, "C:\\dir\\", {"a.vbd", "b.vbd"}},
        {"C:\\ \"a.vbd\" \"b", 0, "C:\\", {"a.vbd"}},            // unclosed: b is not used
        {"C:\\x  \"a \" ", -1, "C:\\x ", {"a"}},                 // one blank removed from each
        {"\"one.vbd\" ", -1, "", {"one.vbd"}},
        {"F:\\ \"\" \"b c.vbd\"", -1, "F:\\", {"", "b c.vbd"}},
        {"\"a\"\"b\"", -1, "", {"a", "b"}},
    };
    for (const Case &c : cases) {
        Walk w;
        EXPECT_EQ(ForEachSelectedName(c.text, Collect, &w), c.result) << c.text;
        EXPECT_EQ(w.names, c.names) << c.text;
        if (!c.names.empty()) {
            EXPECT_EQ(w.folder, c.folder) << c.text;
        }
    }
    for (const char *noNames : {"", "C:\\dir\\a.vbd", "\"unclosed"}) {
        Walk w;
        int result = ForEachSelectedName(noNames, Collect, &w);
        EXPECT_EQ(result, noNames[0] == '"' ? 0 : -1) << noNames;
        EXPECT_TRUE(w.names.empty()) << noNames;
    }
}

TEST(Selection, ANonZeroStepResultEndsTheWalk)
{
    Walk w;
    w.stopAt = 1;
    w.stopWith = -2;
    EXPECT_EQ(ForEachSelectedName("C:\\ \"a\" \"b\" \"c\" ", Collect, &w), -2);
    EXPECT_EQ(w.names, (std::vector<std::string>{"a", "b"}));
}

struct ComposeCase {
    const char *folder, *spec;
    const char *output;         // null: refused
    const char *folderAfter;
};

TEST(Selection, ComposeJoinsFolderAndNamesInTheirTwoForms)
{
    const ComposeCase cases[] = {
        {"C:\\", "a.vbd", "C:\\a.vbd", "C:\\"},                        // root keeps one backslash
        {"C:\\dir", "a.vbd", "C:\\dir\\a.vbd", "C:\\dir"},
        {"C:\\dir\\", "sub\\", "C:\\dir\\sub", "C:\\dir\\"},
        {"C:\\dir", "\"a.vbd", "C:\\dir\\\"a.vbd", "C:\\dir"},         // one quote is one name
        {"C:\\", "\"a.vbd\" \"b.vbd\"", "C:\\ \"a.vbd\" \"b.vbd\"", "C:"},
        {"C:\\dir", "\"a.vbd\" ", "C:\\dir\\ \"a.vbd\" ", "C:\\dir"},
        {"C:\\\x83\\", "a.vbd", "C:\\\x83\\\\a.vbd", "C:\\\x83\\"},    // folder ends in a double-byte character
        {"C:\\\x83\\", "\"a\" \"b\"", "C:\\\x83\\\\ \"a\" \"b\"", "C:\\\x83\\"},
    };
    for (const ComposeCase &c : cases) {
        char folder[SELECTION_SIZE + 1];
        strcpy(folder, c.folder);
        std::vector<char> output(SELECTION_SIZE, 'z');
        ASSERT_TRUE(ComposeSelection(output.data(), output.size(), folder, c.spec)) << c.spec;
        EXPECT_STREQ(output.data(), c.output);
        EXPECT_STREQ(folder, c.folderAfter);
    }
}

TEST(Selection, ComposeRefusesAnOverlongSingleName)
{
    const std::string folder = "C:\\dir";                  // 6 characters, then "\" and the name
    for (size_t nameLength : {12u, 13u, 14u}) {
        std::string spec(nameLength, 'n');
        char folderBuffer[32];
        strcpy(folderBuffer, folder.c_str());
        char output[21];                                    // 20 characters and the terminator
        memset(output, 'z', sizeof output);
        bool fits = folder.size() + 1 + nameLength <= 20;
        EXPECT_EQ(ComposeSelection(output, sizeof output, folderBuffer, spec.c_str()), fits) << nameLength;
        if (fits) {
            EXPECT_EQ(std::string(output), folder + "\\" + spec);
        } else {
            EXPECT_EQ(output[0], 'z');                      // left as it was
        }
    }
}

TEST(Selection, ComposeCutsSeveralNamesBehindTheLastWholeName)
{
    // "C:\ " + "\"aaaa\" \"bbbb\" \"cccc\" " = 4 + 21 characters.
    const char *spec = "\"aaaa\" \"bbbb\" \"cccc\" ";
    struct Case {
        size_t outputSize;
        const char *output;   // null: refused
    } cases[] = {
        {26, "C:\\ \"aaaa\" \"bbbb\" \"cccc\" "},
        {25, "C:\\ \"aaaa\" \"bbbb\" \"cccc\""},   // the last blank does not fit; all names do
        {24, "C:\\ \"aaaa\" \"bbbb\""},
        {18, "C:\\ \"aaaa\" \"bbbb\""},
        {17, "C:\\ \"aaaa\""},
        {11, "C:\\ \"aaaa\""},
        {10, nullptr},
        {4, nullptr},
        {1, nullptr},
        {0, nullptr},
    };
    for (const Case &c : cases) {
        char folder[8] = "C:\\";
        std::vector<char> output(c.outputSize + 1, 'z');   // one guard character behind
        bool ok = ComposeSelection(output.data(), c.outputSize, folder, spec);
        EXPECT_EQ(ok, c.output != nullptr) << c.outputSize;
        if (ok) {
            EXPECT_STREQ(output.data(), c.output) << c.outputSize;
            Walk w;
            EXPECT_EQ(ForEachSelectedName(output.data(), Collect, &w), -1);
        }
        EXPECT_EQ(output[c.outputSize], 'z') << c.outputSize;
    }
}

TEST(Selection, ComposeFillsAFullSelectionBufferWithoutOverrun)
{
    std::string spec;
    for (int i = 0; spec.size() < 3 * SELECTION_SIZE; ++i)
        spec += "\"design number " + std::to_string(i) + ".vbd\" ";
    char folder[SELECTION_SIZE + 1];
    strcpy(folder, "C:\\Users\\someone\\Documents\\Designs\\");
    std::vector<char> output(SELECTION_SIZE + 1, 'z');
    ASSERT_TRUE(ComposeSelection(output.data(), SELECTION_SIZE, folder, spec.c_str()));
    EXPECT_EQ(output[SELECTION_SIZE], 'z');
    EXPECT_LT(strlen(output.data()), SELECTION_SIZE);
    Walk w;
    EXPECT_EQ(ForEachSelectedName(output.data(), Collect, &w), -1);
    EXPECT_GT(w.names.size(), 500u);
    EXPECT_EQ(w.folder, "C:\\Users\\someone\\Documents\\Designs\\");
    EXPECT_EQ(w.names.back(), "design number " + std::to_string(w.names.size() - 1) + ".vbd");
}

TEST(Selection, QuotedNamesAreAppendedWholeOrNotAtAll)
{
    char buffer[16] = "";
    EXPECT_TRUE(AppendQuotedName(buffer, sizeof buffer, "a.vbd"));
    EXPECT_STREQ(buffer, "\"a.vbd\" ");
    EXPECT_FALSE(AppendQuotedName(buffer, sizeof buffer, "bcdef"));   // would need 17 characters
    EXPECT_STREQ(buffer, "\"a.vbd\" ");
    EXPECT_TRUE(AppendQuotedName(buffer, sizeof buffer, "bcde"));      // exactly 15 and the terminator
    EXPECT_STREQ(buffer, "\"a.vbd\" \"bcde\" ");
    EXPECT_FALSE(AppendQuotedName(buffer, sizeof buffer, ""));
}

TEST(Selection, FolderAndNameJoinIntoAPathOrAreRefused)
{
    char path[PICKER_PATH_SIZE];
    ASSERT_TRUE(JoinFolderAndName(path, "C:\\", "a.vbd"));
    EXPECT_STREQ(path, "C:\\a.vbd");

    const std::string folder = "C:\\" + std::string(100, 'f') + "\\";   // 104 characters
    const std::string fits(259 - folder.size(), 'n');
    ASSERT_TRUE(JoinFolderAndName(path, folder.c_str(), fits.c_str()));
    EXPECT_EQ(std::string(path), folder + fits);
    EXPECT_FALSE(JoinFolderAndName(path, folder.c_str(), (fits + "x").c_str()));
    EXPECT_EQ(std::string(path), folder + fits);   // left as it was

    EXPECT_TRUE(CopyPickerPath(path, std::string(259, 'p').c_str()));
    EXPECT_FALSE(CopyPickerPath(path, std::string(260, 'q').c_str()));
    EXPECT_EQ(std::string(path), std::string(259, 'p'));
}

TEST(Selection, SeveralNameSelectionInTheRootFolderGivesRootPaths)
{
    char folder[SELECTION_SIZE + 1] = "C:\\";
    std::vector<char> text(SELECTION_SIZE);
    char spec[SELECTION_SIZE] = "";
    AppendQuotedName(spec, sizeof spec, "a.vbd");
    AppendQuotedName(spec, sizeof spec, "b.vbd");
    ASSERT_TRUE(ComposeSelection(text.data(), text.size(), folder, spec));
    std::vector<std::string> paths;
    auto join = [](const char *f, const char *n, void *ctx) {
        char path[PICKER_PATH_SIZE];
        if (!JoinFolderAndName(path, f, n))
            return -2;
        static_cast<std::vector<std::string> *>(ctx)->push_back(path);
        return 0;
    };
    EXPECT_EQ(ForEachSelectedName(text.data(), join, &paths), -1);
    EXPECT_EQ(paths, (std::vector<std::string>{"C:\\a.vbd", "C:\\b.vbd"}));
    EXPECT_STREQ(folder, "C:");   // what the caller's folder string receives after a several-name reading
}

}  // namespace
