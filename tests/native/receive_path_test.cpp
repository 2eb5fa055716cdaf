#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "receive/receive_path.h"

namespace {

std::string Destination(const std::string &folder, const std::string &name)
{
    char buffer[VEMB_NAME_FIELD + 8];
    memset(buffer, 'X', sizeof buffer);
    char folderText[VEMB_NAME_FIELD];
    strcpy(folderText, folder.c_str());
    RemoveTrailingBackslash(folderText);
    if (!BuildDestinationPath(folderText, name.c_str(), buffer))
        return "<refused:" + std::string(buffer) + ">";
    EXPECT_EQ(buffer[VEMB_NAME_FIELD], 'X') << "wrote past the name field";
    return buffer;
}

TEST(ReceivePath, DestinationPaths)
{
    const struct {
        const char *folder, *name, *expected;
    } cases[] = {
        {"C:\\Designs", "ROSE.PTN", "C:\\Designs\\ROSE.vbd"},
        {"C:\\Designs\\", "ROSE.PTN", "C:\\Designs\\ROSE.vbd"},  // one trailing backslash goes
        {"C:\\Designs", "LEAF.vbd", "C:\\Designs\\LEAF.vbd"},
        {"C:\\", "A.ptn", "C:\\A.vbd"},  // drive root: one backslash
        {"C:\\Designs", "B.PtN", "C:\\Designs\\B.vbd"},
        {"C:\\Designs", "C.ptn.bak", "C:\\Designs\\C.ptn.bak"},
        {"C:\\Designs", "D", "C:\\Designs\\D"},
        {"C:\\Designs", "E.ptnx", "C:\\Designs\\E.ptnx"},
        {"C:\\Designs", "F.pt", "C:\\Designs\\F.pt"},
        {"C:\\Designs", ".ptn", "C:\\Designs\\.vbd"},
        {"C:\\Designs", "", "C:\\Designs\\"},
        {"C:\\De.ptn", "G", "C:\\De.ptn\\G"},  // a dotted folder is not the extension
        {"", "H.ptn", "\\H.vbd"},
        {"C:\\Designs\\\\", "I.ptn", "C:\\Designs\\\\I.vbd"},  // only one backslash is taken off
    };
    for (const auto &c : cases)
        EXPECT_EQ(Destination(c.folder, c.name), c.expected) << c.folder << " + " << c.name;
}

TEST(ReceivePath, ReplacePtnExtensionLeavesOtherExtensionsAlone)
{
    char result[VEMB_NAME_FIELD];
    strcpy(result, "untouched");
    EXPECT_FALSE(ReplacePtnExtension("C:\\x\\a.vbd", result));
    EXPECT_FALSE(ReplacePtnExtension("C:\\x.ptn\\a", result));
    EXPECT_FALSE(ReplacePtnExtension("a", result));
    EXPECT_STREQ(result, "untouched");
    ASSERT_TRUE(ReplacePtnExtension("C:\\x\\a.b.PTN", result));
    EXPECT_STREQ(result, "C:\\x\\a.b.vbd");
    ASSERT_TRUE(ReplacePtnExtension("d:rel.ptn", result));
    EXPECT_STREQ(result, "d:rel.vbd");
    ASSERT_TRUE(ReplacePtnExtension("C:/x/y.ptn", result));
    EXPECT_STREQ(result, "C:/x/y.vbd");
}

// A path of exactly 260 characters fits the 261-byte name field; one more is refused, and
// nothing is written past the field.
TEST(ReceivePath, PathsLongerThan260CharactersAreRefused)
{
    std::string folder = "C:\\" + std::string(200, 'f');  // 203 characters
    std::string fits = std::string(52, 'n') + ".ptn";     // 203 + 1 + 56 = 260
    std::string expected = folder + "\\" + std::string(52, 'n') + ".vbd";
    EXPECT_EQ(Destination(folder, fits), expected);
    EXPECT_EQ(Destination(folder, "n" + fits), "<refused:>");
    EXPECT_EQ(Destination(std::string(255, 'f'), std::string(255, 'n')), "<refused:>");
}

TEST(ReceivePath, RemoveTrailingBackslash)
{
    const struct {
        const char *in, *out;
    } cases[] = {{"C:\\", "C:"}, {"C:\\a\\", "C:\\a"}, {"C:\\a", "C:\\a"},
                 {"", ""},       {"\\", ""},           {"a\\\\", "a\\"}};
    for (const auto &c : cases) {
        char text[16];
        strcpy(text, c.in);
        RemoveTrailingBackslash(text);
        EXPECT_STREQ(text, c.out) << c.in;
    }
}

// Only a name that stays a file of the receive folder is saved under it.
TEST(ReceivePath, PlainFileNames)
{
    for (const char *name : {"ROSE.PTN", "a.b.vbd", "...", ".vbd", "x..", "name with blanks.vbd"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
    for (const char *name : {"..", ".", "..\\up.vbd", "sub\\a.vbd", "a/b.vbd", "/a.vbd", "C:a.vbd", "a.vbd:s",
                             "\\\\server\\x.vbd"})
        EXPECT_FALSE(IsPlainFileName(name)) << name;
}

}  // namespace
