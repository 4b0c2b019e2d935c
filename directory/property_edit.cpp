#include "directory/property_edit.h"

#include "common/format.h"
#include "common/scan.h"
#include "directory/model_table.h"

namespace zelo {
namespace {

constexpr std::size_t kNameField = 62;
constexpr std::size_t kAddressField = 63;
constexpr std::size_t kLoginField = 16;
constexpr std::size_t kMacFieldRead = 19;
constexpr std::size_t kUnitDigits = 5;

std::uint32_t leadingNumber(std::string_view text) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < text.size() && i < kUnitDigits && text[i] >= '0' && text[i] <= '9';
         ++i)
        v = v * 10 + static_cast<std::uint32_t>(text[i] - '0');
    return v;
}

}  // namespace

std::string macFromField(std::string_view text, int modelCode) {
    const bool mac = !isUnitIdModel(modelCode);
    std::string out;
    for (char c : text.substr(0, kMacFieldRead))
        if (isAsciiAlphaNumeric(c) && out.size() < field::kMac) out += mac ? asciiUpper(c) : c;
    return out;
}

EditResult applyPropertyField(DeviceRecord& r, std::string_view name, std::string_view value) {
    if (name == "name") {
        if (value.empty()) return EditResult::BadValue;
        r.name = cutText(value, kNameField);
    } else if (name == "model") {
        int code = modelCodeFromDisplayText(value);
        if (code == 0) {
            const std::int64_t n = parseInt(value);
            if (n >= 1 && n <= 13 && n != 2) code = static_cast<int>(n);
        }
        if (code == 0) return EditResult::BadValue;
        r.modelCode = code;
    } else if (name == "address") {
        r.addressText = cutText(value, kAddressField);
    } else if (name == "port") {
        const std::int64_t n = parseInt(value);
        if (value.empty() || n < 0) return EditResult::BadValue;
        r.port = static_cast<std::uint16_t>(n > 65535 ? 65535 : n);
    } else if (name == "mac" || name == "unit") {
        if (isUnitIdModel(r.modelCode)) {
            r.unitId = leadingNumber(value);
            r.macText = macFromField(value, r.modelCode);
        } else if (name == "mac") {
            r.macText = macFromField(value, r.modelCode);
        } else {
            const std::int64_t n = parseInt(value);
            if (value.empty() || n < 0) return EditResult::BadValue;
            r.unitId = static_cast<std::uint32_t>(n);
        }
    } else if (name == "password") {
        r.password = cutText(value, kLoginField);
    } else if (name == "user") {
        r.loginName = cutText(value, kLoginField);
    } else if (name == "prompt") {
        r.prompt = cutText(value, field::kPrompt);
    } else if (name == "select") {
        r.selectNumber = cutText(value, field::kSelect);
    } else {
        return EditResult::UnknownField;
    }
    return EditResult::Ok;
}

}  // namespace zelo
