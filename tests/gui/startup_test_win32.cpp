// ZELO.exe as the operator meets it: started from another working directory
// over an empty data directory, closed by the menu or the window's close box.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "resources/resource_ids.h"
#include "tests/gui/zelo_process_win32.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

class ZeloStartup : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(programDir);
        fs::create_directories(workDir);
        fs::copy_file(test::testProgramDirectory() / "ZELO.exe", programDir / "ZELO.exe");
    }

    // Starts the program and waits for its main window.
    HWND start() {
        if (!process.start(programDir / "ZELO.exe", workDir)) return nullptr;
        return process.waitForWindow("ZELO");
    }

    // The question box the process shows, waited for; its caption.
    HWND waitForQuestion(std::string& caption) {
        HWND box = process.waitForWindow("#32770", 10000);
        char text[256] = {};
        if (box) GetWindowTextA(box, text, sizeof text);
        caption = text;
        return box;
    }

    std::string ini() const { return (programDir / "ZELO.INI").string(); }

    test::TempDir dir;
    fs::path programDir = dir.path() / "program";
    fs::path workDir = dir.path() / "elsewhere";
    test::ZeloProcess process;
};

TEST_F(ZeloStartup, QuitCommandEndsWithCodeZeroAndWritesOnlyPosition) {
    HWND main = start();
    ASSERT_NE(main, nullptr);
    char title[64] = {};
    GetWindowTextA(main, title, sizeof title);
    EXPECT_STREQ(title, "ZELO");
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 500);

    PostMessageA(main, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_EQ(process.waitForExit(), 0);
    EXPECT_EQ(readBytes(ini()), "[ZELO]\r\nPosition=" + std::to_string(r.top) + " " +
                                    std::to_string(r.bottom) + " " + std::to_string(r.left) +
                                    " " + std::to_string(r.right) + "\r\n");
    EXPECT_TRUE(fs::is_empty(workDir));  // nothing lands in the working directory
}

TEST_F(ZeloStartup, SavedRectangleIsRestoredAndOtherKeysKept) {
    writeBytes(ini(), "[ZELO]\r\nPosition=40 440 60 560\r\nLanguage=1\r\n");
    HWND main = start();
    ASSERT_NE(main, nullptr);
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.right, 560);
    EXPECT_EQ(r.bottom, 440);
    PostMessageA(main, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_EQ(process.waitForExit(), 0);
    EXPECT_EQ(readBytes(ini()), "[ZELO]\r\nPosition=40 440 60 560\r\nLanguage=1\r\n");
}

TEST_F(ZeloStartup, CloseAsksAndNoKeepsTheProgramRunningWithNothingSaved) {
    writeBytes(ini(), "[ZELO]\r\nLanguage=1\r\n");
    HWND main = start();
    ASSERT_NE(main, nullptr);

    PostMessageA(main, WM_CLOSE, 0, 0);
    std::string caption;
    HWND box = waitForQuestion(caption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(caption, "Confirmation of quit.");
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(process.waitForExit(1500), -1);  // still running
    EXPECT_EQ(readBytes(ini()), "[ZELO]\r\nLanguage=1\r\n");

    PostMessageA(main, WM_CLOSE, 0, 0);
    box = waitForQuestion(caption);
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(process.waitForExit(), 0);
    EXPECT_NE(readBytes(ini()).find("Position="), std::string::npos);
}

TEST_F(ZeloStartup, QuitSettingOffClosesWithoutAQuestion) {
    writeBytes(ini(), "[MessageBox]\r\nQuit=0\r\n");
    HWND main = start();
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.waitForExit(), 0);
    EXPECT_NE(readBytes(ini()).find("Position="), std::string::npos);
}

}  // namespace
}  // namespace zelo
