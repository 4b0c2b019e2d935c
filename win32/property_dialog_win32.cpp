#include "win32/property_dialog_win32.h"

#include <commctrl.h>

#include "app/workspace.h"
#include "directory/model_table.h"
#include "resources/resource_ids.h"
#include "win32/lang_fonts_win32.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace zelo {
namespace {

constexpr int kDropDownHeight = 200;

// Every edit whose change enables Apply.
constexpr int kTrackedEdits[] = {IDC_PROP_NAME,   IDC_PROP_ADDRESS, IDC_PROP_PORT,
                                 IDC_PROP_PROMPT, IDC_PROP_SELECT,  IDC_PROP_PASSWORD,
                                 IDC_PROP_USER,   IDC_PROP_MAC,     IDC_PROP_SYSNAME};
// What a group row keeps: the name, the tab, the icon, the buttons.
constexpr int kGroupRowKeeps[] = {IDC_PROP_NAME, IDC_PROP_TAB, IDC_PROP_ICON,
                                  IDOK,          IDCANCEL,     IDC_APPLY};

std::string itemText(HWND dlg, int id, int keep) {
    char text[256] = {};
    GetDlgItemTextA(dlg, id, text, keep + 1);
    return text;
}

}  // namespace

INT_PTR PropertyDialog::run(HWND owner) {
    return DialogBoxParamA(app_.instance(), MAKEINTRESOURCEA(IDD_PROPERTY), owner, dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK PropertyDialog::dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    PropertyDialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<PropertyDialog*>(lp);
        self->dlg_ = dlg;
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
    } else {
        self = reinterpret_cast<PropertyDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
    }
    return self ? self->handle(msg, wp, lp) : FALSE;
}

INT_PTR PropertyDialog::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            onInit();
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            // Labels and the check box show the tab's face beneath them;
            // read-only and disabled edits keep their own.
            char cls[16] = {};
            GetClassNameA(reinterpret_cast<HWND>(lp), cls, sizeof cls);
            if (lstrcmpiA(cls, "Edit") == 0) return FALSE;
            SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
            return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
        }
        case WM_COMMAND:
            onCommand(LOWORD(wp), HIWORD(wp));
            return TRUE;
        case WM_DESTROY:
            onDestroy();
            return TRUE;
        default:
            return FALSE;
    }
}

void PropertyDialog::onInit() {
    Workspace& ws = app_.workspace();
    const LangStrings& s = ws.strings();
    ws.state().openDialog = OpenDialog::Property;
    app_.setMessageOwner(dlg_);
    filling_ = true;
    HFONT font = uiFont(s);
    for (HWND c = GetWindow(dlg_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // Labels and the check box paint after the tab beneath them.
        char cls[16] = {};
        GetClassNameA(c, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0 || GetDlgCtrlID(c) == IDC_PROP_LOGIN)
            SetWindowLongA(c, GWL_EXSTYLE, GetWindowLongA(c, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    }
    SetWindowTextA(dlg_, s.text(Text::Property).c_str());
    std::string tabText = s.text(Text::TabMain);
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = tabText.data();
    SendDlgItemMessageA(dlg_, IDC_PROP_TAB, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tab));
    SetWindowPos(GetDlgItem(dlg_, IDC_PROP_TAB), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const int icon =
        row_.modelCode == kGroupEntry ? IDI_GROUP : modelInfo(row_.modelCode).iconResource;
    SendDlgItemMessageA(
        dlg_, IDC_PROP_ICON, STM_SETICON,
        reinterpret_cast<WPARAM>(LoadIconA(app_.instance(), MAKEINTRESOURCEA(icon))), 0);
    const std::pair<int, Text> labels[] = {{IDC_PROP_MODEL_LABEL, Text::LabelProductType},
                                           {IDC_PROP_PROMPT_LABEL, Text::LabelPrompt},
                                           {IDC_PROP_SELECT_LABEL, Text::LabelSelectNo},
                                           {IDC_PROP_PASSWORD_LABEL, Text::LabelPassword},
                                           {IDC_PROP_LOGIN, Text::LabelLogin},
                                           {IDC_PROP_USER_LABEL, Text::LabelUserName},
                                           {IDC_PROP_ADDRESS_LABEL, Text::LabelAddressPort},
                                           {IDC_PROP_MAC_LABEL, layout_.macLabel},
                                           {IDC_PROP_SYSNAME_LABEL, Text::LabelSystemName},
                                           {IDCANCEL, Text::Cancel},
                                           {IDC_APPLY, Text::Apply}};
    for (const auto& [id, text] : labels) SetDlgItemTextA(dlg_, id, s.text(text).c_str());

    HWND models = GetDlgItem(dlg_, IDC_PROP_MODEL);
    for (int code = 3; code <= 13; ++code)
        SendMessageA(models, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(std::string(modelInfo(code).displayText).c_str()));
    RECT r{};
    GetWindowRect(models, &r);
    SetWindowPos(models, nullptr, 0, 0, r.right - r.left, kDropDownHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const std::pair<int, int> limits[] = {{IDC_PROP_NAME, 63},   {IDC_PROP_PROMPT, 2},
                                          {IDC_PROP_SELECT, 2},  {IDC_PROP_PASSWORD, 16},
                                          {IDC_PROP_USER, 16},   {IDC_PROP_ADDRESS, 127},
                                          {IDC_PROP_PORT, 5},    {IDC_PROP_MAC, layout_.macLimit},
                                          {IDC_PROP_SYSNAME, 32}};
    for (const auto& [id, limit] : limits) SendDlgItemMessageA(dlg_, id, EM_LIMITTEXT, limit, 0);

    applyLayout();
    // Rows moved or shown: paint the tab first, then what lies on it.
    RedrawWindow(dlg_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    fill(propertyFormOf(row_));
    enableApply(false);
    filling_ = false;
}

void PropertyDialog::applyLayout() {
    const auto show = [this](int id, bool on) {
        ShowWindow(GetDlgItem(dlg_, id), on ? SW_SHOW : SW_HIDE);
    };
    const auto enable = [this](int id, bool on) { EnableWindow(GetDlgItem(dlg_, id), on); };
    if (layout_.groupRow) {
        for (HWND c = GetWindow(dlg_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            const int id = GetDlgCtrlID(c);
            bool keep = id == IDC_STATIC;  // the frames
            for (int k : kGroupRowKeeps) keep = keep || id == k;
            if (!keep) ShowWindow(c, SW_HIDE);
        }
        return;
    }
    show(IDC_PROP_PROMPT_LABEL, layout_.showPrompt);
    show(IDC_PROP_PROMPT, layout_.showPrompt);
    enable(IDC_PROP_PROMPT, layout_.promptEnabled);
    show(IDC_PROP_SELECT_LABEL, layout_.showSelect);
    show(IDC_PROP_SELECT, layout_.showSelect);
    enable(IDC_PROP_SELECT, layout_.selectEnabled);
    enable(IDC_PROP_LOGIN, layout_.loginEnabled);
    show(IDC_PROP_USER_LABEL, layout_.showUser);
    show(IDC_PROP_USER, layout_.showUser);
    show(IDC_PROP_SYSNAME_LABEL, layout_.showSystemName);
    show(IDC_PROP_SYSNAME, layout_.showSystemName);
    if (layout_.showUser) {
        // The password row moves down one row, below the user name.
        RECT step{0, 0, 0, PROPERTY_ROW_DLU};
        MapDialogRect(dlg_, &step);
        for (int id : {IDC_PROP_PASSWORD_LABEL, IDC_PROP_PASSWORD}) {
            HWND c = GetDlgItem(dlg_, id);
            RECT r{};
            GetWindowRect(c, &r);
            MapWindowPoints(nullptr, dlg_, reinterpret_cast<POINT*>(&r), 2);
            SetWindowPos(c, nullptr, r.left, r.top + step.bottom, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

void PropertyDialog::fill(const PropertyForm& f) {
    const std::pair<int, const std::string*> texts[] = {
        {IDC_PROP_NAME, &f.name},         {IDC_PROP_PASSWORD, &f.password},
        {IDC_PROP_USER, &f.user},         {IDC_PROP_PROMPT, &f.prompt},
        {IDC_PROP_SELECT, &f.select},     {IDC_PROP_ADDRESS, &f.address},
        {IDC_PROP_PORT, &f.port},         {IDC_PROP_MAC, &f.mac},
        {IDC_PROP_SYSNAME, &f.systemName}};
    for (const auto& [id, text] : texts) SetDlgItemTextA(dlg_, id, text->c_str());
    SendDlgItemMessageA(dlg_, IDC_PROP_MODEL, CB_SETCURSEL, static_cast<WPARAM>(f.modelSelection),
                        0);
    CheckDlgButton(dlg_, IDC_PROP_LOGIN, f.login ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dlg_, IDC_PROP_PASSWORD), passwordEnabled(f));
    EnableWindow(GetDlgItem(dlg_, IDC_PROP_USER), userEnabled(f, row_.modelCode));
}

PropertyForm PropertyDialog::read() const {
    PropertyForm f;
    f.name = itemText(dlg_, IDC_PROP_NAME, 63);
    f.modelSelection =
        static_cast<int>(SendDlgItemMessageA(dlg_, IDC_PROP_MODEL, CB_GETCURSEL, 0, 0));
    f.login = IsDlgButtonChecked(dlg_, IDC_PROP_LOGIN) == BST_CHECKED;
    f.password = itemText(dlg_, IDC_PROP_PASSWORD, 16);
    f.user = itemText(dlg_, IDC_PROP_USER, 16);
    f.prompt = itemText(dlg_, IDC_PROP_PROMPT, 2);
    f.select = itemText(dlg_, IDC_PROP_SELECT, 2);
    f.address = itemText(dlg_, IDC_PROP_ADDRESS, 63);
    f.port = itemText(dlg_, IDC_PROP_PORT, 15);
    f.mac = itemText(dlg_, IDC_PROP_MAC, 19);
    f.systemName = itemText(dlg_, IDC_PROP_SYSNAME, 31);
    return f;
}

void PropertyDialog::onCommand(int id, int code) {
    if (filling_) return;
    for (int edit : kTrackedEdits)
        if (id == edit && code == EN_CHANGE) enableApply(true);
    if (id == IDC_PROP_MODEL && code == CBN_SELCHANGE) enableApply(true);
    if (id == IDC_PROP_LOGIN && code == BN_CLICKED) {
        PropertyForm f;
        f.login = IsDlgButtonChecked(dlg_, IDC_PROP_LOGIN) == BST_CHECKED;
        EnableWindow(GetDlgItem(dlg_, IDC_PROP_PASSWORD), passwordEnabled(f));
        EnableWindow(GetDlgItem(dlg_, IDC_PROP_USER), userEnabled(f, row_.modelCode));
        enableApply(true);
    }
    switch (id) {
        case IDC_APPLY:
            if (applyEnabled() && save()) enableApply(false);
            break;
        case IDOK:
            if (applyEnabled() && !save()) break;
            EndDialog(dlg_, IDOK);
            break;
        case IDCANCEL:
            EndDialog(dlg_, IDCANCEL);
            break;
        default:
            break;
    }
}

bool PropertyDialog::save() {
    PropertyForm form = read();
    Workspace& ws = app_.workspace();
    if (form.name.empty()) {
        app_.frontend().showError(Text::EnterName, Text::ChangeNameCaption);
        return false;
    }
    PaneLink* panes = app_.deviceView().panes();
    if (layout_.groupRow) {
        const std::string name = groupNameOf(form);
        ws.directory().renameGroup(row_.groupId, name);
        if (panes) panes->groupRenamed(row_.groupId, name);
        return true;
    }
    DeviceRecord* node = ws.directory().devices().find(row_.deviceId);
    if (!node) return true;
    DeviceRecord record = *node;
    savePropertyForm(form, record);
    SetDlgItemTextA(dlg_, IDC_PROP_PORT, form.port.c_str());
    DeviceRecord& current = ws.current().record();
    if (current.deviceId == record.deviceId) {
        current.addressText = record.addressText;
        current.ipAddress = resolveDeviceAddress(ws.network(), record.addressText);
    }
    // A failed write leaves memory as the file is; the row shows what is kept.
    ws.directory().saveDevice(record);
    if (panes) panes->recordChanged(*ws.directory().devices().find(row_.deviceId));
    return true;
}

void PropertyDialog::onDestroy() {
    app_.workspace().state().openDialog = OpenDialog::None;
    app_.setMessageOwner(nullptr);
    if (app_.mainWindow() && app_.mainWindow()->hwnd()) SetFocus(app_.mainWindow()->hwnd());
}

}  // namespace zelo
