#pragma once
// The desktop program's side of the Frontend seam: message boxes owned by
// the main window, and the redraws of the list and the control window.

#include <windows.h>

#include "app/frontend.h"

namespace zelo {

class LangStrings;

class GuiFrontend final : public Frontend {
public:
    GuiFrontend(const LangStrings& strings, const AppState& state) noexcept
        : strings_(strings), state_(state) {}

    void setOwner(HWND owner) noexcept { owner_ = owner; }

    void showError(int textId, int captionId) override;
    void showNumberedError(int textId, int captionId, int number) override;
    bool askYesNo(int textId, int captionId, Icon icon) override;
    // The list view and the control window come with their own windows.
    void deviceRecordChanged(const DeviceRecord&) override {}
    void outletChanged(int) override {}
    bool controlWindowOpen() const override { return state_.openDialog == 1; }
    void connectionLost() override {}

private:
    const LangStrings& strings_;
    const AppState& state_;
    HWND owner_ = nullptr;
};

}  // namespace zelo
