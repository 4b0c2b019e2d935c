#include "directory/list_columns.h"

#include "common/format.h"
#include "directory/model_table.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"

namespace zelo {

std::string deviceIdColumnText(const DeviceRecord& r) {
    if (isUnitIdModel(r.modelCode)) return std::to_string(r.unitId);
    return r.macText.size() == 12 ? formatMac(r.macText) : r.macText;
}

std::array<std::string, kDeviceColumns> deviceColumnTexts(const DeviceRecord& r,
                                                          const AppSettings& settings,
                                                          const LangStrings& strings) {
    std::array<std::string, kDeviceColumns> c;
    c[0] = r.name;
    c[1] = r.addressText;
    c[2] = formatOutletStates(r.powerText, true, settings.language, settings.lineMstPow);
    c[3] = formatUpdateTime(r.updateTime, settings.dateStyle);
    c[4] = deviceIdColumnText(r);
    c[5] = r.pingText;
    c[6] = r.rebootText;
    if (r.temperatureState >= 0) {
        c[7] = std::to_string(r.temperature / 100);
        c[8] =
            r.temperatureState <= 4 ? strings.text(temperatureStateText(r.temperatureState)) : c[7];
    }
    for (std::string& text : c) text = cutText(text, 255);
    return c;
}

}  // namespace zelo
