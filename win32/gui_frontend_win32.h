#pragma once
// The desktop program's side of the Frontend seam: message boxes owned by
// the main window.

#include <windows.h>

#include "common/frontend.h"

namespace zelo {

class LangStrings;

class GuiFrontend final : public Frontend {
public:
    // The strings come from the Workspace, which is built after the front end.
    void setStrings(const LangStrings& strings) noexcept { strings_ = &strings; }

    void setOwner(HWND owner) noexcept { owner_ = owner; }
    HWND owner() const noexcept { return owner_; }

    void showError(Text textId, Text captionId) override;
    void showNumberedError(Text textId, Text captionId, int number) override;
    void showNotice(Text textId, Text captionId) override;
    bool askYesNo(Text textId, Text captionId, Icon icon) override;

private:
    const LangStrings* strings_ = nullptr;
    HWND owner_ = nullptr;
};

}  // namespace zelo
