#include "env/portable/place_rule.h"

#include <gtest/gtest.h>

namespace {

using namespace mossgate;

TEST(PlaceRule, AtOrBelowGoesByWholeComponents) {
    const struct {
        const char* path;
        const char* root;
        bool holds;
    } cases[] = {
        {"C:\\Program Files", "C:\\Program Files", true},
        {"C:\\PROGRAM FILES\\KS\\Pack", "c:\\program files", true},
        {"C:\\Program Files\\", "C:\\Program Files\\\\", true},
        {"C:\\Program Files (x86)\\KS", "C:\\Program Files", false},
        {"C:\\Program", "C:\\Program Files", false},
        {"C:\\Users\\ann", "C:\\Users\\ann\\AppData", false},
        {"D:\\Anything", "D:\\", true},
        {"C:\\x", "", false},
        {"C:\\x", "\\", false},
        {"", "C:\\x", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAtOrBelow(c.path, c.root), c.holds) << c.path << " in " << c.root;
    }
    EXPECT_FALSE(IsAtOrBelow(nullptr, "C:\\"));
    EXPECT_FALSE(IsAtOrBelow("C:\\", nullptr));
}

TEST(PlaceRule, TheUsersFoldersWinAndUnknownPlacesAreTheUsers) {
    const char* const user[] = {"C:\\USERS\\ANN", "C:\\WINDOWS\\TEMP", ""};
    const char* const administrators[] = {
        "C:\\PROGRAM FILES", "C:\\WINDOWS", nullptr,
        "C:\\PROGRAMDATA\\MICROSOFT\\WINDOWS\\START MENU\\PROGRAMS"};
    const PlaceRoots roots = {user, 3, administrators, 4};
    const struct {
        const char* path;
        PlaceOwner owner;
    } cases[] = {
        {"C:\\PROGRAM FILES\\KS\\MOSSGATE_CD_PACK", PlaceOwner::AdministratorsOnly},
        {"C:\\PROGRAMDATA\\MICROSOFT\\WINDOWS\\START MENU\\PROGRAMS\\KESTRINE",
         PlaceOwner::AdministratorsOnly},
        {"C:\\WINDOWS\\SYSTEM32", PlaceOwner::AdministratorsOnly},
        {"C:\\WINDOWS\\TEMP\\MOSSGATE", PlaceOwner::OrdinaryUsers},
        {"C:\\USERS\\ANN\\APPDATA\\LOCAL\\TEMP", PlaceOwner::OrdinaryUsers},
        {"C:\\PROGRAMDATA\\ELSEWHERE", PlaceOwner::OrdinaryUsers},
        {"D:\\PROGRAM FILES", PlaceOwner::OrdinaryUsers},
        {"", PlaceOwner::OrdinaryUsers},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OwnerOfPlace(c.path, roots), c.owner) << c.path;
    }
    // Program Files moved into a user's profile is that user's.
    const char* const movedInto[] = {"C:\\USERS\\ANN"};
    const char* const programFiles[] = {"C:\\USERS\\ANN\\PF"};
    EXPECT_EQ(OwnerOfPlace("C:\\USERS\\ANN\\PF\\KS", {movedInto, 1, programFiles, 1}),
              PlaceOwner::OrdinaryUsers);
    EXPECT_EQ(OwnerOfPlace("C:\\PROGRAM FILES", {nullptr, 0, nullptr, 0}),
              PlaceOwner::OrdinaryUsers);
}

} // namespace
