// mkdesigns <out-folder>: writes the sample designs (SampleDesigns) into a folder.
// mkdesigns --fuzz-seeds <out-folder>: writes small designs that seed the fuzz targets.
#include <stdio.h>
#include <string.h>

#include "designgen/design_writer.h"

using namespace designgen;

static bool Write(const std::string &folder, const std::string &name, const std::vector<char> &bytes)
{
    std::string path = folder + "/" + name;
    if (!WriteDesignFile(path, bytes)) {
        fprintf(stderr, "mkdesigns: cannot write %s\n", path.c_str());
        return false;
    }
    printf("%s  %zu bytes\n", path.c_str(), bytes.size());
    return true;
}

static bool WriteFuzzSeeds(const std::string &folder)
{
    bool ok = true;
    int n = 0;
    for (uint32_t hoop : {0u, 1u, 2u})
        for (Motif motif : {Motif::Rosette, Motif::Spiral}) {
            DesignRecipe recipe{120, hoop, {10, 22, 37}, (size_t)(n % 2 ? 8 : 0), motif};
            ok &= Write(folder, "seed" + std::to_string(n++) + ".vbd", MakeDesign(recipe));
        }
    // Every kind of control record once.
    DesignFile file;
    file.stitchCount = 40;
    file.colours = {1, 79, 0};
    file.stitchData = StitchData()
                          .Stitch(5, 5).ColourChange(3, -3).Stitch(-7, 2).ColourChangeInPlace(0x20)
                          .ColourChangeInPlace(0x80).Move(20, 20).Move(-10, 4, 0x04).Skip4(0x80, 0x10)
                          .Control(0x40).Stitch(1, 1).ColourChange(0, 0, 0x0F).Stitch(2, 2).End().Bytes();
    file.trailingBytes = 6;
    ok &= Write(folder, "seed_controls.vbd", AssembleDesign(file));
    return ok;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--fuzz-seeds") == 0)
        return WriteFuzzSeeds(argv[2]) ? 0 : 1;
    if (argc != 2 || argv[1][0] == '-') {
        fprintf(stderr, "usage: mkdesigns <out-folder>\n       mkdesigns --fuzz-seeds <out-folder>\n");
        return 2;
    }
    bool ok = true;
    for (const SampleDesign &sample : SampleDesigns())
        ok &= Write(argv[1], sample.fileName, MakeDesign(sample.recipe));
    return ok ? 0 : 1;
}
