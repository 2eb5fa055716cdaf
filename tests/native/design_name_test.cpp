#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "send/design_name.h"

namespace {

// Days from 1 January 1970 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// The local-time count: 100-nanosecond intervals since 1 January 1601.
uint64_t TimeCount(int year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
                   unsigned tenthsOfMicroseconds)
{
    int64_t days = DaysFromCivil(year, month, day) - DaysFromCivil(1601, 1, 1);
    int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return static_cast<uint64_t>(seconds) * 10000000u + tenthsOfMicroseconds;
}

std::string Build(const char *text, bool *accepted = nullptr)
{
    char dest[DESIGN_NAME_SIZE];
    strcpy(dest, "untouched");
    bool ok = BuildDesignName(dest, text);
    if (accepted)
        *accepted = ok;
    return dest;
}

TEST(DesignName, TypedTextBecomesBaseNameWithVbd)
{
    struct Case {
        const char *typed, *name;
    } cases[] = {
        {"my.design.pes", "my.vbd"}, {".hidden.pes", "hidden.vbd"}, {"...", ".vbd"},
        {"Flower", "Flower.vbd"},    {"Flower.vbd", "Flower.vbd"},  {"", ".vbd"},
        {".vbd", ".vbd"},            {"name.", "name.vbd"},         {"a b.c d", "a b.vbd"},
        {"..x..y", "x.vbd"},         {"rose.PES", "rose.vbd"},
    };
    for (const Case &c : cases) {
        bool accepted = false;
        EXPECT_EQ(Build(c.typed, &accepted), c.name) << c.typed;
        EXPECT_TRUE(accepted) << c.typed;
    }
}

TEST(DesignName, EveryForbiddenCharacterIsRefusedLeavingTheOldName)
{
    for (const char *typed : {"a:b", "a\"b", "a*b", "a/b", "a<b", "a>b", "a?b", "a\\b", "a|b", "C:\\x\\y.pes", "|"}) {
        bool accepted = true;
        EXPECT_EQ(Build(typed, &accepted), "untouched") << typed;
        EXPECT_FALSE(accepted) << typed;
    }
    int allowed = 0;
    for (int c = 1; c < 256; ++c)
        allowed += !IsForbiddenNameChar(static_cast<char>(c));
    EXPECT_EQ(allowed, 255 - 9);
}

TEST(DesignName, LongTextIsReadTo260CharactersAndTheBaseCutTo255)
{
    // A forbidden character beyond the 260th is never seen.
    std::string typed = std::string(260, 'a') + ":";
    EXPECT_EQ(Build(typed.c_str()), std::string(255, 'a') + ".vbd");
    // The name dialog passes at most 259 characters: the longest name still fits the buffer.
    std::string name = Build(std::string(259, 'b').c_str());
    EXPECT_EQ(name.size(), 259u);
    EXPECT_EQ(name, std::string(255, 'b') + ".vbd");
    EXPECT_EQ(Build((std::string(255, 'c') + ".pes").c_str()), std::string(255, 'c') + ".vbd");
    // A full stop past the 260th character is not the extension's.
    EXPECT_EQ(Build((std::string(10, 'd') + "." + std::string(300, 'e') + ".pes").c_str()),
              std::string(10, 'd') + ".vbd");
}

TEST(DesignName, Base36DigitsMostSignificantFirst)
{
    struct Case {
        uint64_t value;
        const char *digits;
    } cases[] = {
        {0, "0"},       {9, "9"},           {10, "A"},      {35, "Z"},
        {36, "10"},     {1295, "ZZ"},       {1296, "100"},  {126370818451230000ull, "YKAPSJW0PIO"},
        {UINT64_MAX, "3W5E11264SGSF"},
    };
    for (const Case &c : cases) {
        char buffer[BASE36_DIGITS_MAX + 1];
        EXPECT_STREQ(FormatBase36(c.value, buffer), c.digits);
        EXPECT_EQ(FormatBase36(c.value, buffer), buffer);
    }
}

TEST(DesignName, DefaultNameOfAKnownTime)
{
    uint64_t count = TimeCount(2001, 6, 15, 12, 30, 45, 1230000);   // 12:30:45.123
    EXPECT_EQ(count, 126370818451230000ull);
    char name[DESIGN_NAME_SIZE];
    memset(name, 'x', sizeof name);
    DefaultDesignName(count, name);
    EXPECT_STREQ(name, "YKAPSJW0PIO.vbd");
}

TEST(DesignName, DefaultNameGrowsTo12DigitsOn3February2018)
{
    uint64_t threshold = 1;
    for (int i = 0; i < 11; ++i)
        threshold *= 36;
    EXPECT_EQ(TimeCount(2018, 2, 3, 22, 26, 24, 2267136), threshold);

    struct Case {
        uint64_t count;
        size_t digits;
    } cases[] = {
        {threshold - 1, 11},
        {threshold, 12},
        {TimeCount(2018, 2, 3, 22, 26, 24, 2260000), 11},   // .226, the last millisecond before
        {TimeCount(2018, 2, 3, 22, 26, 24, 2270000), 12},   // .227
        {TimeCount(1601, 1, 1, 0, 0, 0, 0), 1},
        {TimeCount(2100, 1, 1, 0, 0, 0, 0), 12},
    };
    for (const Case &c : cases) {
        char name[DESIGN_NAME_SIZE];
        DefaultDesignName(c.count, name);
        EXPECT_EQ(strlen(name), c.digits + 4) << name;
        EXPECT_STREQ(name + c.digits, ".vbd");
    }
}

}  // namespace
