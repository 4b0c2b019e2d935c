// ZELO.exe as the operator meets it: a process of its own, started from
// another working directory, its close question a real message box; its
// files stay beside the program, and a second one over them is refused.
// The program's folder has a name the ANSI code page cannot hold (Greek,
// and a character beyond the basic plane), which zeloctl.exe takes as --dir.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "resources/resource_ids.h"
#include "tests/gui/zelo_process_win32.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

namespace fs = std::filesystem;

TEST(ZeloStartup, CloseAsksInABoxAndQuittingWritesOnlyThePositionBesideTheProgram) {
    test::TempDir dir;
    const fs::path program =
        dir.path() / L"\x03a0\x03c1\x03cc\x03b3\x03c1\x03b1\x03bc\x03bc\x03b1 \xd83d\xdd0c";
    const fs::path elsewhere = dir.path() / "elsewhere";
    for (const fs::path& d : {program, elsewhere}) fs::create_directories(d);
    for (const char* exe : {"ZELO.exe", "zeloctl.exe"})
        fs::copy_file(test::testProgramDirectory() / exe, program / exe);
    const auto bytes = [&](const char* name) {
        std::ifstream in(program / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    std::ofstream(program / "ZELO.INI", std::ios::binary) << "[ZELO]\r\nLanguage=1\r\n";
    test::ZeloProcess ctl;
    ASSERT_TRUE(ctl.start(program / "zeloctl.exe", dir.path(),
                          L"--dir \"" + program.wstring() + L"\" add-group 0 \x039b\x03b1\x03b2"));
    EXPECT_EQ(ctl.waitForExit(), 0);
    // The name is stored in the file's own code page: Greek is in CP932.
    const std::string directory = bytes("ZELO_DIR.DAT"), ini = bytes("ZELO.INI");
    EXPECT_NE(directory.find("\t\x83\xa9\x83\xbf\x83\xc0\t"), std::string::npos) << directory;

    test::ZeloProcess process;
    ASSERT_TRUE(process.start(program / "ZELO.exe", elsewhere));
    HWND main = process.waitForWindow("ZELO");
    ASSERT_NE(main, nullptr);
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, 800);  // no saved rectangle: the default size
    EXPECT_EQ(r.bottom - r.top, 500);

    // A second program over the same files says who holds them and ends.
    test::ZeloProcess second;
    ASSERT_TRUE(second.start(program / "ZELO.exe", elsewhere));
    HWND refusal = second.waitForWindow("#32770", 10000);
    ASSERT_NE(refusal, nullptr);
    char said[512] = {};
    GetDlgItemTextA(refusal, 0xFFFF, said, sizeof said);  // a message box's text
    EXPECT_NE(std::string(said).find("is in use by ZELO.exe (process " +
                                     std::to_string(process.pid()) + ")"),
              std::string::npos)
        << said;
    PostMessageA(refusal, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(second.waitForExit(), 0);
    EXPECT_EQ(second.findWindow("ZELO"), nullptr);
    EXPECT_TRUE(process.running());

    for (const int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDNO ? "No" : "Yes");
        PostMessageA(main, WM_CLOSE, 0, 0);
        HWND box = process.waitForWindow("#32770", 10000);
        ASSERT_NE(box, nullptr);
        char caption[64] = {};
        GetWindowTextA(box, caption, sizeof caption);
        EXPECT_STREQ(caption, "Confirmation of quit.");
        PostMessageA(box, WM_COMMAND, answer, 0);
        EXPECT_EQ(process.waitForExit(answer == IDNO ? 1500 : 20000), answer == IDNO ? -1 : 0);
    }
    // What it read it kept, and its window's place went beside it.
    EXPECT_EQ(bytes("ZELO.INI"), ini + "Position=" + std::to_string(r.top) + " " +
                                     std::to_string(r.bottom) + " " + std::to_string(r.left) + " " +
                                     std::to_string(r.right) + "\r\n");
    EXPECT_EQ(bytes("ZELO_DIR.DAT"), directory);
    EXPECT_TRUE(fs::is_empty(elsewhere));  // nothing lands in the working directory
}

}  // namespace
}  // namespace zelo
