// simctl: looks into and prepares the simulated machine from the command line.
//
//   simctl list                         every location's designs, "<loc> <number> <size> <name>"
//   simctl seed <location> <file>...    stores files under their file names
//   simctl reset                        empties the machine (designs, log, faults)
//   simctl faults "<sim.ini text>"      replaces the fault file ("\n" separates lines)
//   simctl log                          prints the call log
//
// The machine folder is %LOOMSTAR_MACHINE%, else "loomstar-machine" beside simctl.exe.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "machine.h"
#include "machine_files.h"

namespace {

const int kLocations[] = {1, 2, 4, 5, 6};

int List()
{
    for (int location : kLocations) {
        std::vector<linksim::StoredDesign> designs = linksim::ListDesigns(location);
        for (size_t i = 0; i < designs.size(); ++i) {
            std::vector<char> bytes;
            linksim::ReadDesign(location, (int)i + 1, &bytes);
            printf("%d %u %u %s\n", location, (unsigned)(i + 1), (unsigned)bytes.size(),
                   designs[i].name.c_str());
        }
    }
    return 0;
}

int Seed(int location, int count, char **files)
{
    for (int i = 0; i < count; ++i) {
        std::vector<char> bytes;
        if (!linksim::ReadWholeFile(files[i], &bytes)) {
            fprintf(stderr, "simctl: cannot read %s\n", files[i]);
            return 1;
        }
        const char *name = files[i];
        for (const char *p = files[i]; *p; ++p)
            if (*p == '\\' || *p == '/' || *p == ':')
                name = p + 1;
        int code = linksim::StoreDesign(location, name, bytes.data(), bytes.size());
        if (code != linksim::SIM_OK) {
            fprintf(stderr, "simctl: %s not stored (code %d)\n", name, code);
            return 1;
        }
    }
    return 0;
}

int Faults(const char *text)
{
    std::string lines;
    for (const char *p = text; *p; ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            lines += '\n';
            ++p;
        } else {
            lines += *p;
        }
    }
    linksim::WriteFaults(lines + "\n");
    return 0;
}

int Usage()
{
    fprintf(stderr, "usage: simctl list | seed <location> <file>... | reset | faults \"<text>\" | log\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage();
    const char *verb = argv[1];
    if (!strcmp(verb, "list"))
        return List();
    if (!strcmp(verb, "seed") && argc >= 4 && linksim::IsLocation(atoi(argv[2])))
        return Seed(atoi(argv[2]), argc - 3, argv + 3);
    if (!strcmp(verb, "reset")) {
        linksim::ResetMachine();
        return 0;
    }
    if (!strcmp(verb, "faults") && argc == 3)
        return Faults(argv[2]);
    if (!strcmp(verb, "log")) {
        for (const std::string &line : linksim::ReadCallLog())
            printf("%s\n", line.c_str());
        return 0;
    }
    return Usage();
}
