#pragma once
// How the core speaks to the user. The core never shows anything itself:
// where a message, a question or a redraw is due it calls this interface,
// which ZELO.exe, zeloctl and the tests each implement.

#include <cstdint>

namespace zelo {

struct DeviceRecord;

enum class Icon { Question, Information, Warning, Error };

class Frontend {
public:
    virtual ~Frontend() = default;

    // An error box: text and caption are string-table ids (caption 185
    // "Error" for the usual errors).
    virtual void showError(int textId, int captionId) = 0;
    // An error box whose text holds one number (a "%03d" in the string).
    virtual void showNumberedError(int textId, int captionId, int number) {
        (void)number;
        showError(textId, captionId);
    }
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(int textId, int captionId, Icon icon) = 0;
    // A device's record changed: refresh its list row when it is shown.
    virtual void deviceRecordChanged(const DeviceRecord& record) = 0;
    // The device control window should redraw outlet `index` (0-based), or
    // with -1 the master lamp and the enabling rules.
    virtual void outletChanged(int index) = 0;
    // Whether the device control window is open (it shows currentRecord).
    virtual bool controlWindowOpen() const = 0;
    // The connection to the device was lost.
    virtual void connectionLost() = 0;
};

// A front end that shows nothing and answers every question with `answer`.
class SilentFrontend : public Frontend {
public:
    explicit SilentFrontend(bool answer = true) : answer_(answer) {}
    void showError(int, int) override {}
    bool askYesNo(int, int, Icon) override { return answer_; }
    void deviceRecordChanged(const DeviceRecord&) override {}
    void outletChanged(int) override {}
    bool controlWindowOpen() const override { return false; }
    void connectionLost() override {}

private:
    bool answer_;
};

// What the background work needs to know of the front end's state: whether
// the status listener is open, a batch walk is running, and which modal
// window is open (0 none, 1 device control window, 2 options, 3 property
// dialog).
struct AppState {
    bool listenerOpen = false;
    bool busy = false;
    int openDialog = 0;
};

}  // namespace zelo
