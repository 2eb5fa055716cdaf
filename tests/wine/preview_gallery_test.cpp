// The preview of every sample design, as the preview box of the Receive Designs dialog
// shows it, saved as build/win32/bin/previews/<design>.png for a person to look at; each
// must hold the white drawing area and lines in at least two thread colours.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "design/preview.h"
#include "designgen/design_writer.h"
#include "png_writer.h"
#include "vemb_fixture.h"

using namespace vt;

namespace {

class PreviewGallery : public VembTest {};

TEST_F(PreviewGallery, EverySampleDesignIsDrawnAndSaved)
{
    const int boxWidth = 132, boxHeight = 160;  // a 67 x 80 dialog-unit box at 8 points
    HWND box = CreateWindowExA(WS_EX_CLIENTEDGE, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_SUNKEN, 10, 10,
                               boxWidth, boxHeight, Owner(), (HMENU)PREVIEW_BOX_CONTROL, NULL, NULL);
    CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE, 10, 180, boxWidth, 16, Owner(), (HMENU)HOOP_LABEL_CONTROL,
                  NULL, NULL);
    ASSERT_TRUE(box);
    CreatePreviewSurface(Owner());
    std::string folder = ExeDir() + "previews";
    CreateDirectoryA(folder.c_str(), NULL);
    const int w = boxWidth - 6, h = boxHeight - 6;
    for (const designgen::SampleDesign &sample : designgen::SampleDesigns()) {
        SCOPED_TRACE(sample.fileName);
        std::string path = WorkDir() + "\\" + sample.fileName;
        ASSERT_TRUE(designgen::WriteDesignFile(path, designgen::MakeDesign(sample.spec)));
        ASSERT_EQ(DrawDesignPreview(Owner(), path.c_str()), 1);
        std::vector<uint8_t> rgb;
        std::set<COLORREF> colours;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                COLORREF c = GetPixel(PreviewSurfaceDC(), x, y);
                colours.insert(c);
                rgb.insert(rgb.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
            }
        EXPECT_TRUE(colours.count(RGB(255, 255, 255)));
        EXPECT_GE(colours.size(), 3u);  // white and two thread colours at least
        std::string name = sample.fileName.substr(0, sample.fileName.rfind('.')) + ".png";
        EXPECT_TRUE(uidrive::WritePng(folder + "\\" + name, rgb, w, h));
    }
    DeletePreviewSurface();
}

}  // namespace
