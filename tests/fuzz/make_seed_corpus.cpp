// Writes the fuzz target's seed corpus: a few small packages made with the real
// chain, so that the fuzzer starts from images whose entries verify.
//   make_seed_corpus <seed directory> [<corpus directory to create>]
#include "tests/native/support/synthetic_package.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace mossgate::synthetic;

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

    // Three entries at the edges of the key cycle, the last ending at the image end.
    const std::vector<uint8_t> three = BuildPackage(PatternEntries({15, 16, 17}));

    // All 61 entries in use, small payloads.
    std::vector<size_t> sizes;
    for (size_t i = 0; i < mossgate::PACKAGE_ENTRY_COUNT; ++i) {
        sizes.push_back(1 + (i * 7) % 40);
    }
    const std::vector<uint8_t> full = BuildPackage(PatternEntries(sizes));

    // Names a reader has to refuse or accept with care, and bytes after the payloads.
    std::vector<PlainEntry> named = PatternEntries({8, 24, 3, 40, 5, 16});
    const char* names[] = {"sub\\file.txt", "..\\up.txt", "C:drive.txt", "a/../b", "a..b", "/abs"};
    for (size_t i = 0; i < named.size(); ++i) {
        named[i].name = names[i];
    }
    const std::vector<uint8_t> tricky = BuildPackage(named, 64);

    const bool ok = Write(seeds / "three_entries", three) && Write(seeds / "all_entries", full) &&
                    Write(seeds / "tricky_names", tricky);
    return ok ? 0 : 1;
}
