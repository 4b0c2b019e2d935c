#include "win32/options_dialog_win32.h"

#include <commctrl.h>

#include "app/options_rules.h"
#include "app/workspace.h"
#include "resources/resource_ids.h"
#include "win32/lang_fonts_win32.h"

namespace zelo {
namespace {

// Strings of the dialog and its Network page.
constexpr int kNetworkPage = 0;
// The port field, and the second edit field a page may have.
constexpr int kPortFieldId = kFirstEditFieldId;
constexpr int kUseListenerId = kFirstCheckBoxId;

}  // namespace

INT_PTR OptionsDialog::run(HWND owner) {
    return DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_OPTIONS), owner, dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK OptionsDialog::dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    OptionsDialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<OptionsDialog*>(lp);
        self->dlg_ = dlg;
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
    } else {
        self = reinterpret_cast<OptionsDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
    }
    return self ? self->handle(msg, wp, lp) : FALSE;
}

INT_PTR OptionsDialog::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            onInit();
            return FALSE;  // the focus is set there
        case WM_COMMAND:
            onCommand(LOWORD(wp), HIWORD(wp));
            return TRUE;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lp)->code == TCN_SELCHANGE) onTabChanged();
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

INT_PTR OptionsDialog::onStaticColour(HDC dc, HWND control) {
    // The page's labels and check boxes show the tab's face beneath them.
    if (!(GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_TRANSPARENT)) return FALSE;
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

void OptionsDialog::onInit() {
    workspace_.state().openDialog = OpenDialog::Options;
    const LangStrings& s = workspace_.strings();
    HFONT font = uiFont(s);
    for (int id : {IDOK, IDCANCEL, IDC_APPLY})
        SendDlgItemMessageA(dlg_, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    builder_.begin(dlg_, instance_, font);

    SetWindowTextA(dlg_, s.text(Text::OptionsCaption).c_str());
    SetDlgItemTextA(dlg_, IDCANCEL, s.text(Text::Cancel).c_str());
    SetDlgItemTextA(dlg_, IDC_APPLY, s.text(Text::Apply).c_str());

    HWND tab = GetDlgItem(dlg_, IDC_OPTIONS_TAB);
    // The page's controls are drawn over the tab, not under it.
    SetWindowPos(tab, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    std::string label = s.text(Text::NetworkTab);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = label.data();
    SendMessageA(tab, TCM_INSERTITEMA, kNetworkPage, reinterpret_cast<LPARAM>(&item));

    buildNetworkPage();
    fillNetworkPage();
    onTabChanged();
    enableApply(false);
    SetFocus(dlg_);
}

void OptionsDialog::buildNetworkPage() {
    const LangStrings& s = workspace_.strings();
    builder_.destroyAll();
    builder_.groupBox(kNetworkPage, s.text(Text::ListenerGroup), 12, 30, 488, 100);
    builder_.staticText(kNetworkPage, s.text(Text::SettingTakesEffectAfterReboot), 100, 260, 400,
                        18, SS_RIGHT);
    useListener_ =
        builder_.checkBox(kNetworkPage, s.text(Text::UseListener), 18, 47, 400, 18, WS_TABSTOP);
    builder_.staticText(kNetworkPage, s.text(Text::LabelPortNo), 18, 70, 150, 18);
    port_ =
        builder_.editField(kNetworkPage, kPortFieldLimit, 170, 66, 60, 22, WS_TABSTOP | ES_NUMBER);
}

void OptionsDialog::fillNetworkPage() {
    const AppSettings& settings = workspace_.settings();
    SendMessageA(useListener_, BM_SETCHECK, settings.msrpEnable ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(port_, settings.msrpEnable);
    SetWindowTextA(port_, portFieldText(settings.savedMsrpPort).c_str());
}

void OptionsDialog::onTabChanged() {
    const LRESULT sel = SendDlgItemMessageA(dlg_, IDC_OPTIONS_TAB, TCM_GETCURSEL, 0, 0);
    builder_.showPage(sel < 0 ? kNetworkPage : static_cast<int>(sel));
}

void OptionsDialog::enableApply(bool on) {
    EnableWindow(GetDlgItem(dlg_, IDC_APPLY), on);
}

void OptionsDialog::onCommand(int id, int code) {
    const bool changed = IsWindowEnabled(GetDlgItem(dlg_, IDC_APPLY)) != FALSE;
    switch (id) {
        case kUseListenerId:
            if (code == BN_CLICKED) {
                EnableWindow(port_, SendMessageA(useListener_, BM_GETCHECK, 0, 0) == BST_CHECKED);
                enableApply(true);
            }
            break;
        case kPortFieldId:
        case kPortFieldId + 1:
            if (code == EN_CHANGE) enableApply(true);
            break;
        case IDC_APPLY:
            if (changed) save();
            break;
        case IDOK:
            if (changed) save();
            EndDialog(dlg_, IDOK);
            break;
        case IDCANCEL:
            EndDialog(dlg_, IDCANCEL);
            break;
        default:
            break;
    }
}

void OptionsDialog::save() {
    AppSettings& settings = workspace_.settings();
    settings.msrpEnable = SendMessageA(useListener_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    char text[kPortFieldRead + 1] = {};
    GetWindowTextA(port_, text, sizeof text);
    settings.savedMsrpPort = portFromField(text);
    settings.saveSettings();
}

void OptionsDialog::onDestroy() {
    builder_.end();
    workspace_.state().openDialog = OpenDialog::None;
    useListener_ = port_ = nullptr;
}

}  // namespace zelo
