// Makes damaged copies of the setup program for tests:
//   resource_patch.exe EXE corrupt-digest INDEX   flips a bit of entry INDEX's digest
//                                                  in the package (RCDATA 100)
//   resource_patch.exe EXE spoil-picture          makes the background (BITMAP 101)
//                                                  unloadable
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
    std::fprintf(stderr, "usage: resource_patch.exe EXE corrupt-digest INDEX | spoil-picture\n");
    return 2;
}
