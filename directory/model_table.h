#pragma once
// The device models. Their codes are stored in item files and are the list's
// image indexes, so they never change.

#include <string_view>

namespace zelo {

struct DeviceRecord;

inline constexpr int kNoModel = 1;
inline constexpr int kGroupEntry = 2;  // a group row, not a device

enum class ModelGroup { None, Other, Prompt, UserLogin };

struct ModelInfo {
    int code;
    std::string_view displayText;   // empty for codes 1 and 2
    std::string_view newModelName;  // modelName of a new record; empty: no new records
    ModelGroup group;
    bool showsUnitId;  // Terminal ID instead of the MAC address
    int iconResource;
};

// The entry for a code; codes outside 1..13 get the "no model" entry.
const ModelInfo& modelInfo(int code) noexcept;

// The code whose display text is `text` (HX-7200 ... GV2208), or 0.
int modelCodeFromDisplayText(std::string_view text) noexcept;

constexpr bool isPromptModel(int code) noexcept {
    return code == 3 || code == 5;
}
constexpr bool isUserLoginModel(int code) noexcept {
    return code >= 6 && code <= 13;
}
constexpr bool isUnitIdModel(int code) noexcept {
    return code >= 6 && code <= 10;
}
constexpr bool isLatestModel(int code) noexcept {
    return code >= 11 && code <= 13;
}
// Models of which new records are made (3, 5, 6..13).
constexpr bool isCreatableModel(int code) noexcept {
    return isPromptModel(code) || isUserLoginModel(code);
}

// Fills a new record's model-dependent fields (modelName, powerText,
// scheduleText, macText, password, loginName, prompt, selectNumber); the
// others keep the empty values a new record has.
void applyModelDefaults(DeviceRecord& record, int code);

}  // namespace zelo
