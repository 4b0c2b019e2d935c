#pragma once
// The property dialog's rules, apart from the window: which rows each model
// shows, what the fields hold at opening, and how an accepted dialog is
// written into the device's record.

#include <cstdint>
#include <string>

#include "directory/device_record.h"
#include "zelo_text.h"

namespace zelo {

// How the dialog looks for a row, decided once at opening by its model.
struct PropertyLayout {
    bool groupRow = false;  // only the name is there
    bool showPrompt = true, promptEnabled = true;
    bool showSelect = true, selectEnabled = true;
    bool loginEnabled = true;  // the Login check box
    bool showUser = false;     // user name row; the password row moves down one
    bool showSystemName = false;
    Text macLabel = Text::LabelMacAddress;  // or LabelTerminalId
    int macLimit = 2;                       // typing limit of the MAC field
};
PropertyLayout propertyLayoutOf(int modelCode);

// What the fields show at opening.
struct PropertyForm {
    std::string name;
    int modelSelection = -1;  // model code - 3, -1 for none
    bool login = false;
    std::string password, user, prompt, select, address, port, mac, systemName;
};
PropertyForm propertyFormOf(const DeviceRecord& record);

// Password and user fields are enabled with the Login box; the user field
// only for the user-login models.
inline bool passwordEnabled(const PropertyForm& form) {
    return form.login;
}
bool userEnabled(const PropertyForm& form, int openedModelCode);

enum class PropertySave { Saved, EmptyName };

// Writes an accepted form into `record` (the node's record): name 62
// characters, MAC letters and digits (12), model from the selection, login
// data when the box is checked, prompt and select for the prompt models,
// else the terminal id and system name, address 63 characters, port clamped
// to 65535. `form.port` is set to what the field then shows. The record is
// left alone when the name is empty.
PropertySave savePropertyForm(PropertyForm& form, DeviceRecord& record);

// The name of a group row as saved (63 characters); empty is refused.
inline std::string groupNameOf(const PropertyForm& form) {
    return cutText(form.name, 63);
}

}  // namespace zelo
