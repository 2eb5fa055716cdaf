// mkavi <out.avi> send|receive: writes one of the module's two transfer clips.
#include <cstdio>
#include <cstring>

#include "avigen/avi_writer.h"
#include "avigen/scene.h"

int main(int argc, char **argv)
{
    if (argc != 3 || (std::strcmp(argv[2], "send") != 0 && std::strcmp(argv[2], "receive") != 0)) {
        std::fprintf(stderr, "usage: mkavi <out.avi> send|receive\n");
        return 2;
    }
    avigen::Direction direction =
        std::strcmp(argv[2], "send") == 0 ? avigen::Direction::Send : avigen::Direction::Receive;
    avigen::Clip clip = avigen::MakeTransferClip(direction);
    std::vector<uint8_t> avi = avigen::WriteAvi(clip.format, clip.frames);
    FILE *f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(avi.data(), 1, avi.size(), f) == avi.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
