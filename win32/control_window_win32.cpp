#include "win32/control_window_win32.h"

#include <commctrl.h>

#include <cstdio>

#include "app/workspace.h"
#include "resources/resource_ids.h"
#include "win32/device_view_win32.h"
#include "win32/lang_fonts_win32.h"
#include "win32/monitor_app_win32.h"

namespace zelo {
namespace {
constexpr Text kLegendTexts[4] = {Text::LegendPowerOn, Text::LegendPowerOff, Text::LegendOnDelay,
                                  Text::LegendDelayTime};
constexpr int kPowerPage = 0, kReportPage = 1, kInfoPage = 2;
constexpr UINT kTimerMilliseconds = 100;

// Brushes of the application object.
constexpr int kNavy = 0, kTeal = 1, kWhite = 2, kGreen = 4, kGrey = 5, kYellow = 6, kRed = 7,
              kDarkGreen = 8;

int brushOf(Lamp lamp) {
    switch (lamp) {
        case Lamp::Grey:
            return kGrey;
        case Lamp::Green:
            return kGreen;
        case Lamp::Red:
            return kRed;
        case Lamp::DarkGreen:
            return kDarkGreen;
        case Lamp::Yellow:
            return kYellow;
    }
    return kYellow;
}

COLORREF colourOf(HBRUSH brush) {
    LOGBRUSH lb{};
    GetObjectA(brush, sizeof lb, &lb);
    return lb.lbColor;
}

constexpr DWORD kFrame = SS_SUNKEN | SS_CENTERIMAGE;

}  // namespace

ControlWindow::ControlWindow(MonitorApp& app)
    : app_(app), model_(app.workspace().current().session()) {}

INT_PTR ControlWindow::run(HWND owner) {
    return DialogBoxParamA(app_.instance(), MAKEINTRESOURCEA(IDD_CONTROL), owner, dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ControlWindow::dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    ControlWindow* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<ControlWindow*>(lp);
        self->dlg_ = dlg;
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
    } else {
        self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrA(dlg, DWLP_USER));
    }
    return self ? self->handle(msg, wp, lp) : FALSE;
}

INT_PTR ControlWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            onInit();
            return FALSE;  // the tab has the focus
        case WM_COMMAND:
            onCommand(LOWORD(wp), HIWORD(wp));
            return TRUE;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lp)->code == TCN_SELCHANGE) onTabChanged();
            return TRUE;
        case WM_TIMER:
            if (wp == IDT_CONTROL_TIMER && !inCommand_) model_.poll();
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return onStaticColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        case WM_DESTROY:
            onDestroy();
            return TRUE;
        default:
            return FALSE;
    }
}

// ------------------------------------------------------------ opening

void ControlWindow::onInit() {
    Workspace& ws = app_.workspace();
    const LangStrings& s = ws.strings();
    ws.state().openDialog = OpenDialog::Control;
    app_.deviceView().setControlWindow(this);
    app_.setMessageOwner(dlg_);
    SetTimer(dlg_, IDT_CONTROL_TIMER, kTimerMilliseconds, nullptr);

    font_ = uiFont(s);
    fixedFont_ = makeFont(s.text(Text::FixedFontFace).c_str(), s.number(Text::FixedFontHeight), 0,
                          s.number(Text::FontCharSet));
    icon_ = static_cast<HICON>(
        LoadImageA(app_.instance(), MAKEINTRESOURCEA(IDI_SCHEDULE), IMAGE_ICON, 32, 32, 0));
    smallIcon_ = static_cast<HICON>(
        LoadImageA(app_.instance(), MAKEINTRESOURCEA(IDI_CLOCK), IMAGE_ICON, 16, 16, 0));
    SendMessageA(dlg_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(dlg_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    updateControlTitle();
    for (int id : {IDOK, IDCANCEL, IDC_APPLY})
        SendDlgItemMessageA(dlg_, id, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SetDlgItemTextA(dlg_, IDCANCEL, s.text(Text::Cancel).c_str());
    SetDlgItemTextA(dlg_, IDC_APPLY, s.text(Text::Apply).c_str());

    HWND tab = GetDlgItem(dlg_, IDC_CONTROL_TAB);
    SetWindowPos(tab, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(tab, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    int position = 0;
    for (Text text : {Text::TabPowerControl, Text::TabReport, Text::TabInfo}) {
        std::string label = s.text(text);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = label.data();
        SendMessageA(tab, TCM_INSERTITEMA, position++, reinterpret_cast<LPARAM>(&item));
    }
    SetWindowLongA(tab, GWL_STYLE, GetWindowLongA(tab, GWL_STYLE) | TCS_BOTTOM);

    model_.open();
    builder_.begin(dlg_, app_.instance(), font_);
    page_ = kPowerPage;
    pageBuilt_ = false;
    buildPage(page_);
    enableApply(false);
    showPage();
    refreshControlPage();
    pageBuilt_ = true;
    SetFocus(tab);
}

void ControlWindow::onTabChanged() {
    pageBuilt_ = false;
    const LRESULT sel = SendDlgItemMessageA(dlg_, IDC_CONTROL_TAB, TCM_GETCURSEL, 0, 0);
    page_ = sel < 0 ? kPowerPage : static_cast<int>(sel);
    buildPage(page_);
    showPage();
    refreshControlPage();
    pageBuilt_ = true;
}

void ControlWindow::buildPage(int page) {
    builder_.destroyAll();
    painted_.clear();
    lamps_.fill(nullptr);
    reportEdits_.fill(nullptr);
    reportCheck_ = nullptr;
    hidden_.clear();
    destroyPageIcons();
    builder_.resetIds();
    if (page == kPowerPage) buildPowerPage();
    if (page == kReportPage) buildReportPage();
    if (page == kInfoPage) buildInfoPage();
}

HWND ControlWindow::paint(HWND control, Paint how, int outlet, std::optional<Lamp> legend) {
    if (!control) return control;
    painted_[control] = Painted{how, legend, outlet};
    return control;
}

HWND ControlWindow::frame(const std::string& text, int x, int y, int w, int h, Paint how) {
    // Names come from the device and are shown as they are; labels from the
    // string table carry their mnemonics.
    const DWORD style = how == Paint::Name ? kFrame | SS_NOPREFIX : kFrame;
    // A frame or lamp paints its own background: made opaque, it is not
    // drawn after its siblings as a transparent window is, a pass for
    // nothing.
    return paint(builder_.opaqueText(page_, " " + text, x, y, w, h, style), how);
}

HWND ControlWindow::lampAt(int outlet, int x, int y, int w, int h, std::optional<Lamp> legend) {
    return paint(builder_.opaqueText(page_, "", x, y, w, h, SS_SUNKEN), Paint::Lamp, outlet,
                 legend);
}

void ControlWindow::buildPowerPage() {
    const LangStrings& s = app_.workspace().strings();
    const auto buttons = [this, &s](int y, bool reset) {
        builder_.pushButton(page_, s.text(Text::On), 320, y, 82, 21, WS_TABSTOP);
        builder_.pushButton(page_, s.text(Text::Off), 404, y, 82, 21, WS_TABSTOP);
        if (reset) builder_.pushButton(page_, s.text(Text::Reset), 488, y, 82, 21, WS_TABSTOP);
    };
    int y = 9;
    if (model_.masterPresent()) {
        frame(s.text(Text::MasterPower), 10, 9, 562, 21, Paint::Header);
        frame(s.text(Text::Master), 15, 33, 55, 21, Paint::Label);
        lamps_[0] = lampAt(-1, 72, 33, 25, 21);
        frame(model_.systemName(), 99, 33, 215, 21, Paint::Name);
        buttons(33, false);
        y += 52;
    } else {
        builder_.skipIds(ControlKind::PushButton, 2);
    }
    frame(s.text(Text::Outlet), 10, y, 562, 21, Paint::Header);
    const int n = model_.outletCount();
    for (int o = 1; o <= n; ++o) {
        const int ry = y + 24 * o;
        char label[16];
        std::snprintf(label, sizeof label, "No.%d", o);
        frame(label, 15, ry, 55, 21, Paint::Label);
        lamps_[static_cast<std::size_t>(o)] = lampAt(o, 72, ry, 25, 21);
        frame(model_.outletName(o), 99, ry, 215, 21, Paint::Name);
        buttons(ry, true);
    }
    builder_.skipIds(ControlKind::PushButton, 3 * (kMaxOutlets - n));
    const int all = y + 24 * (n + 1) + 4;
    frame(s.text(Text::AllOutlets), 10, all, 304, 21, Paint::Header);
    buttons(all, true);

    // The legend along the bottom of the page.
    RECT area{};
    HWND tab = GetDlgItem(dlg_, IDC_CONTROL_TAB);
    GetWindowRect(tab, &area);
    MapWindowPoints(nullptr, dlg_, reinterpret_cast<POINT*>(&area), 2);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const int ly = area.bottom - 46;
    for (int i = 0; i < 4; ++i) {
        const int x = 15 + 140 * i;
        lampAt(0, x, ly + 4, 10, 10, kLegendLamps[static_cast<std::size_t>(i)]);
        builder_.staticText(page_, s.text(kLegendTexts[i]), x + 14, ly, 120, 18);
    }
    builder_.staticText(page_, s.text(Text::ControlTakesEffectNow), 15, ly + 22, 550, 18);
}

void ControlWindow::buildReportPage() {
    const LangStrings& s = app_.workspace().strings();
    // Fixed ids: the check box 3127, the edits 3415..3421.
    builder_.skipIds(ControlKind::PushButton, 33);
    builder_.skipIds(ControlKind::CheckBox, kReportCheckBox - kFirstCheckBoxId);
    builder_.skipIds(ControlKind::EditField, kFirstReportEdit - kFirstEditFieldId);
    frame(s.text(model_.reportHeaderText()), 10, 9, 562, 21, Paint::Header);
    reportCheck_ =
        builder_.checkBox(page_, s.text(Text::EnableReport), 20, 40, 300, 20, WS_TABSTOP);
    struct Row {
        Text label;
        int x, y, labelWidth, editWidth, limit;
    };
    const Row rows[kReportFields] = {
        {Text::ReportAddress1, 15, 70, 150, 160, 15},  {Text::ReportPort1, 345, 70, 40, 70, 5},
        {Text::ReportAddress2, 15, 100, 150, 160, 15}, {Text::ReportPort2, 345, 100, 40, 70, 5},
        {Text::ReportAddress3, 15, 130, 150, 160, 15}, {Text::ReportPort3, 345, 130, 40, 70, 5},
        {Text::ReportInterval, 15, 160, 150, 70, 5},
    };
    for (int i = 0; i < kReportFields; ++i) {
        const Row& r = rows[i];
        frame(s.text(r.label), r.x, r.y, r.labelWidth, 22, Paint::Label);
        reportEdits_[static_cast<std::size_t>(i)] = builder_.editField(
            page_, r.limit, r.x + r.labelWidth + 4, r.y, r.editWidth, 22, WS_TABSTOP);
    }
}

void ControlWindow::buildInfoPage() {
    const LangStrings& s = app_.workspace().strings();
    DeviceSession& session = app_.workspace().current().session();
    const InfoPage info = infoPageOf(session.record, session.status);
    builder_.groupBox(page_, s.text(Text::ProductInformation), 10, 9, 562, 134);
    const std::pair<Text, std::string> fields[] = {{Text::ProductName, info.productName},
                                                   {Text::MacAddress, info.macAddress},
                                                   {Text::SoftwareVersion, info.softwareVersion},
                                                   {Text::HtmlVersion, info.htmlVersion}};
    int y = 30;
    for (const auto& [label, value] : fields) {
        frame(s.text(label), 20, y, 170, 22, Paint::Label);
        HWND edit = builder_.editField(page_, 127, 194, y, 368, 22, ES_READONLY);
        SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(fixedFont_.get()), FALSE);
        SetWindowTextA(edit, value.c_str());
        y += 27;
    }
    // Kept for a later firmware that reports them; hidden on every device now.
    HWND operation = builder_.groupBox(page_, s.text(Text::OperationInformation), 10, 9, 562, 40);
    HWND boot = frame(s.text(Text::BootDate), 20, 30, 170, 22, Paint::Label);

    builder_.groupBox(page_, s.text(Text::MachineInformation), 10, 150, 562, 240);
    const auto icon = [this](int resource, int x, int y) {
        HICON h = resource
                      ? static_cast<HICON>(LoadImageA(app_.instance(), MAKEINTRESOURCEA(resource),
                                                      IMAGE_ICON, 32, 32, 0))
                      : LoadIconA(nullptr, MAKEINTRESOURCEA(32514));  // IDI_QUESTION
        if (resource && h) pageIcons_.push_back(h);
        HWND w = builder_.staticText(page_, "", x, y, 32, 32, SS_ICON);
        SendMessageA(w, STM_SETICON, reinterpret_cast<WPARAM>(h), 0);
    };
    const auto caption = [this](const std::string& text, int x, int y) {
        builder_.staticText(page_, text, x - 4, y, 40, 14, SS_CENTER | SS_NOPREFIX);
    };
    for (int i = 0; i < 8; ++i) {
        const int x = 22 + 40 * i;
        const bool there = i < info.physicalOutlets;
        caption(there ? std::to_string(i + 1) : std::string(), x, 170);
        const bool standard = info.standardOutlet[static_cast<std::size_t>(i)];
        icon(standard ? IDI_OUTLET : 0, x, 186);
        caption(standard ? "100V" : "", x, 220);
        caption(standard ? "15A" : "", x, 234);
    }
    if (info.physicalOutlets > 0) {
        HWND bar = builder_.staticText(page_, info.barText, 22, 252, 40 * info.physicalOutlets - 8,
                                       16, SS_SUNKEN | SS_CENTER | SS_NOPREFIX);
        if (info.physicalOutlets == 1) EnableWindow(bar, FALSE);
    }
    for (std::size_t k = 0; k < info.ports.size(); ++k) {
        const int x = 22 + 40 * static_cast<int>(k);
        icon(info.ports[k].iconResource, x, 290);
        caption(info.ports[k].line1, x, 324);
        caption(info.ports[k].line2, x, 338);
    }
    hidden_ = {operation, boot};
}

void ControlWindow::showPage() {
    builder_.showPage(page_);
    for (HWND w : hidden_) ShowWindow(w, SW_HIDE);
}

// ------------------------------------------------------------ redrawing

void ControlWindow::updateControlTitle() {
    if (dlg_) SetWindowTextA(dlg_, model_.title(app_.workspace().strings()).c_str());
}

void ControlWindow::showDisconnected() {
    updateControlTitle();
    if (app_.settings().confirmDisconnect)
        app_.frontend().showNotice(Text::NetworkDisconnected, Text::NotifyCaption);
}

void ControlWindow::redrawOutlet(int outlet) {
    if (!dlg_ || page_ != kPowerPage || !pageBuilt_) return;
    // Repainted with the colour of the state it now shows.
    const auto redraw = [](HWND lamp) {
        if (lamp) InvalidateRect(lamp, nullptr, TRUE);
    };
    if (outlet >= 1 && outlet <= kMaxOutlets) {
        redraw(lamps_[static_cast<std::size_t>(outlet)]);
        return;
    }
    if (outlet != -1) return;
    redraw(lamps_[0]);
    for (const PowerButton& b : model_.buttons())
        EnableWindow(GetDlgItem(dlg_, b.id), model_.enabled(b));
}

void ControlWindow::refreshControlPage() {
    if (page_ == kPowerPage) {
        // The page is being built: the redraw rules would skip it.
        const bool built = pageBuilt_;
        pageBuilt_ = true;
        redrawOutlet(-1);
        for (int o = 1; o <= kMaxOutlets; ++o) redrawOutlet(o);
        pageBuilt_ = built;
    } else if (page_ == kReportPage) {
        fillReportPage();
    }
}

void ControlWindow::fillReportPage() {
    const ReportFields& f = model_.report();
    SendMessageA(reportCheck_, BM_SETCHECK, f.enabled ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(reportCheck_, model_.reportEnableEditable());
    for (int i = 0; i < kReportFields; ++i) {
        HWND edit = reportEdits_[static_cast<std::size_t>(i)];
        SetWindowTextA(edit, f.text[static_cast<std::size_t>(i)].c_str());
    }
    enableReportEdits(f.enabled);
}

void ControlWindow::enableReportEdits(bool on) {
    // A field the device does not take stays read-only.
    for (int i = 0; i < kReportFields; ++i)
        EnableWindow(reportEdits_[static_cast<std::size_t>(i)],
                     on && model_.reportEditable(static_cast<ReportField>(i)));
}

INT_PTR ControlWindow::onStaticColour(HDC dc, HWND control) {
    const auto it = painted_.find(control);
    if (it == painted_.end()) {
        if (!(GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_TRANSPARENT)) return FALSE;
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    const Painted& p = it->second;
    int brush = kWhite;
    COLORREF text = RGB(255, 255, 255);
    switch (p.paint) {
        case Paint::Header:
            brush = kNavy;
            break;
        case Paint::Label:
            brush = kTeal;
            break;
        case Paint::Name:
            text = RGB(0, 0, 0);
            break;
        case Paint::Lamp:
            brush = brushOf(p.legend ? *p.legend : model_.lamp(p.outlet));
            break;
    }
    HBRUSH b = app_.brush(brush);
    SetTextColor(dc, text);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, colourOf(b));
    return reinterpret_cast<INT_PTR>(b);
}

// ------------------------------------------------------------ commands

void ControlWindow::enableApply(bool on) {
    EnableWindow(GetDlgItem(dlg_, IDC_APPLY), on);
}
bool ControlWindow::applyEnabled() const {
    return IsWindowEnabled(GetDlgItem(dlg_, IDC_APPLY)) != FALSE;
}

void ControlWindow::onCommand(int id, int code) {
    if (id >= kMasterOnButton && id <= kLastPowerButton && code == BN_CLICKED) {
        inCommand_ = true;
        model_.press(id);
        inCommand_ = false;
        return;
    }
    if (id == kReportCheckBox && code == BN_CLICKED) {
        const bool on = SendMessageA(reportCheck_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        model_.setReportEnabled(on);
        enableReportEdits(on);
        if (pageBuilt_) enableApply(true);
        return;
    }
    if (id >= kFirstReportEdit && id < kFirstReportEdit + kReportFields && code == EN_CHANGE) {
        if (!pageBuilt_) return;
        char text[64] = {};
        GetDlgItemTextA(dlg_, id, text, sizeof text);
        model_.editReport(static_cast<ReportField>(id - kFirstReportEdit), text);
        enableApply(true);
        return;
    }
    switch (id) {
        case IDC_APPLY:
            if (applyEnabled()) onApply();
            break;
        case IDOK:
            if (applyEnabled()) onApply();
            close(IDOK);
            break;
        case IDCANCEL:
            if (model_.mayCancel(applyEnabled())) close(IDCANCEL);
            break;
        default:
            break;
    }
}

void ControlWindow::onApply() {
    inCommand_ = true;
    // A failed apply leaves the flags of what was not written set: they keep
    // Apply enabled (and Cancel asks).
    static_cast<void>(model_.applyReport());
    inCommand_ = false;
    enableApply(model_.report().anyChanged());
}

void ControlWindow::destroyPageIcons() {
    for (HICON i : pageIcons_) DestroyIcon(i);
    pageIcons_.clear();
}

void ControlWindow::close(INT_PTR result) {
    page_ = -1;
    EndDialog(dlg_, result);
}

void ControlWindow::onDestroy() {
    app_.deviceView().setControlWindow(nullptr);
    app_.setMessageOwner(nullptr);
    app_.workspace().state().openDialog = OpenDialog::None;
    builder_.end();
    painted_.clear();
    KillTimer(dlg_, IDT_CONTROL_TIMER);
    fixedFont_.reset();
    for (HICON* i : {&icon_, &smallIcon_}) {
        if (*i) DestroyIcon(*i);
        *i = nullptr;
    }
    destroyPageIcons();
    page_ = -1;
    dlg_ = nullptr;
}

}  // namespace zelo
