// Makes damaged copies of the setup program for tests:
//   resource_patch.exe EXE corrupt-digest INDEX   flips a bit of entry INDEX's digest
//                                                  in the package (RCDATA 100)
//   resource_patch.exe EXE spoil-picture          makes the background (BITMAP 101)
//                                                  unloadable
//   resource_patch.exe EXE inflate-package        makes the resource directory claim
//                                                  64 MiB more package than the file holds
// EXE is changed in place; work on a copy.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr WORD ENGLISH_US = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr size_t ENTRY_BYTES = 156;
constexpr size_t DIGEST_OFFSET = 136;

std::vector<char> ReadPackage(const char* exe) {
    std::vector<char> bytes;
    HMODULE module = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        return bytes;
    }
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(10));
    if (found != nullptr) {
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        if (data != nullptr) {
            bytes.assign(data, data + SizeofResource(module, found));
        }
    }
    FreeLibrary(module);
    return bytes;
}

bool Replace(const char* exe, LPCSTR type, int id, WORD language, void* data, DWORD size) {
    HANDLE update = BeginUpdateResourceA(exe, FALSE);
    if (update == nullptr) {
        return false;
    }
    if (!UpdateResourceA(update, type, MAKEINTRESOURCEA(id), language, data, size)) {
        EndUpdateResourceA(update, TRUE);
        return false;
    }
    return EndUpdateResourceA(update, FALSE) != FALSE;
}

// The file offset of RCDATA 100's size field: a module mapped as a data file is
// the file itself, and the resource handle points at its data entry there.
long PackageSizeOffset(const char* exe) {
    HMODULE module = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        return -1;
    }
    const auto* base = reinterpret_cast<const char*>(reinterpret_cast<ULONG_PTR>(module) & ~3);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(10));
    const long offset =
        found == nullptr ? -1 : static_cast<long>(reinterpret_cast<const char*>(found) - base) + 4;
    FreeLibrary(module);
    return offset;
}

bool InflatePackage(const char* exe) {
    const long offset = PackageSizeOffset(exe);
    FILE* file = offset < 0 ? nullptr : std::fopen(exe, "r+b");
    DWORD size = 0;
    bool done = file != nullptr && std::fseek(file, offset, SEEK_SET) == 0 &&
                std::fread(&size, sizeof(size), 1, file) == 1;
    size += 64u << 20;
    done = done && std::fseek(file, offset, SEEK_SET) == 0 &&
           std::fwrite(&size, sizeof(size), 1, file) == 1;
    if (file != nullptr) {
        done = std::fclose(file) == 0 && done;
    }
    return done;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[2], "corrupt-digest") == 0) {
        std::vector<char> package = ReadPackage(argv[1]);
        const size_t index = static_cast<size_t>(std::atoi(argv[3]));
        const size_t at = index * ENTRY_BYTES + DIGEST_OFFSET;
        if (index >= 61 || package.size() <= at) {
            std::fprintf(stderr, "no package entry %zu in %s\n", index, argv[1]);
            return 1;
        }
        package[at] = static_cast<char>(package[at] ^ 0x01);
        return Replace(argv[1], MAKEINTRESOURCEA(10), 100, ENGLISH_US, package.data(),
                       static_cast<DWORD>(package.size()))
                   ? 0
                   : 1;
    }
    if (argc == 3 && std::strcmp(argv[2], "spoil-picture") == 0) {
        // Wine's UpdateResource does not delete; bytes that are no bitmap do as well.
        char notABitmap[4] = {};
        return Replace(argv[1], MAKEINTRESOURCEA(2), 101, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                       notABitmap, sizeof(notABitmap))
                   ? 0
                   : 1;
    }
    if (argc == 3 && std::strcmp(argv[2], "inflate-package") == 0) {
        return InflatePackage(argv[1]) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: resource_patch.exe EXE corrupt-digest INDEX | spoil-picture | "
                         "inflate-package\n");
    return 2;
}
