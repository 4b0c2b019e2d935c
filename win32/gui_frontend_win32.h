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

    void showError(int textId, int captionId) override;
    void showNumberedError(int textId, int captionId, int number) override;
    void showNotice(int textId, int captionId) override;
    bool askYesNo(int textId, int captionId, Icon icon) override;

private:
    const LangStrings* strings_ = nullptr;
    HWND owner_ = nullptr;
};

}  // namespace zelo
