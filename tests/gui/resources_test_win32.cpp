// The resources built into ZELO.exe, read from the program file: every
// language's main menu carries the commands the main window dispatches, the
// Japanese labels arrive as Japanese, and the accelerators open the About
// box and deliver a schedule.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/gui/zelo_process_win32.h"

namespace zelo {
namespace {

class ZeloResources : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExA((test::testProgramDirectory() / "ZELO.exe").string().c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    HMODULE module = nullptr;
};

TEST_F(ZeloResources, EveryMainMenuCarriesTheCommandsTheWindowDispatches) {
    const struct {
        int menu;
        std::vector<UINT> commands;
    } menus[] = {
        {IDR_MENU_EN, {IDM_QUIT, IDM_OPTION, IDM_ABOUT}},
        {IDR_MENU_JA, {IDM_QUIT, IDM_OPTION, IDM_ABOUT}},
        // The Esperanto menu keeps the older file entries.
        {IDR_MENU_EO, {IDM_QUIT, IDM_OPTION, IDM_ABOUT, IDM_DELETE_KEY, IDM_RENAME_KEY, IDM_STATE, IDM_GROUP_NEW}},
    };
    for (const auto& m : menus) {
        SCOPED_TRACE(m.menu);
        HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(m.menu));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(GetMenuItemCount(menu), 3);  // File, Tool, Help
        for (UINT command : m.commands) EXPECT_NE(GetMenuState(menu, command, MF_BYCOMMAND), UINT(-1)) << command;
        if (m.menu == IDR_MENU_JA) {  // read as UTF-16, so it compares exactly under any code page
            wchar_t file[64] = {}, quit[64] = {};
            GetMenuStringW(menu, 0, file, 64, MF_BYPOSITION);
            GetMenuStringW(menu, IDM_QUIT, quit, 64, MF_BYCOMMAND);
            EXPECT_EQ(std::wstring(file), L"\x30D5\x30A1\x30A4\x30EB(&F)");
            EXPECT_EQ(std::wstring(quit), L"\x30A2\x30D7\x30EA\x30B1\x30FC\x30B7\x30E7\x30F3\x306E\x7D42\x4E86(&X)");
        }
        DestroyMenu(menu);
    }
}

TEST_F(ZeloResources, AltSlashAndAltQuestionMarkOpenTheAboutBoxCtrlDDelivers) {
    HACCEL table = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8];
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 8), 3);
    const struct {
        WORD key, command;
        BYTE flags;  // of FALT, FCONTROL, FVIRTKEY
    } rows[] = {
        {'/', IDM_ABOUT, FALT},  // characters, not keys
        {'?', IDM_ABOUT, FALT},
        {'D', IDM_DELIVER_SCHEDULE, FCONTROL | FVIRTKEY},  // to the selected rows
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(entries[i].key, rows[i].key) << i;
        EXPECT_EQ(entries[i].cmd, rows[i].command) << i;
        EXPECT_EQ(entries[i].fVirt & (FALT | FCONTROL | FVIRTKEY), rows[i].flags) << i;
    }
}

}  // namespace
}  // namespace zelo
