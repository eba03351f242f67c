#include "procedures/portable/restart_plans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace mossgate;

// A list as the registry holds it: every text with its zero, then the empty text.
std::u16string List(const std::vector<std::u16string>& texts, bool withEnd = true) {
    std::u16string list;
    for (const std::u16string& text : texts) {
        list += text;
        list.push_back(u'\0');
    }
    if (withEnd) {
        list.push_back(u'\0');
    }
    return list;
}

bool DropsOwn(const char16_t* source, size_t cchSource, const void*) {
    const std::u16string text(source, cchSource);
    return text == u"\\??\\C:\\PF\\KS\\Pack" || text == u"\\??\\C:\\PF\\KS\\Pack\\setup.exe";
}

struct Edited {
    RestartPlanEdit edit;
    std::u16string out;
};

// The units of a text and nothing after them, on the heap: a unit read past them
// is an overflow (a string's own buffer would hide it behind its terminator).
std::unique_ptr<char16_t[]> ExactCopy(const std::u16string& text) {
    std::unique_ptr<char16_t[]> copy(new char16_t[text.size()]);
    std::copy(text.begin(), text.end(), copy.get());
    return copy;
}

Edited Edit(const std::u16string& list, size_t cchOut = 256) {
    const std::unique_ptr<char16_t[]> exactList = ExactCopy(list);
    const std::unique_ptr<char16_t[]> out = ExactCopy(std::u16string(cchOut, u'#'));
    const RestartPlanEdit edit =
        DropPlannedDeletions(exactList.get(), list.size(), out.get(), cchOut, DropsOwn, nullptr);
    return {edit, std::u16string(out.get(), edit.wellFormed ? edit.cchOut : 0)};
}

TEST(RestartPlans, ExactlyTheOwnDeletionsGoAndEverythingElseStaysInOrder) {
    const std::u16string list = List({u"\\??\\C:\\a.tmp", u"", u"\\??\\C:\\PF\\KS\\Pack\\setup.exe",
                                      u"", u"\\??\\C:\\PF\\KS\\Pack", u"!\\??\\C:\\renamed",
                                      u"\\??\\C:\\PF\\KS\\Pack", u"", u"\\??\\C:\\b.tmp", u""});
    const Edited edited = Edit(list);
    ASSERT_TRUE(edited.edit.wellFormed);
    EXPECT_EQ(edited.edit.pairsDropped, 2u);
    EXPECT_EQ(edited.edit.pairsKept, 3u);
    // A rename of the own folder is no deletion: it stays.
    EXPECT_EQ(edited.out, List({u"\\??\\C:\\a.tmp", u"", u"\\??\\C:\\PF\\KS\\Pack",
                                u"!\\??\\C:\\renamed", u"\\??\\C:\\b.tmp", u""}));
}

TEST(RestartPlans, NothingLeftGivesNothingAndNothingOwnChangesNothing) {
    Edited edited =
        Edit(List({u"\\??\\C:\\PF\\KS\\Pack\\setup.exe", u"", u"\\??\\C:\\PF\\KS\\Pack", u""}));
    ASSERT_TRUE(edited.edit.wellFormed);
    EXPECT_EQ(edited.edit.cchOut, 0u);
    EXPECT_EQ(edited.edit.pairsKept, 0u);

    const std::u16string others = List({u"\\??\\C:\\a.tmp", u""});
    edited = Edit(others);
    ASSERT_TRUE(edited.edit.wellFormed);
    EXPECT_EQ(edited.edit.pairsDropped, 0u);
    EXPECT_EQ(edited.out, others);
    // Without its final empty text the list reads the same.
    EXPECT_EQ(Edit(List({u"\\??\\C:\\a.tmp", u""}, false)).out, others);
    EXPECT_TRUE(Edit(u"").edit.wellFormed);
}

// The restart carries out the pairs up to the first empty source text and reads
// nothing after it: only that part is edited, and every unit from that text on is
// kept exactly, whatever it holds.
TEST(RestartPlans, OnlyThePairsTheRestartReadsAreEditedTheRestIsKeptExactly) {
    const std::u16string head =
        List({u"\\??\\C:\\a.tmp", u"", u"\\??\\C:\\PF\\KS\\Pack\\setup.exe", u""}, false);
    const std::u16string edited = List({u"\\??\\C:\\a.tmp", u""}, false);
    const std::u16string own = u"\\??\\C:\\PF\\KS\\Pack";
    const std::u16string tails[] = {
        std::u16string(1, u'\0'),
        std::u16string(3, u'\0'),
        u'\0' + own + u'\0' + u'\0' + u'\0',
        u'\0' + own,
    };
    for (const std::u16string& tail : tails) {
        const Edited e = Edit(head + tail);
        ASSERT_TRUE(e.edit.wellFormed) << tail.size();
        EXPECT_EQ(e.edit.pairsDropped, 1u);
        EXPECT_EQ(e.out, edited + tail) << tail.size();
    }
    // Nothing left before the empty text: what follows it stays all the same.
    const std::u16string after = u'\0' + own + u'\0' + u'\0';
    EXPECT_EQ(Edit(List({own, u""}, false) + after).out, after);
    EXPECT_EQ(Edit(List({own, u""}, false) + std::u16string(4, u'\0')).edit.cchOut, 0u);
}

TEST(RestartPlans, AListNotReadWholeIsLeftAlone) {
    const std::u16string good = List({u"\\??\\C:\\a.tmp", u"", u"\\??\\C:\\PF\\KS\\Pack", u""});
    // A text without its zero; a source without a target.
    EXPECT_FALSE(Edit(good.substr(0, 5)).edit.wellFormed);
    EXPECT_FALSE(Edit(List({u"\\??\\C:\\a.tmp"}, false)).edit.wellFormed);
    // A result that would not fit its buffer is not cut.
    EXPECT_FALSE(Edit(good, 5).edit.wellFormed);
    EXPECT_TRUE(Edit(good, 15).edit.wellFormed);
    EXPECT_FALSE(Edit(good, 14).edit.wellFormed);
    EXPECT_FALSE(DropPlannedDeletions(nullptr, 0, nullptr, 0, DropsOwn, nullptr).wellFormed);
}

// Each text as an exact copy: in the list the next text follows it, where a read
// past its end would go unseen.
TEST(RestartPlans, OnlyDrivePathsInNativeFormAreNamedAndNothingPastTheTextIsRead) {
    const std::u16string fifteenUnits = u"C:\\" + std::u16string(12, u'a');
    const struct {
        std::u16string name;
        std::u16string path; // empty: not a drive path
    } cases[] = {
        {u"\\??\\C:\\", u"C:\\"},
        {u"\\??\\C:\\PF\\KS\\Pack", u"C:\\PF\\KS\\Pack"},
        {u"\\??\\" + fifteenUnits, fifteenUnits},
        {u"\\??\\" + fifteenUnits + u'a', u""}, // one unit more than fits with its zero
        {u"\\??\\", u""},
        {u"\\??\\C", u""},
        {u"\\??\\C:", u""},
        {u"\\??\\UNC\\server\\share", u""},
        {u"\\\\?\\C:\\a.tmp", u""},
        {u"C:\\a.tmp", u""},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<char16_t[]> name = ExactCopy(c.name);
        char16_t path[16];
        const bool named = DrivePathOfNativeName(name.get(), c.name.size(), path, 16);
        EXPECT_EQ(named, !c.path.empty()) << c.name.size();
        if (named) {
            EXPECT_EQ(std::u16string(path), c.path);
        }
    }
}

} // namespace
