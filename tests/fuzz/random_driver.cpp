// Stands in for libFuzzer where clang is missing: runs a fuzz target over the files of the
// corpus folders given and then over -runs=N random mutations of them (fixed seed).
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static std::vector<uint8_t> ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int main(int argc, char **argv)
{
    long runs = 100000;
    std::vector<std::vector<uint8_t>> corpus;
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "-runs=", 6) == 0) {
            runs = atol(argv[i] + 6);
        } else if (argv[i][0] != '-') {
            if (DIR *dir = opendir(argv[i])) {
                while (dirent *e = readdir(dir))
                    if (e->d_name[0] != '.')
                        corpus.push_back(ReadFile(std::string(argv[i]) + "/" + e->d_name));
                closedir(dir);
            }
        }
    }
    if (corpus.empty())
        corpus.push_back({});
    for (const std::vector<uint8_t> &input : corpus)
        LLVMFuzzerTestOneInput(input.data(), input.size());
    std::mt19937 random(1);
    for (long run = 0; run < runs; ++run) {
        std::vector<uint8_t> input = corpus[random() % corpus.size()];
        int edits = 1 + random() % 8;
        for (int e = 0; e < edits; ++e) {
            size_t at = input.empty() ? 0 : random() % input.size();
            switch (random() % 5) {
            case 0: if (!input.empty()) input[at] = (uint8_t)random(); break;
            case 1: if (!input.empty()) input[at] = random() % 2 ? 0x80 : 0x10; break;
            case 2: input.resize(at); break;
            case 3: input.insert(input.begin() + at, (uint8_t)random()); break;
            default: if (input.size() > 4) input[random() % 4] = (uint8_t)random(); break;  // the offset
            }
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    printf("random_driver: %ld runs over %zu corpus files, no finding\n", runs, corpus.size());
    return 0;
}
