// Writes the fuzz target's seed corpus: a few small packages made with the real
// chain, so that the fuzzer starts from images whose entries verify.
//   make_seed_corpus <seed directory> [<corpus directory to create>]
#include "tests/native/support/package_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace mossgate;
using namespace mossgate::testing;

bool Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <seed directory> [<corpus directory>]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path seeds = argv[1];
    std::filesystem::create_directories(seeds);
    if (argc > 2) {
        std::filesystem::create_directories(argv[2]);
    }

    // Entries at the edges of the key cycle first, then small payloads.
    const std::vector<uint8_t> edges = WritePackage(PatternFiles({15, 16, 17, 1}));

    // Names a reader has to refuse or accept with care (names are outside the
    // chain, so they are changed after writing), and bytes after the payloads.
    std::vector<uint8_t> tricky = WritePackage(PatternFiles({8, 24, 3, 40, 5, 16}));
    const char* names[] = {"sub\\file.txt", "..\\up.txt", "C:drive.txt", "a/../b", "a..b", "/abs"};
    for (size_t i = 0; i < sizeof(names) / sizeof(names[0]); ++i) {
        PackageEntry entry = EntryAt(tricky, i);
        std::snprintf(entry.name, sizeof(entry.name), "%s", names[i]);
        StoreEntry(tricky, i, entry);
    }
    tricky.resize(tricky.size() + 64, 0);

    const bool ok = Write(seeds / "edges", edges) && Write(seeds / "tricky_names", tricky);
    return ok ? 0 : 1;
}
