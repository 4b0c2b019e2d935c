// The unpacked Windows package run as an operator runs it: zeloctl.exe in
// its own folder, names with Japanese letters through the command line,
// and ZELO.exe started from the folder and quit again.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/gui/zelo_process_win32.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

namespace fs = std::filesystem;

fs::path packageFolder() {
    return fs::weakly_canonical(test::testProgramDirectory() / ZELO_PACKAGE_FOLDER);
}

std::set<std::string> filesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

std::wstring wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string withoutCr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

struct Result {
    long code = -1;
    std::string out;
    std::string err;
};

// zeloctl.exe from the package with the folder as its working directory;
// the arguments go through the wide command line, as a console passes them;
// its output and errors go to files of `capture`.
bool startZeloctl(const std::vector<std::string>& args, const test::TempDir& capture,
                  test::ZeloProcess& process, bool shareConsole = false) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto open = [&](const char* name) {
        return CreateFileA(capture.file(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE out = open("out.txt"), err = open("err.txt");
    std::wstring arguments;
    for (const std::string& a : args)
        arguments += (arguments.empty() ? L"\"" : L" \"") + wide(a) + L"\"";
    const bool started = process.start(packageFolder() / "zeloctl.exe", packageFolder(), arguments,
                                       out, err, shareConsole);
    CloseHandle(out);
    CloseHandle(err);
    return started;
}

// The same to its end (killed after 30 s).
Result zeloctl(const std::vector<std::string>& args) {
    test::TempDir capture;
    test::ZeloProcess process;
    Result r;
    if (startZeloctl(args, capture, process)) r.code = process.waitForExit(30000);
    r.out = withoutCr(test::readBytes(capture.file("out.txt")));
    r.err = withoutCr(test::readBytes(capture.file("err.txt")));
    return r;
}

TEST(Package, ZeloctlTreeReadsItsOwnFolderAndWritesNothing) {
    const std::set<std::string> before = filesIn(packageFolder());
    ASSERT_EQ(before.count("zeloctl.exe"), 1u);
    const Result r = zeloctl({"tree"});
    ASSERT_EQ(r.code, 0) << r.err;
    // The root group only: level 0, id 0, then its name.
    EXPECT_EQ(r.out.rfind("0\t0\t", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_EQ(filesIn(packageFolder()), before);
}

TEST(Package, ZeloctlTakesAndPrintsJapaneseNamesAsUtf8) {
    test::TempDir data;
    const std::string dir = data.path().string();
    const std::string headOffice = "\xE6\x9C\xAC\xE7\xA4\xBE";  // UTF-8 of the name
    Result r = zeloctl({"--dir", dir, "add-group", "0", headOffice});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    // Stored in the directory file as the desktop program reads it (CP932).
    EXPECT_NE(test::readBytes(data.file("ZELO_DIR.DAT")).find("\x96\x7B\x8E\xD0"),
              std::string::npos);
    r = zeloctl({"--dir", dir, "add-group", headOffice, "Lab"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = zeloctl({"--dir", dir, "tree"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\t1\t" + headOffice + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\t2\tLab\n"), std::string::npos) << r.out;
}

TEST(Package, ZeloExeStartsFromTheFolderAndQuits) {
    test::TempDir elsewhere;
    test::ZeloProcess zelo;
    ASSERT_TRUE(zelo.start(packageFolder() / "ZELO.exe", elsewhere.path()));
    HWND main = zelo.waitForWindow("ZELO");
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_EQ(zelo.waitForExit(), 0);
}

// Ctrl+C in listen's console ends it in order, as Ctrl+Break and the
// console's close do: exit 0, its list closed, the directory free again.
TEST(Package, ListenEndsInOrderOnCtrlC) {
    test::TempDir data, capture;
    const std::string dir = data.path().string();
    ASSERT_EQ(zeloctl({"--dir", dir, "add-group", "0", "Lab"}).code, 0);
    // A console of the test's own, which listen shares; the test outlives
    // the event.
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    const PHANDLER_ROUTINE outlive = [](DWORD) -> BOOL { return TRUE; };
    SetConsoleCtrlHandler(outlive, TRUE);
    test::ZeloProcess listen;
    ASSERT_TRUE(
        startZeloctl({"--dir", dir, "--json", "listen", "--port", "0", "--bind", "127.0.0.1"},
                     capture, listen, true));
    for (int waited = 0; waited < 20000 && test::readBytes(capture.file("err.txt")).empty();
         waited += 50)
        Sleep(50);
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    EXPECT_EQ(listen.waitForExit(30000), 0);
    EXPECT_EQ(withoutCr(test::readBytes(capture.file("out.txt"))), "[]\n");
    EXPECT_EQ(zeloctl({"--dir", dir, "add-group", "0", "Office"}).out, "2\n");
    SetConsoleCtrlHandler(outlive, FALSE);
    FreeConsole();
}

}  // namespace
}  // namespace zelo
