#include "env/places.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/product_names.h"
#include "common/win32/registry.h"
#include "env/folders.h"

#include <shlobj.h>

namespace mossgate {

namespace {

// A full, long, upper-case spelling, so that short names, "..", and case do not
// make one folder look like another.
bool Normalize(const char* path, char (&out)[PATH_UNITS]) {
    out[0] = '\0';
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    const DWORD cchFull = GetFullPathNameA(path, PATH_UNITS, out, nullptr);
    if (cchFull == 0 || cchFull >= PATH_UNITS) {
        out[0] = '\0';
        return false;
    }
    // A path that does not exist yet keeps its full spelling.
    char longer[PATH_UNITS];
    const DWORD cchLong = GetLongPathNameA(out, longer, PATH_UNITS);
    if (cchLong != 0 && cchLong < PATH_UNITS) {
        CopyText(out, sizeof(out), longer);
    }
    CharUpperBuffA(out, static_cast<DWORD>(BoundedLength(out, PATH_UNITS)));
    return true;
}

struct Root {
    char path[PATH_UNITS];
};

void NormalizeShellFolder(int folderId, Root& root) {
    char folder[PATH_UNITS] = "";
    if (!FindShellFolder(folderId, folder) || !Normalize(folder, root.path)) {
        root.path[0] = '\0';
    }
}

void NormalizeTempFolder(Root& root) {
    char folder[PATH_UNITS] = "";
    const DWORD cch = GetTempPathA(PATH_UNITS, folder);
    if (cch == 0 || cch >= PATH_UNITS || !Normalize(folder, root.path)) {
        root.path[0] = '\0';
    }
}

void NormalizeUserProgramsFolder(Root& root) {
    char folder[PATH_UNITS] = "";
    if (ReadUserStringValue(SHELL_FOLDERS_KEY, PROGRAMS_VALUE, folder, sizeof(folder)) != 1 ||
        !Normalize(folder, root.path)) {
        root.path[0] = '\0';
    }
}

// The Windows folder and, below it, its temporary folder, which ordinary users
// can write in.
void NormalizeWindowsFolders(Root& windows, Root& windowsTemp) {
    char folder[PATH_UNITS] = "";
    const UINT cch = GetWindowsDirectoryA(folder, PATH_UNITS);
    char temp[PATH_UNITS] = "";
    if (cch == 0 || cch >= PATH_UNITS || !Normalize(folder, windows.path) ||
        !JoinPath(temp, sizeof(temp), windows.path, "TEMP") || !Normalize(temp, windowsTemp.path)) {
        windows.path[0] = '\0';
        windowsTemp.path[0] = '\0';
    }
}

} // namespace

PlaceOwner OwnerOfFolder(const char* folder) {
    char path[PATH_UNITS];
    if (!Normalize(folder, path)) {
        return PlaceOwner::OrdinaryUsers;
    }
    Root profile, localData, roamingData, temp, userPrograms, windowsTemp;
    NormalizeShellFolder(CSIDL_PROFILE, profile);
    NormalizeShellFolder(CSIDL_LOCAL_APPDATA, localData);
    NormalizeShellFolder(CSIDL_APPDATA, roamingData);
    NormalizeTempFolder(temp);
    NormalizeUserProgramsFolder(userPrograms);
    Root programFiles, programFiles32, commonPrograms, windows;
    NormalizeShellFolder(CSIDL_PROGRAM_FILES, programFiles);
    NormalizeShellFolder(CSIDL_PROGRAM_FILESX86, programFiles32);
    NormalizeShellFolder(CSIDL_COMMON_PROGRAMS, commonPrograms);
    NormalizeWindowsFolders(windows, windowsTemp);

    const char* const userWritable[] = {profile.path, localData.path,    roamingData.path,
                                        temp.path,    userPrograms.path, windowsTemp.path};
    const char* const administratorsOnly[] = {programFiles.path, programFiles32.path,
                                              commonPrograms.path, windows.path};
    const PlaceRoots roots = {userWritable, sizeof(userWritable) / sizeof(userWritable[0]),
                              administratorsOnly,
                              sizeof(administratorsOnly) / sizeof(administratorsOnly[0])};
    return OwnerOfPlace(path, roots);
}

LinkRule LinkRuleIn(PlaceOwner owner) {
    return owner == PlaceOwner::AdministratorsOnly ? LinkRule::Follow : LinkRule::Refuse;
}

Leftovers LeftoversIn(PlaceOwner owner) {
    return owner == PlaceOwner::AdministratorsOnly ? Leftovers::GoAtRestart : Leftovers::Stay;
}

} // namespace mossgate
