#pragma once
// The device control window (dialog 723): three tabs along the bottom (power
// control, report settings, information) whose controls the page builder
// makes when a tab is chosen. The rules come from ControlModel; this window
// makes controls, paints lamps and forwards clicks.

#include <windows.h>

#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

#include "app/control_window.h"
#include "win32/control_page_builder_win32.h"
#include "win32/lang_fonts_win32.h"

namespace zelo {

class MonitorApp;

class ControlWindow {
public:
    explicit ControlWindow(MonitorApp& app);
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    // Modal over `owner` until OK or Cancel: IDOK or IDCANCEL.
    INT_PTR run(HWND owner);

    // Page 0 on show: outlet 1..8's lamp, or with -1 the master lamp and the
    // enabling rules.
    void redrawOutlet(int outlet);
    // Fills the page on show from the status.
    void refreshControlPage();
    void updateControlTitle();
    // The connection is gone: caption Offline, and the notice when asked for.
    void showDisconnected();

    HWND hwnd() const noexcept { return dlg_; }
    int currentPage() const noexcept { return page_; }
    ControlModel& model() noexcept { return model_; }
    // The lamp of outlet 1..8, or -1 the master's; null when its row is not
    // on show.
    HWND lampWindow(int outlet) const noexcept {
        return outlet >= -1 && outlet <= kMaxOutlets
                   ? lamps_[static_cast<std::size_t>(outlet < 0 ? 0 : outlet)]
                   : nullptr;
    }

private:
    enum class Paint { Header, Label, Name, Lamp };
    struct Painted {
        Paint paint;
        std::optional<Lamp> legend;  // a legend lamp's fixed colour; none: the outlet's own
        int outlet;                  // -1 master, 1..8
    };

    static INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);

    void onInit();
    void onTabChanged();
    void buildPage(int page);
    void showPage();  // the page on show, less what stays hidden
    void buildPowerPage();
    void buildReportPage();
    void buildInfoPage();
    void destroyPageIcons();
    void fillReportPage();
    void enableReportEdits(bool on);
    void onCommand(int id, int code);
    void onApply();
    void close(INT_PTR result);
    void onDestroy();
    INT_PTR onStaticColour(HDC dc, HWND control);
    void enableApply(bool on);
    bool applyEnabled() const;

    HWND paint(HWND control, Paint how, int outlet = 0, std::optional<Lamp> legend = {});
    HWND frame(const std::string& text, int x, int y, int w, int h, Paint how);
    HWND lampAt(int outlet, int x, int y, int w, int h, std::optional<Lamp> legend = {});

    MonitorApp& app_;
    ControlModel model_;
    HWND dlg_ = nullptr;
    HFONT font_ = nullptr;  // the shared interface font (uiFont), not this window's
    FontHandle fixedFont_;
    HICON icon_ = nullptr, smallIcon_ = nullptr;
    ControlPageBuilder builder_;
    int page_ = -1;
    bool pageBuilt_ = false;
    bool inCommand_ = false;       // a dialogue runs: the timer reads nothing meanwhile
    std::array<HWND, 9> lamps_{};  // 0 master, 1..8 outlets
    std::unordered_map<HWND, Painted> painted_;
    std::array<HWND, kReportFields> reportEdits_{};
    HWND reportCheck_ = nullptr;
    std::vector<HICON> pageIcons_;  // the info page's, freed by destroyPageIcons only
    std::vector<HWND> hidden_;
};

}  // namespace zelo
