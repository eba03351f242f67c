// Writes the seed corpora of the fuzz targets: a few small packages made with the
// real chain, so that the package fuzzer starts from images whose entries verify,
// and small programs carrying a package for the PE fuzzer, a PE32 and a
// signed-looking PE32+.
//   make_seed_corpus <package seeds> <program seeds> [<folder to create>...]
#include "tests/native/support/package_files.h"
#include "tests/native/support/pe_image.h"

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
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <package seeds> <program seeds> [<folder>...]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path seeds = argv[1];
    const std::filesystem::path programs = argv[2];
    for (int i = 1; i < argc; ++i) {
        std::filesystem::create_directories(argv[i]);
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

    PeImage signed64 = MakePeImage(edges, true);
    AppendCertificateTable(signed64);
    const bool ok = Write(seeds / "edges", edges) && Write(seeds / "tricky_names", tricky) &&
                    Write(programs / "pe32", MakePeImage(edges).bytes) &&
                    Write(programs / "signed_pe32_plus", signed64.bytes);
    return ok ? 0 : 1;
}
