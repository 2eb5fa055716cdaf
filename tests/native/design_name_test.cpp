// Names of designs sent from the host's memory: the name typed into the Vbd Name dialog and
// the default name from the local time in base 36.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "send/design_name.h"

namespace {

std::string Build(const std::string &text, bool *accepted = nullptr)
{
    char dest[DESIGN_NAME_SIZE];
    strcpy(dest, "untouched");
    bool ok = BuildDesignName(dest, text.c_str());
    if (accepted)
        *accepted = ok;
    return dest;
}

TEST(DesignName, TypedTextBecomesBaseNameWithVbd)
{
    const char *cases[][2] = {
        {"my.design.pes", "my.vbd"}, {".hidden.pes", "hidden.vbd"}, {"...", ".vbd"},     {"Flower", "Flower.vbd"},
        {"", ".vbd"},                {"name.", "name.vbd"},         {"..x..y", "x.vbd"}, {"rose.PES", "rose.vbd"},
    };
    for (auto &c : cases) {
        bool accepted = false;
        EXPECT_EQ(Build(c[0], &accepted), c[1]) << c[0];
        EXPECT_TRUE(accepted) << c[0];
    }
    for (const char *typed : {"a:b", "a\"b", "a*b", "a/b", "a<b", "a>b", "a?b", "a\\b", "a|b"}) {
        bool accepted = true;
        EXPECT_EQ(Build(typed, &accepted), "untouched") << typed;
        EXPECT_FALSE(accepted) << typed;
    }
    int allowed = 0;
    for (int c = 1; c < 256; ++c)
        allowed += !IsForbiddenNameChar(static_cast<char>(c));
    EXPECT_EQ(allowed, 255 - 9);
}

// The text is read to 260 characters (a forbidden character or a full stop beyond is never
// seen) and the base cut to 255, so the longest name still fits its buffer.
TEST(DesignName, LongTextIsReadTo260CharactersAndTheBaseCutTo255)
{
    EXPECT_EQ(Build(std::string(260, 'a') + ":"), std::string(255, 'a') + ".vbd");
    EXPECT_EQ(Build(std::string(259, 'b')), std::string(255, 'b') + ".vbd");
    EXPECT_EQ(Build(std::string(10, 'd') + "." + std::string(300, 'e') + ".pes"), std::string(10, 'd') + ".vbd");
}

// The example time, 15 June 2001 12:30:45.123 as a count of 100 ns since 1601, names the
// design YKAPSJW0PIO.vbd; the digits grow to 12 at 36^11.
TEST(DesignName, DefaultNameIsTheTimeInBase36)
{
    const std::pair<uint64_t, const char *> cases[] = {
        {0, "0"},   {35, "Z"},   {36, "10"}, {126370818451230000ull, "YKAPSJW0PIO"}, {UINT64_MAX, "3W5E11264SGSF"}};
    for (const auto &c : cases) {
        char buffer[BASE36_DIGITS_MAX + 1];
        EXPECT_STREQ(FormatBase36(c.first, buffer), c.second);
    }
    char name[DESIGN_NAME_SIZE];
    memset(name, 'x', sizeof name);
    DefaultDesignName(126370818451230000ull, name);
    EXPECT_STREQ(name, "YKAPSJW0PIO.vbd");
    uint64_t twelveDigits = 131621703842267136ull;  // 36^11: 3 February 2018 22:26:24.2267136
    DefaultDesignName(twelveDigits - 1, name);
    EXPECT_STREQ(name, "ZZZZZZZZZZZ.vbd");
    DefaultDesignName(twelveDigits, name);
    EXPECT_STREQ(name, "100000000000.vbd");
}

}  // namespace
