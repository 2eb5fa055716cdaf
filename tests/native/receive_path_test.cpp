// Destination paths of received designs: folder and name joined into the 261-byte name
// field of a design entry, ".ptn" saved as ".vbd", names that are no plain file names.
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
