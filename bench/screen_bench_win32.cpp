// zelo_screen_bench: the main screen under load, built in this process over
// a data directory with a group of 50 and a group of 5,000 devices.
//   1. Switching the list to each group (selection in the tree until the
//      window is drawn), against a plain list view that inserts its rows one
//      by one with drawing held off until the end (5,000 unless told).
//   2. 1,000 status reports a second for devices of the shown 5,000-device
//      group, sent over UDP from another thread, while a third thread posts
//      a message to the window's thread every 10 ms: how long until the
//      message loop takes it.
// Figures are printed, never judged. Run under Wine with a display:
//   scripts/screen-bench.sh [SECONDS [PLAIN-ROWS]]
#include <windows.h>

#include <commctrl.h>
#include <winsock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "common/file_replace.h"
#include "directory/group_outline.h"
#include "directory/item_file.h"
#include "directory/model_table.h"
#include "resources/resource_ids.h"
#include "tests/status/report_builder.h"
#include "tests/status/udp_sender.h"
#include "tests/support/scripted_frontend.h"
#include "tests/support/temp_dir.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace {

using namespace zelo;
using Steady = std::chrono::steady_clock;

constexpr std::uint32_t kSmallGroup = 1, kLargeGroup = 2;
constexpr int kSmall = 50, kLarge = 5000;
constexpr UINT kProbe = WM_APP + 1;

double msSince(Steady::time_point t0) {
    return std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
}

std::string macOf(std::uint32_t id) {
    char mac[16];
    std::snprintf(mac, sizeof mac, "0090CC%06X", id);
    return mac;
}

void makeDirectory(const std::string& dataDir) {
    test::writeBytes(
        dataDir + "ZELO.INI",
        "[ZELO]\r\nLanguage=1\r\n[MessageBox]\r\nQuit=0\r\n[Network]\r\nMSRPport=0\r\n");  // a free
                                                                                           // port
    std::string outline = formatDirectoryLine(0, "Root", 0) +
                          formatDirectoryLine(1, "small", kSmallGroup) +
                          formatDirectoryLine(1, "large", kLargeGroup);
    replaceFile(dataDir + kDirectoryFileName, outline);
    std::uint32_t id = 1;
    for (auto [group, count] : {std::pair{kSmallGroup, kSmall}, std::pair{kLargeGroup, kLarge}}) {
        std::string items = std::string(kItemFilePrefix) + "2\r\n";
        for (int i = 0; i < count; ++i, ++id) {
            DeviceRecord r;
            applyModelDefaults(r, 13);
            r.modelCode = 13;
            r.name = "device " + std::to_string(id);
            r.deviceId = id;
            r.groupId = group;
            r.addressText = "10.1." + std::to_string(id / 250) + "." + std::to_string(id % 250);
            r.port = 23;
            r.macText = macOf(id);
            r.updateTime = 1700000000u + id;
            r.temperatureState = -1;
            items += formatRecordLines(r);
        }
        replaceFile(itemFilePath(dataDir, group), items);
    }
}

void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HWND child(MainWindow& w, bool list) {
    return GetDlgItem(list ? w.rightPane().child() : w.leftPane().child(),
                      list ? IDC_DEVICE_LIST : IDC_GROUP_TREE);
}

HTREEITEM treeItem(HWND tree, int topLevelPosition) {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    if (topLevelPosition < 0) return item;
    item = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    for (int i = 0; i < topLevelPosition; ++i)
        item = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    return item;
}

// Milliseconds from the tree selection to the list drawn.
double switchTo(MainWindow& w, int topLevelPosition) {
    HWND tree = child(w, false);
    const auto t0 = Steady::now();
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(treeItem(tree, topLevelPosition)));
    RedrawWindow(w.hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return msSince(t0);
}

// Counts the records the station saves on their way to the screen's rows
// and passes every call on.
class CountingView final : public PaneLink {
public:
    explicit CountingView(PaneLink& screen) : screen_(screen) {}
    std::vector<ListRow> deliverySelection() override { return screen_.deliverySelection(); }
    void recordChanged(const DeviceRecord& r) override {
        ++accepted;
        screen_.recordChanged(r);
    }
    void groupRenamed(std::uint32_t id, const std::string& name) override {
        screen_.groupRenamed(id, name);
    }
    long accepted = 0;

private:
    PaneLink& screen_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A plain report list view (no owner data) filled with `rows` rows of nine
// texts, one insert and eight subitem texts per row, as a list that keeps
// its own rows would be filled.
double plainListFill(HWND parent, int rows) {
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 600,
                                300, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int c = 0; c < 9; ++c) {
        LVCOLUMNA col{};
        col.mask = LVCF_WIDTH;
        col.cx = 60;
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
    }
    const auto t0 = Steady::now();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);  // drawn once, at the end
    char text[32];
    for (int r = 0; r < rows; ++r) {
        std::snprintf(text, sizeof text, "device %d", r);
        LVITEMA it{};
        it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        it.iItem = r;
        it.pszText = text;
        it.lParam = r;
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
        for (int c = 1; c < 9; ++c) {
            it.iSubItem = c;
            SendMessageA(list, LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&it));
        }
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const double ms = msSince(t0);
    DestroyWindow(list);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int plainRows = argc > 2 ? std::max(1, std::atoi(argv[2])) : kLarge;
    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    test::TempDir dir;
    const std::string dataDir = dir.path().string() + "\\";
    makeDirectory(dataDir);
    test::ScriptedFrontend frontend;
    MonitorApp app(GetModuleHandleA(nullptr), SW_SHOWNORMAL, dataDir, frontend);
    if (!app.start()) {
        std::fprintf(stderr, "screen_bench: the main window could not be made\n");
        return 1;
    }
    MainWindow& w = *app.mainWindow();
    const std::uint16_t port = app.station().listenerPort();
    pump();

    // 1. Switching groups, each time from the root (which rebuilds the columns).
    std::vector<double> small, large;
    for (int run = 0; run < 15; ++run) {
        switchTo(w, -1);
        small.push_back(switchTo(w, 0));
        switchTo(w, -1);
        large.push_back(switchTo(w, 1));
        pump();
    }
    const double plain = plainListFill(w.rightPane().child(), plainRows);
    std::printf("switch to %d devices: median %.1f ms (min %.1f, max %.1f)\n", kSmall,
                median(small), *std::min_element(small.begin(), small.end()),
                *std::max_element(small.begin(), small.end()));
    std::printf("switch to %d devices: median %.1f ms (min %.1f, max %.1f); ratio %.1f\n", kLarge,
                median(large), *std::min_element(large.begin(), large.end()),
                *std::max_element(large.begin(), large.end()), median(large) / median(small));
    std::printf("for comparison, a plain list view filled with %d rows of 9 texts: %.0f ms\n",
                plainRows, plain);

    // 2. Reports while the 5,000-device group is shown, counted on their way
    // to the screen.
    switchTo(w, 1);
    pump();
    CountingView counter(w.screen());
    app.setPanes(&counter);
    std::atomic<bool> running{true};
    std::atomic<long> sent{0};
    const DWORD guiThread = GetCurrentThreadId();
    std::thread sender([&] {
        test::UdpSender udp;
        const auto t0 = Steady::now();
        long n = 0;
        while (running) {
            const long due = static_cast<long>(msSince(t0));  // one per millisecond
            for (; n < due; ++n) {
                const std::uint32_t id = kSmall + 1 + static_cast<std::uint32_t>(n % kLarge);
                const unsigned on = (n / kLarge) % 2;
                udp.send(port, test::ElementReport()
                                   .mac(macOf(id))
                                   .master(1)
                                   .outlets({{on, on}, {1, 1}, {0, 0}, {1, 1}})
                                   .temperature(true, 0, 2000 + static_cast<int>(n % 500))
                                   .build());
            }
            sent = n;
            Sleep(5);
        }
    });
    std::thread prober([&] {
        while (running) {
            const auto stamp = Steady::now().time_since_epoch().count();
            PostThreadMessageA(guiThread, kProbe, 0, static_cast<LPARAM>(stamp));
            Sleep(10);
        }
    });
    std::vector<double> latency;
    const auto t0 = Steady::now();
    MSG msg;
    while (msSince(t0) < seconds * 1000.0 && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == kProbe && !msg.hwnd) {
            const auto now = Steady::now().time_since_epoch().count();
            latency.push_back(
                std::chrono::duration<double, std::milli>(Steady::duration(now - msg.lParam))
                    .count());
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    running = false;
    sender.join();
    prober.join();
    const long acceptedInTime = counter.accepted;
    pump();
    int updated = 0;
    for (const DeviceRecord& r : app.directory().devices())
        if (r.groupId == kLargeGroup && r.temperatureState == 0) ++updated;
    std::sort(latency.begin(), latency.end());
    const auto at = [&](double q) {
        return latency.empty() ? 0.0 : latency[static_cast<std::size_t>(q * (latency.size() - 1))];
    };
    std::printf(
        "%ld reports sent in %d s to the shown group of %d, %ld rows refreshed in that time; "
        "%d devices' rows updated\n",
        sent.load(), seconds, kLarge, acceptedInTime, updated);
    std::printf(
        "message answered after: median %.1f ms, 99th percentile %.1f ms, max %.1f ms "
        "(%zu messages)\n",
        at(0.5), at(0.99), latency.empty() ? 0.0 : latency.back(), latency.size());
    app.setPanes(&w.screen());
    DestroyWindow(w.hwnd());
    pump();
    WSACleanup();
    return 0;
}
