// The group tree and the device list over the sample directory: what they
// show, what the operator's keys, label edits and commands do to them and to
// the files, and a status report reaching a row. Sample groups: 0 root; 1 server room (2 rack A
// with devices 1..6 of models 3..8, 3 rack B with devices 7..11 of models
// 9..13); 4 office (6 second floor; devices 12, 13 in a version-0 file);
// 5 branch.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/text_encoding.h"
#include "tests/gui/gui_fixture_win32.h"
#include "tests/status/report_builder.h"
#include "tests/status/udp_sender.h"

namespace zelo {
namespace {

using test::readBytes;

class MainScreenTest : public test::GuiFixture {
protected:
    std::string directoryFile() { return readBytes(dir.file("ZELO_DIR.DAT")); }
    std::string itemFile(int group) {
        char name[16];
        wsprintfA(name, "%08X.IDX", group);
        return readBytes(dir.file(name));
    }
    std::vector<int> order() {
        std::vector<int> o(static_cast<std::size_t>(columns()));
        SendMessageA(list(), LVM_GETCOLUMNORDERARRAY, o.size(), reinterpret_cast<LPARAM>(o.data()));
        return o;
    }
    int width(int column) { return ListView_GetColumnWidth(list(), column); }
    int columns() { return Header_GetItemCount(ListView_GetHeader(list())); }
    std::string statusPart1() {
        char text[128] = {};
        SendMessageA(GetDlgItem(window().hwnd(), IDC_STATUS_BAR), SB_GETTEXTA, 1,
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
};

// The tree's order and the list's rows: ListMatchesZeloctlForEveryGroup.
TEST_F(MainScreenTest, TreeComboAndColumnsAndTheComboJump) {
    ASSERT_NE(startSample(1), nullptr);
    // Each group under its parent with the group icon; the root expanded and selected.
    for (const auto& [item, id] : treeItems())
        EXPECT_EQ(treeItem(item).iImage, id == 0 ? 1 : 2) << id;
    EXPECT_EQ(treeText(TreeView_GetParent(tree(), itemOf(3))), "Server room");
    EXPECT_TRUE(expanded(0));
    EXPECT_EQ(selectedGroup(), 0u);
    EXPECT_EQ(SendMessageA(combo(), CB_GETCOUNT, 0, 0), 3);  // the top-level groups
    // The root lists its groups under one "Place" column, a group has nine.
    EXPECT_EQ(columns(), 1);
    EXPECT_EQ(width(0), 200);
    selectGroup(4);
    EXPECT_EQ(columns(), 9);

    // A combo entry selects and expands its group and folds the others.
    for (std::uint32_t id : {1u, 4u}) TreeView_Expand(tree(), itemOf(id), TVE_EXPAND);
    const struct {
        int entry;
        std::uint32_t selected;
        bool serverRoom, office;
    } cases[] = {{2, 5, false, false}, {1, 4, false, true}, {0, 1, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        SendMessageA(combo(), CB_SETCURSEL, c.entry, 0);
        SendMessageA(treePane(), WM_COMMAND, MAKEWPARAM(IDC_GROUP_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo()));
        EXPECT_EQ(selectedGroup(), c.selected);
        EXPECT_EQ(expanded(1), c.serverRoom);
        EXPECT_EQ(expanded(4), c.office);
        EXPECT_EQ(SendMessageA(combo(), CB_GETCURSEL, 0, 0), c.entry);
    }
}

TEST_F(MainScreenTest, LabelEditsRenameInTheFilesAndEscapeWritesNothing) {
    ASSERT_NE(startSample(1), nullptr);
    // row -1: the tree's selected group; file -1: the directory, else that group's item file.
    const struct {
        const char* where;
        std::uint32_t group;
        int row;
        const char* name;
        int file;
        const char* written;
    } cases[] = {{"tree", 2, -1, "Racks", -1, "\r\n2\tRacks\t2\r\n"},
                 {"group row", 1, 0, "Rack 1", -1, "\r\n2\tRack 1\t2\r\n"},
                 {"device row", 3, 1, "hall lights", 3, "\r\nhall lights\r\nSWD-8KB\r\n8\r\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        selectGroup(c.group);
        if (c.row >= 0) setRowState(c.row, LVIS_SELECTED | LVIS_FOCUSED);
        const auto file = [&] { return c.file < 0 ? directoryFile() : itemFile(c.file); };
        const std::string before = file();
        const auto edit = [&](const char* text) {
            key(c.row < 0 ? tree() : list(), VK_F2);
            finishEdit(
                c.row < 0 ? TreeView_GetEditControl(tree()) : ListView_GetEditControl(list()),
                text);
        };
        edit(nullptr);  // Escape
        EXPECT_EQ(file(), before);
        edit(c.name);
        EXPECT_NE(file().find(c.written), std::string::npos) << file();
        if (c.row >= 0) {
            EXPECT_EQ(cell(c.row, 0), c.name);
        }
        if (c.file < 0) {
            EXPECT_EQ(treeText(itemOf(2)), c.name);  // the tree follows
        }
    }
}

TEST_F(MainScreenTest, DeletingAGroupTakesItsSubTreeFromTreeListAndDirectory) {
    ASSERT_NE(startSample(1), nullptr);
    key(tree(), VK_DELETE);  // the root: nothing, not even a question
    EXPECT_TRUE(frontend.questions.empty());

    // Tree, Delete key: asked first; No keeps everything.
    selectGroup(1);
    frontend.answers = {false, true};
    const std::string before = directoryFile();
    key(tree(), VK_DELETE);
    EXPECT_EQ(directoryFile(), before);
    key(tree(), VK_DELETE);
    ASSERT_EQ(frontend.questions.size(), 2u);
    EXPECT_EQ(frontend.questions[1].textId, Text::DeleteQuestion);
    EXPECT_EQ(directoryFile().find("Server room"), std::string::npos);
    EXPECT_EQ(itemOf(3), nullptr);
    EXPECT_EQ(selectedGroup(), 0u);
    EXPECT_EQ(names(), (std::vector<std::string>{"Office", "Branch"}));

    // List, Delete key (no question) on a sub-group row, then on a device:
    // the list keeps its group.
    selectGroup(4);
    for (const char* left : {"reception", "meeting room"}) {
        SCOPED_TRACE(left);
        setRowState(0, LVIS_SELECTED | LVIS_FOCUSED);
        key(list(), VK_DELETE);
        EXPECT_EQ(frontend.questions.size(), 2u);
        EXPECT_EQ(selectedGroup(), 4u);
        EXPECT_EQ(names().front(), left);
    }
    EXPECT_EQ(itemOf(6), nullptr);
    EXPECT_EQ(directoryFile().find("Second floor"), std::string::npos);
    EXPECT_EQ(itemFile(4).find("reception"), std::string::npos);
}

TEST_F(MainScreenTest, NewGroupsAndDevicesAreNamedAtOnce) {
    ASSERT_NE(startSample(1), nullptr);
    SendMessageA(listPane(), WM_COMMAND, IDM_NEW_GV2208, 0);  // at the root: no device
    EXPECT_EQ(rows(), 3);
    selectGroup(4);
    SendMessageA(listPane(), WM_COMMAND, IDM_LIST_NEW_GROUP, 0);
    EXPECT_EQ(test::textOf(ListView_GetEditControl(list())), "New group");
    finishEdit(ListView_GetEditControl(list()), "Lab");
    EXPECT_NE(directoryFile().find("\r\n2\tLab\t7\r\n"), std::string::npos) << directoryFile();
    EXPECT_EQ(treeText(itemOf(7)), "Lab");
    EXPECT_EQ(TreeView_GetParent(tree(), itemOf(7)), itemOf(4));

    SendMessageA(listPane(), WM_COMMAND, IDM_NEW_GV2208,
                 0);  // the model's default name, in English
    EXPECT_EQ(cell(rows() - 1, 0), "NewGV2208");
    EXPECT_EQ(image(rows() - 1), 13);
    finishEdit(ListView_GetEditControl(list()), nullptr);  // keeps the name
    EXPECT_NE(itemFile(4).find("\r\nNewGV2208\r\n"), std::string::npos);

    // A file another program holds open cannot be replaced: no row is made,
    // and a box says why.
    const struct {
        const char* file;
        WPARAM command;
        Text error;
    } held[] = {
        {"00000004.IDX", IDM_NEW_GV2208, Text::NewItemNotWritten},
        {"ZELO_DIR.DAT", IDM_LIST_NEW_GROUP, Text::NewItemNotWritten},
        {"ZELO.INI", IDM_NEW_GV2208, Text::NewItemCounterNotSaved},
    };
    for (const auto& h : held) {
        const int before = rows();
        const std::size_t errors = frontend.errors.size();
        HANDLE file = CreateFileA(dir.file(h.file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << h.file;
        SendMessageA(listPane(), WM_COMMAND, h.command, 0);
        CloseHandle(file);
        EXPECT_EQ(rows(), before) << h.file;
        ASSERT_EQ(frontend.errors.size(), errors + 1) << h.file;
        EXPECT_EQ(frontend.errors.back(), h.error) << h.file;
    }
}

// The list menu's "Schedule delivery...", the main menu's and Ctrl+D all
// begin the delivery with its choice of a schedule file (string 303).
TEST_F(MainScreenTest, EveryDeliveryCommandAsksForTheScheduleFile) {
    ASSERT_NE(startSample(1), nullptr);
    selectGroup(2);
    setRowState(0, LVIS_SELECTED | LVIS_FOCUSED);
    const HACCEL keys =
        LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    const std::pair<const char*, std::function<void()>> routes[] = {
        {"list menu", [&] { SendMessageA(listPane(), WM_COMMAND, IDM_DELIVER_SCHEDULE, 0); }},
        {"main menu", [&] { SendMessageA(window().hwnd(), WM_COMMAND, IDM_DELIVER_SCHEDULE, 0); }},
        {"Ctrl+D",
         [&] {
             BYTE state[256] = {};
             GetKeyboardState(state);
             state[VK_CONTROL] = 0x80;
             SetKeyboardState(state);
             MSG msg{list(), WM_KEYDOWN, 'D', 1, 0, {}};
             const bool taken = TranslateAcceleratorA(window().hwnd(), keys, &msg);
             state[VK_CONTROL] = 0;
             SetKeyboardState(state);
             EXPECT_TRUE(taken);
             pump();
         }},
    };
    for (const auto& [name, command] : routes) {
        SCOPED_TRACE(name);
        std::string title;
        EXPECT_TRUE(withDialog(command, [&](HWND dlg) {
            title = test::textOf(dlg);
            SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        }));
        EXPECT_EQ(title, app().strings().text(Text::OpenScheduleCaption));
        EXPECT_EQ(rows(), 6);  // nothing else happened to the list
    }
}

TEST_F(MainScreenTest, ColumnLayoutSurvivesMovesBetweenGroupsAndARestart) {
    ASSERT_NE(startSample(1), nullptr);
    selectGroup(2);
    const std::vector<int> moved{2, 0, 1, 3, 4, 5, 6, 7, 8};
    SendMessageA(list(), LVM_SETCOLUMNORDERARRAY, 9, reinterpret_cast<LPARAM>(moved.data()));
    SendMessageA(list(), LVM_SETCOLUMNWIDTH, 1, 150);
    SendMessageA(list(), LVM_SETCOLUMNWIDTH, 5, 0);
    for (std::uint32_t group : {3u, 0u, 4u}) {
        SCOPED_TRACE(group);
        selectGroup(group);
        if (group == 0) continue;
        EXPECT_EQ(order(), moved);
        EXPECT_EQ(width(1), 150);
        EXPECT_EQ(width(5), 0);
        EXPECT_EQ(width(0), 80);
    }
    // The file's form is the core's; a change made after the last move is
    // kept at the end.
    SendMessageA(list(), LVM_SETCOLUMNWIDTH, 0, 123);
    ASSERT_NE(restart(), nullptr);
    selectGroup(6);
    EXPECT_EQ(order(), moved);
    EXPECT_EQ(width(0), 123);
    EXPECT_EQ(width(1), 150);
}

TEST_F(MainScreenTest, TheStatusBarCountsTheSelection) {
    ASSERT_NE(startSample(1), nullptr);
    selectGroup(2);
    for (int row : {0, 1, 2}) setRowState(row, LVIS_SELECTED);
    EXPECT_EQ(statusPart1(), "3 items selected.");
    for (int row : {0, 2}) setRowState(row, 0);
    EXPECT_EQ(statusPart1(), "");  // one row: no count
    key(list(), 'A', true);
    EXPECT_EQ(statusPart1(), "6 items selected.");
    key(list(), VK_F5);  // refilled: nothing selected
    EXPECT_EQ(rows(), 6);
    EXPECT_EQ(statusPart1(), "");
}

// Row for row and column for column what zeloctl's list prints for the
// same directory (made beside the test program by a native step).
TEST_F(MainScreenTest, ListMatchesZeloctlForEveryGroup) {
    ASSERT_EQ(GetACP(), 932u) << "needs code page 932 (LC_ALL=ja_JP.UTF-8)";
    ASSERT_NE(startSample(0, "[ListViewMode]\r\nLineMstPow=1\r\n", true), nullptr);
    std::vector<std::uint32_t> ids;  // depth first
    for (const auto& [item, id] : treeItems()) {
        SCOPED_TRACE("group " + std::to_string(id));
        std::ifstream in(test::sampleDirectory() / ("list-" + std::to_string(id) + ".txt"));
        ASSERT_TRUE(in.good());
        std::ostringstream expected, shown;
        selectGroup(id);
        // The rows' ids are the view's own (it keeps no item data).
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t id = line.find('\t') + 1;
            expected << line.substr(0, id) << line.substr(line.find('\t', id) + 1) << "\n";
        }
        for (int r = 0; r < rows(); ++r) {
            const bool group = image(r) == 2;
            shown << (group ? "group" : "device");
            for (int c = 0; c < (group ? 1 : 9); ++c) shown << "\t" << cp932ToUtf8(cell(r, c));
            shown << "\n";
        }
        EXPECT_EQ(shown.str(), expected.str());
        ids.push_back(id);
    }
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 6, 5}));
}

// A status report sent to the UDP port reaches the device's row (only that
// row redrawn, the selection kept) and its item file through the timer.
using ListStation = test::GuiFixture;

TEST_F(ListStation, AReportRedrawsOnlyItsRowKeepsTheSelectionAndWritesTheItemFile) {
    ASSERT_NE(startSample(1, "[Network]\r\nMSRPport=0\r\n"), nullptr);  // a free port
    const std::uint16_t port = app().station().listenerPort();
    selectGroup(3);
    const int row = 4;
    ASSERT_EQ(cell(row, 0), "gv unit");
    setRowState(row, LVIS_SELECTED | LVIS_FOCUSED);
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
    // The columns' texts are the core's (and zeloctl's): one stands for them.
    EXPECT_EQ(cell(row, 2), "O O--O");
    RECT dirty{}, bounds{LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(list(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    EXPECT_TRUE(GetUpdateRect(list(), &dirty, FALSE));
    EXPECT_EQ(dirty.top, bounds.top);
    EXPECT_EQ(dirty.bottom, bounds.bottom);
    EXPECT_EQ(ListView_GetItemState(list(), row, LVIS_SELECTED), static_cast<UINT>(LVIS_SELECTED));
    EXPECT_NE(test::readBytes(dir.file("00000003.IDX"))
                  .find("\r\ngv unit\r\nGV2208\r\nB\r\n13\r\n#10.0.2.25 17\r\n1 1001\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace zelo
