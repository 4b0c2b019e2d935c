// ZELO.exe as a monitoring station: a status report sent to its UDP port
// reaches the device's item file through the main window's timer, and its
// row in the device list.
#include <winsock.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "resources/resource_ids.h"
#include "tests/gui/screen_fixture_win32.h"
#include "tests/gui/zelo_process_win32.h"
#include "tests/status/report_builder.h"
#include "tests/status/udp_sender.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

namespace fs = std::filesystem;

// A UDP port nobody uses right now.
std::uint16_t freeUdpPort() {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    int len = sizeof sa;
    getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
    closesocket(s);
    return ntohs(sa.sin_port);
}

TEST(ZeloStation, AReportUpdatesTheItemFile) {
    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    test::TempDir dir;
    const fs::path program = dir.path() / "program";
    fs::create_directories(program);
    fs::copy_file(test::testProgramDirectory() / "ZELO.exe", program / "ZELO.exe");
    const std::uint16_t port = freeUdpPort();
    test::writeBytes((program / "ZELO.INI").string(),
                     "[ZELO]\r\nLanguage=1\r\n[Network]\r\nMSRPport=" + std::to_string(port) +
                         "\r\n[MessageBox]\r\nQuit=0\r\n");
    test::writeBytes((program / "ZELO_DIR.DAT").string(), "0\tRoot\t0\r\n1\tRack\t1\r\n");
    const std::string item = (program / "00000001.IDX").string();
    test::writeBytes(item,
                     "#ZELO ITEM FILE#VER 2\r\nhx\r\nHX-7200\r\n7\r\n3\r\n#10.0.0.1 17\r\n1 1111\r\n"
                     "1111\r\n00000000 00000000\r\n0090CC000001\r\n7394\r\nHX 00\r\n\r\n\r\n\r\n0\r\n-1\r\n");

    test::ZeloProcess process;
    ASSERT_TRUE(process.start(program / "ZELO.exe", dir.path()));
    HWND main = process.waitForWindow("ZELO");
    ASSERT_NE(main, nullptr);

    const test::Bytes report = test::ElementReport()
                                   .mac("0090CC000001")
                                   .master(1)
                                   .outlets({{1, 1}, {0, 0}, {1, 1}, {0, 0}})
                                   .build();
    test::UdpSender sender;
    std::string contents;
    for (int waited = 0; waited < 10000; waited += 100) {
        sender.send(port, report);
        Sleep(100);
        contents = test::readBytes(item);
        if (contents.find("\r\n1 1010\r\n") != std::string::npos) break;
    }
    EXPECT_NE(contents.find("\r\nhx\r\nHX-7200\r\n7\r\n3\r\n#10.0.0.1 17\r\n1 1010\r\n"),
              std::string::npos)
        << contents;

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.waitForExit(), 0);
    WSACleanup();
}

class ListStation : public test::ScreenFixture {};

TEST_F(ListStation, AReportRedrawsOnlyItsRowAndKeepsTheSelection) {
    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    const std::uint16_t port = freeUdpPort();
    ASSERT_NE(startSample(1, "[Network]\r\nMSRPport=" + std::to_string(port) + "\r\n"), nullptr);
    selectGroup(3);
    const int row = 4;
    ASSERT_EQ(cell(row, 0), "gv unit");
    setRowState(row, LVIS_SELECTED | LVIS_FOCUSED);
    const std::string before = cell(row, 3);
    pump();
    UpdateWindow(list());

    const test::Bytes report = test::ElementReport()
                                   .mac("0090CC0A1B2C")
                                   .master(1)
                                   .outlets({{1, 1}, {0, 0}, {0, 0}, {1, 1}})
                                   .temperature(true, 1, 3050)
                                   .build();
    test::UdpSender sender;
    for (int waited = 0; waited < 5000 && cell(row, 7) != "30"; waited += 50) {
        sender.send(port, report);
        Sleep(50);
        // Only the timer: what it leaves to be drawn is still to be seen.
        MSG msg;
        while (PeekMessageA(&msg, window().hwnd(), WM_TIMER, WM_TIMER, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    EXPECT_EQ(cell(row, 2), "O O--O");
    EXPECT_NE(cell(row, 3), before);
    EXPECT_EQ(cell(row, 7), "30");
    EXPECT_EQ(cell(row, 8), "UP Warning");
    RECT dirty{}, bounds{};
    bounds.left = LVIR_BOUNDS;
    SendMessageA(list(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    EXPECT_TRUE(GetUpdateRect(list(), &dirty, FALSE));
    EXPECT_EQ(dirty.top, bounds.top);
    EXPECT_EQ(dirty.bottom, bounds.bottom);
    EXPECT_EQ(ListView_GetItemState(list(), row, LVIS_SELECTED), static_cast<UINT>(LVIS_SELECTED));
    EXPECT_NE(test::readBytes(dir.file("00000003.IDX"))
                  .find("\r\ngv unit\r\nGV2208\r\nB\r\n13\r\n#10.0.2.25 17\r\n1 1001\r\n"),
              std::string::npos);
    stop();
    WSACleanup();
}

}  // namespace
}  // namespace zelo
