// Writes the factory default profile files into the folder given as the first argument.
// The remaining arguments are the file names the build expects; a mismatch with the program's
// own table fails the build instead of shipping a wrong set.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "kavrel/profiles/factory.h"
#include "kavrel/profiles/profile_file.h"
#include "kavrel/profiles/profile_kind.h"

int main(int argc, char** argv) {
    using namespace kavrel::profiles;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> <file name>...\n", argv[0]);
        return 2;
    }
    std::set<std::string> expected(argv + 2, argv + argc);
    std::set<std::string> known;
    for (const auto& f : defaultProfileFiles()) known.emplace(f.name);
    if (expected != known) {
        std::fprintf(stderr, "default file names given by the build differ from the program's table\n");
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    for (const auto& f : defaultProfileFiles()) {
        const auto body = factoryProfileBody(f.device, f.kind, f.variant);
        if (!WriteProfileFile(folder / std::string(f.name), body, kavrel::deviceCode(f.device))) {
            std::fprintf(stderr, "cannot write %s\n", (folder / std::string(f.name)).c_str());
            return 1;
        }
    }
    return 0;
}
