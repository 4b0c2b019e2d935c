#include "win32/gui_frontend_win32.h"

#include <cstdio>
#include <string>

#include "settings/lang_strings.h"

namespace zelo {
namespace {

UINT iconStyle(Icon icon) {
    switch (icon) {
        case Icon::Question:
            return MB_ICONQUESTION;
        case Icon::Information:
            return MB_ICONINFORMATION;
        case Icon::Warning:
            return MB_ICONWARNING;
        case Icon::Error:
            return MB_ICONHAND;
    }
    return MB_ICONQUESTION;
}

}  // namespace

void GuiFrontend::showError(Text textId, Text captionId) {
    const std::string text = strings_->text(textId), caption = strings_->text(captionId);
    MessageBoxA(owner_, text.c_str(), caption.c_str(), MB_OK | MB_ICONHAND);
}

void GuiFrontend::showNumberedError(Text textId, Text captionId, int number) {
    // The text is our own string table's, with one "%03d" in it.
    const std::string format = strings_->text(textId), caption = strings_->text(captionId);
    char text[512];
    std::snprintf(text, sizeof text, format.c_str(), number);
    MessageBoxA(owner_, text, caption.c_str(), MB_OK | MB_ICONHAND);
}

void GuiFrontend::showNotice(Text textId, Text captionId) {
    const std::string text = strings_->text(textId), caption = strings_->text(captionId);
    MessageBoxA(owner_, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

bool GuiFrontend::askYesNo(Text textId, Text captionId, Icon icon) {
    const std::string text = strings_->text(textId), caption = strings_->text(captionId);
    return MessageBoxA(owner_, text.c_str(), caption.c_str(), MB_YESNO | iconStyle(icon)) == IDYES;
}

}  // namespace zelo
