#include "app/property_dialog.h"

#include <algorithm>

#include "common/format.h"
#include "directory/model_table.h"
#include "directory/property_edit.h"

namespace zelo {
namespace {

constexpr std::size_t kNameKept = 62, kNameRead = 63, kAddressKept = 63, kLoginKept = 16,
                      kUnitDigits = 5;
constexpr std::uint32_t kPortMax = 65535;

// The decimal number at the start of a text (at most `digits` digits read,
// saturating at `max`).
std::uint64_t leadingNumber(std::string_view text, std::size_t digits, std::uint64_t max) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < text.size() && i < digits && text[i] >= '0' && text[i] <= '9'; ++i)
        v = std::min<std::uint64_t>(v * 10 + static_cast<std::uint64_t>(text[i] - '0'), max + 1);
    return v;
}

}  // namespace

PropertyLayout propertyLayoutOf(int code) {
    PropertyLayout l;
    if (code == kGroupEntry) {
        l.groupRow = true;
        l.showPrompt = l.showSelect = l.loginEnabled = false;
        return l;
    }
    if (isPromptModel(code)) {
        l.loginEnabled = false;
        l.macLimit = 17;
    } else if (code == 4) {
        l.selectEnabled = false;
        l.macLimit = 17;
    } else if (isUserLoginModel(code)) {
        l.showPrompt = l.showSelect = false;
        l.loginEnabled = false;
        l.showUser = l.showSystemName = true;
        l.macLabel = isUnitIdModel(code) ? Text::LabelTerminalId : Text::LabelMacAddress;
        l.macLimit = isUnitIdModel(code) ? 5 : 20;
    } else {
        l.promptEnabled = l.selectEnabled = false;
        // The field shows the address with colons: it takes as many.
        l.macLimit = 17;
    }
    return l;
}

PropertyForm propertyFormOf(const DeviceRecord& r) {
    PropertyForm f;
    f.name = r.name;
    if (r.modelCode == kGroupEntry) return f;
    f.modelSelection = r.modelCode >= 3 && r.modelCode <= 13 ? r.modelCode - 3 : -1;
    f.login = !r.password.empty() || !r.loginName.empty();
    if (f.login) {
        f.password = r.password;
        f.user = r.loginName;
    }
    f.prompt = r.prompt;
    f.select = r.selectNumber;
    f.address = r.addressText;
    f.port = std::to_string(r.port);
    f.mac = isUnitIdModel(r.modelCode) ? std::to_string(r.unitId) : formatMac(r.macText);
    f.systemName = r.systemName;
    return f;
}

bool userEnabled(const PropertyForm& form, int openedModelCode) {
    return form.login && isUserLoginModel(openedModelCode);
}

PropertySave savePropertyForm(PropertyForm& f, DeviceRecord& r) {
    const std::string name = cutText(f.name, kNameRead);
    if (name.empty()) return PropertySave::EmptyName;
    r.name = cutText(name, kNameKept);
    r.modelCode = f.modelSelection >= 0 && f.modelSelection <= 10 ? f.modelSelection + 3 : kNoModel;
    r.macText = macFromField(f.mac, r.modelCode);
    r.password.clear();
    r.loginName.clear();
    if (f.login) {
        r.password = cutText(f.password, kLoginKept);
        if (isUserLoginModel(r.modelCode)) r.loginName = cutText(f.user, kLoginKept);
    }
    if (isPromptModel(r.modelCode)) {
        r.prompt = cutText(f.prompt, field::kPrompt);
        r.selectNumber = cutText(f.select, field::kSelect);
    } else {
        r.unitId = static_cast<std::uint32_t>(leadingNumber(f.mac, kUnitDigits, 99999));
        r.systemName = cutText(f.systemName, field::kSystemName);
    }
    r.addressText = cutText(f.address, kAddressKept);
    const std::uint64_t port = leadingNumber(f.port, 12, kPortMax);
    if (port > kPortMax) f.port = std::to_string(kPortMax);
    r.port = static_cast<std::uint16_t>(std::min<std::uint64_t>(port, kPortMax));
    return PropertySave::Saved;
}

}  // namespace zelo
