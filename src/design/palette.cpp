#include "design/palette.h"

const PaletteEntry g_threadPalette[THREAD_PALETTE_SIZE] = {
    {1, 0x000000},  {2, 0xFFFFFF},  {3, 0xFFFF17},  {4, 0xFF6600},  {5, 0x2F5933},  {6, 0x237336},
    {7, 0x65C2C8},  {8, 0xAB5A96},  {9, 0xF669A0},  {10, 0xFF0000}, {11, 0xB1704E}, {12, 0x0B2F84},
    {13, 0xE4C35D}, {14, 0x481A05}, {15, 0xAC9CC7}, {16, 0xFCF294}, {17, 0xF999B7}, {18, 0xFAB381},
    {19, 0xC9A480}, {20, 0x970533}, {21, 0xA0B8CC}, {22, 0x7FC21C}, {23, 0xE5E5E5}, {24, 0x889B9B},
    {25, 0x98D6BD}, {26, 0xB2E1E3}, {27, 0x368BA0}, {28, 0x4F83AB}, {29, 0x386A91}, {30, 0x071650},
    {31, 0xF999A2}, {32, 0xF9676B}, {33, 0xE3311F}, {34, 0xE2A188}, {35, 0xB59474}, {36, 0xE4CF99},
    {37, 0xFFCB00}, {38, 0xE1ADD4}, {39, 0xC3007E}, {40, 0x80004B}, {41, 0x540571}, {42, 0xB10525},
    {43, 0xCAE0C0}, {44, 0x899856}, {45, 0x5C941A}, {46, 0x003114}, {47, 0x5DAE94}, {48, 0x4CBF8F},
    {49, 0x007772}, {50, 0x595B61}, {51, 0xFFFFF2}, {52, 0xB15818}, {53, 0xCB8A07}, {54, 0x986C80},
    {55, 0x98692D}, {56, 0x4D3419}, {57, 0x4C330B}, {58, 0x33200A}, {59, 0x523A97}, {60, 0x0D217E},
    {61, 0x1E77AC}, {62, 0xB2DD53}, {63, 0xF33689}, {64, 0xDE649E}, {65, 0x984161}, {66, 0x4C5612},
    {67, 0x4C881F}, {68, 0xE4DE79}, {69, 0xCB8A1A}, {70, 0xCBA21C}, {71, 0xFF9805}, {72, 0xFCB257},
    {73, 0xFFE505}, {74, 0xF0331F}, {75, 0x1A842D}, {76, 0x386CAE}, {77, 0xE3C4B4}, {78, 0xE3AC81},
};

static ThreadColour MakeThreadColour(uint32_t rgb)
{
    return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

ThreadColour GetThreadColour(int code)
{
    for (const PaletteEntry &entry : g_threadPalette)
        if (entry.code == code)
            return MakeThreadColour(entry.rgb);
    return MakeThreadColour(0x000000);
}

static const Hoop g_hoops[3] = {
    {"Normal Hoop", 1100, 1100, 550, 550, true},
    {"Small Hoop", 500, 500, 250, 250, true},
    {"Large Hoop", 1600, 2000, 800, 1000, false},
};

const Hoop &HoopFor(uint32_t hoopCode)
{
    return g_hoops[hoopCode <= 1 ? hoopCode : 2];
}
