// The real twin started by its command line, judged by full 32-bit exit codes.
#include "common/product_names.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

namespace {

using namespace mossgate;
using namespace mossgate::testing;

constexpr DWORD kStartTimeoutMs = 20000;

TEST(SingleInstance, SecondCopyEndsAtOnceAndTheFirstKeepsRunning) {
    ChildProcess first;
    ASSERT_TRUE(StartProgram(TwinPath(), "-h", first));
    HWND window = WaitForProcessWindow(first.id, WINDOW_CLASS_NAME, kStartTimeoutMs);
    ASSERT_NE(window, nullptr) << "the hidden first copy made no window";
    EXPECT_FALSE(IsWindowVisible(window)) << "-h must keep the window hidden";

    ChildProcess second;
    ASSERT_TRUE(StartProgram(TwinPath(), "-h -i", second));
    EXPECT_EQ(WaitForExit(second, kStartTimeoutMs), std::optional<int32_t>(-1));
    EXPECT_EQ(WaitForProcessWindow(second.id, WINDOW_CLASS_NAME, 0), nullptr);

    EXPECT_EQ(WaitForExit(first, 1000), std::nullopt) << "the first copy was disturbed";
    ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_EQ(WaitForExit(first, kStartTimeoutMs), std::optional<int32_t>(0));
}

TEST(SingleInstance, ANewCopyRunsOnceTheFirstHasEnded) {
    for (int round = 0; round < 2; ++round) {
        ChildProcess copy;
        ASSERT_TRUE(StartProgram(TwinPath(), "-H", copy));
        HWND window = WaitForProcessWindow(copy.id, WINDOW_CLASS_NAME, kStartTimeoutMs);
        ASSERT_NE(window, nullptr);
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(WaitForExit(copy, kStartTimeoutMs), std::optional<int32_t>(0));
    }
}

} // namespace
