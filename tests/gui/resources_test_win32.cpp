// The resources built into ZELO.exe: the menus of the three languages and
// the accelerator table, read from the program file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/gui/zelo_process_win32.h"

namespace zelo {
namespace {

class ZeloResources : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExA((test::testProgramDirectory() / "ZELO.exe").string().c_str(),
                                nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }

    // Labels as UTF-16, so the Japanese menu compares exactly under any code page.
    static std::wstring label(HMENU menu, UINT item, UINT flag) {
        wchar_t buf[128] = {};
        GetMenuStringW(menu, item, buf, 128, flag);
        return buf;
    }

    HMODULE module = nullptr;
};

TEST_F(ZeloResources, EnglishMainMenu) {
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(IDR_MENU_EN));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(label(menu, 0, MF_BYPOSITION), L"&File");
    EXPECT_EQ(label(menu, 1, MF_BYPOSITION), L"&Tool");
    EXPECT_EQ(label(menu, 2, MF_BYPOSITION), L"&Help");
    EXPECT_EQ(label(menu, IDM_QUIT, MF_BYCOMMAND), L"&Quit");
    EXPECT_EQ(label(menu, IDM_OPTION, MF_BYCOMMAND), L"&Option...\tF8");
    EXPECT_EQ(label(menu, IDM_ABOUT, MF_BYCOMMAND), L"&About...");
    DestroyMenu(menu);
}

TEST_F(ZeloResources, JapaneseMainMenu) {
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(IDR_MENU_JA));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(label(menu, 0, MF_BYPOSITION), L"\x30D5\x30A1\x30A4\x30EB(&F)");
    EXPECT_EQ(label(menu, 1, MF_BYPOSITION), L"\x30C4\x30FC\x30EB(&T)");
    EXPECT_EQ(label(menu, 2, MF_BYPOSITION), L"\x30D8\x30EB\x30D7(&H)");
    EXPECT_EQ(label(menu, IDM_OPTION, MF_BYCOMMAND),
              L"\x30AA\x30D7\x30B7\x30E7\x30F3(&O)...\tF8");
    EXPECT_EQ(label(menu, IDM_QUIT, MF_BYCOMMAND),
              L"\x30A2\x30D7\x30EA\x30B1\x30FC\x30B7\x30E7\x30F3\x306E\x7D42\x4E86(&X)");
    DestroyMenu(menu);
}

TEST_F(ZeloResources, EsperantoMainMenuCarriesTheOldFileEntries) {
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(IDR_MENU_EO));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(label(menu, 0, MF_BYPOSITION), L"&Dosiero");
    EXPECT_EQ(label(menu, 1, MF_BYPOSITION), L"&Ilprogramo");
    EXPECT_EQ(label(menu, 2, MF_BYPOSITION), L"&Savo");
    EXPECT_EQ(label(menu, IDM_QUIT, MF_BYCOMMAND), L"Finig^o(&Q)");
    EXPECT_EQ(label(menu, IDM_DELETE_KEY, MF_BYCOMMAND), L"Forstreko(&D)\tDelete");
    EXPECT_EQ(label(menu, IDM_RENAME_KEY, MF_BYCOMMAND), L"Alinomig^o(&N)\tF2");
    EXPECT_EQ(label(menu, IDM_STATE, MF_BYCOMMAND), L"Stato(&P)");
    EXPECT_EQ(label(menu, IDM_GROUP_NEW, MF_BYCOMMAND), L"Grupo(&G)");
    EXPECT_EQ(label(menu, IDM_OPTION, MF_BYCOMMAND), L"Elekto(&O)...\tF8");
    EXPECT_EQ(label(menu, IDM_ABOUT, MF_BYCOMMAND), L"&Epitomo...");
    DestroyMenu(menu);
}

TEST_F(ZeloResources, AltSlashAndAltQuestionMarkOpenTheAboutBox) {
    HACCEL table = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8];
    const int n = CopyAcceleratorTableA(table, entries, 8);
    ASSERT_EQ(n, 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(entries[i].cmd, IDM_ABOUT);
        EXPECT_EQ(entries[i].fVirt & (FALT | FVIRTKEY), FALT);  // a character, not a key
    }
    EXPECT_EQ(entries[0].key, '/');
    EXPECT_EQ(entries[1].key, '?');
    // Ctrl+D (a virtual key) delivers a schedule to the selected rows.
    EXPECT_EQ(entries[2].cmd, IDM_DELIVER_SCHEDULE);
    EXPECT_EQ(entries[2].key, 'D');
    EXPECT_EQ(entries[2].fVirt & (FCONTROL | FVIRTKEY | FALT), FCONTROL | FVIRTKEY);
}

}  // namespace
}  // namespace zelo
