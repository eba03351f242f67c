// The control panel stand-ins: a visible window with their texts, ending with exit
// code 0 when closed.
#include "tests/windows/standins/standin_harness.h"

#include <gtest/gtest.h>

namespace {

using namespace mossgate::testing;

std::string WindowText(HWND window) {
    char text[512] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForVisibleWindow(DWORD processId) {
    const ULONGLONG deadline = GetTickCount64() + kRunTimeoutMs;
    do {
        Search search{processId, nullptr};
        EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM parameter) {
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(child);
    return TRUE;
}

std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::string PanelPath(char driver) {
    return BesideTests(driver == 'C' ? "MOSSGATE_C_ControlPanel.exe"
                                     : "MOSSGATE_D_ControlPanel.exe");
}

TEST(ControlPanel, ShowsItsTitleAndTextsAndEndsWithZeroWhenClosed) {
    for (const char driver : {'C', 'D'}) {
        std::string name = "MOSSGATE ";
        name += driver;
        std::string description = "Stand-in control panel of the ";
        description.append(name).append(" virtual audio driver");
        SCOPED_TRACE(name);
        ChildProcess panel;
        ASSERT_TRUE(StartProgram(PanelPath(driver), "", panel));
        HWND window = WaitForVisibleWindow(panel.id);
        ASSERT_NE(window, nullptr) << "no visible window";
        EXPECT_EQ(WindowText(window), name + " Control Panel");
        bool described = false;
        for (HWND child : Children(window)) {
            described = described || WindowText(child) == description;
        }
        EXPECT_TRUE(described) << "the window does not say which driver it stands for";

        ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
        EXPECT_EQ(WaitForExit(panel, kRunTimeoutMs), std::optional<int32_t>(0));
    }
}

TEST(ControlPanel, ItsCloseButtonEndsItWithZero) {
    ChildProcess panel;
    ASSERT_TRUE(StartProgram(PanelPath('D'), "", panel));
    HWND window = WaitForVisibleWindow(panel.id);
    ASSERT_NE(window, nullptr);
    HWND button = FindWindowExA(window, nullptr, "Button", "Close");
    ASSERT_NE(button, nullptr);
    PostMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForExit(panel, kRunTimeoutMs), std::optional<int32_t>(0));
}

TEST(ControlPanel, RecordsItsStartWhenAskedTo) {
    const std::string log = TemporaryFilePath("panel.log");
    ScopedVariable logVariable("MOSSGATE_STANDIN_LOG", log);
    const std::string commandLine = Quoted(PanelPath('C'));
    ChildProcess panel;
    ASSERT_TRUE(StartBare(PanelPath('C'), commandLine, InstallFolder(), panel));
    HWND window = WaitForVisibleWindow(panel.id);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(panel, kRunTimeoutMs), std::optional<int32_t>(0));
    EXPECT_EQ(ReadWholeFile(log),
              PanelPath('C') + "\t" + commandLine + "\t" + InstallFolder() + "\r\n");
}

} // namespace
