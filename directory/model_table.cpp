#include "directory/model_table.h"

#include "directory/device_record.h"

namespace zelo {
namespace {

using G = ModelGroup;

constexpr ModelInfo kModels[] = {
    {1, "", "", G::Other, false, 705},
    {2, "", "", G::None, false, 706},
    {3, "HX-7200", "HX-7200", G::Prompt, false, 707},
    {4, "HX-7100", "", G::Other, false, 708},
    {5, "JB-81K", "JB-81K", G::Prompt, false, 709},
    {6, "SWD-6K", "SWD-6K", G::UserLogin, true, 710},
    {7, "SWD-6ZK", "SWD-6ZK", G::UserLogin, true, 710},
    {8, "SWD-7KA", "SWD-7KA", G::UserLogin, true, 738},
    {9, "SWD-7KB", "SWD-7KB", G::UserLogin, true, 738},
    {10, "SWD-8KBN", "SWD-8KB", G::UserLogin, true, 734},
    {11, "SWD-12K", "SWD-12K", G::UserLogin, false, 734},
    {12, "SWD-Q6M", "SWD-Q6M", G::UserLogin, false, 739},
    {13, "GV2208", "GV2208", G::UserLogin, false, 734},
};

}  // namespace

const ModelInfo& modelInfo(int code) noexcept {
    if (code >= 1 && code <= 13) return kModels[code - 1];
    return kModels[0];
}

int modelCodeFromDisplayText(std::string_view text) noexcept {
    for (const ModelInfo& m : kModels)
        if (!m.displayText.empty() && m.displayText == text) return m.code;
    return 0;
}

void applyModelDefaults(DeviceRecord& r, int code) {
    const ModelInfo& m = modelInfo(code);
    r.modelName = std::string(m.newModelName);
    r.macText = "000000000000";
    if (code == 3) {
        r.powerText = "1 1111";
        r.scheduleText = "1111";
        r.prompt = "HX";
    } else if (code == 5) {
        r.powerText = "1 111";
        r.scheduleText = "111";
        r.prompt = "JB";
    }
    if (isPromptModel(code)) {
        r.password = "7394";
        r.selectNumber = "00";
    } else if (isUserLoginModel(code)) {
        r.powerText = "1111";
        r.scheduleText = " ";
        r.password = "tavik";
        r.loginName = "admin";
    }
}

}  // namespace zelo
