#pragma once
// What the background work needs to know of the front end's state: whether
// the status listener is open, a batch walk is running, and which modal
// window is open. One copy lives in the Workspace.

namespace zelo {

enum class OpenDialog { None, Control, Options, Property };

struct AppState {
    bool listenerOpen = false;
    bool busy = false;
    OpenDialog openDialog = OpenDialog::None;
};

}  // namespace zelo
