#pragma once
// The bookkeeping behind the tabbed dialogs whose controls are made at run
// time (the options dialog, the device control window): 13 numbered pages of
// at most 170 controls each, and one id counter per kind of control, so that
// a page's push buttons, check boxes and edit fields get ids the dialog can
// tell apart. The window side creates the controls; this keeps the rules.

#include <array>
#include <cstddef>
#include <vector>

namespace zelo {

enum class ControlKind { StaticText, GroupBox, PushButton, CheckBox, EditField };

inline constexpr int kControlPages = 13;
inline constexpr std::size_t kControlsPerPage = 170;
inline constexpr int kNoControlId = -1;  // labels and frames are never addressed
inline constexpr int kFirstPushButtonId = 3000;
inline constexpr int kFirstCheckBoxId = 3100;
inline constexpr int kFirstEditFieldId = 3300;

// The first id of a kind, or kNoControlId for kinds that get none.
constexpr int firstControlId(ControlKind kind) noexcept {
    switch (kind) {
        case ControlKind::PushButton:
            return kFirstPushButtonId;
        case ControlKind::CheckBox:
            return kFirstCheckBoxId;
        case ControlKind::EditField:
            return kFirstEditFieldId;
        default:
            return kNoControlId;
    }
}

template <class Handle>
class ControlPages {
public:
    // A tabbed dialog opens: ids start again at the first of each kind.
    void resetIds() noexcept { counters_.fill(0); }

    // The next `count` ids of `kind` are passed over, as if their controls
    // had been made (a page whose ids are fixed whichever rows it has).
    void skipIds(ControlKind kind, int count) noexcept {
        if (firstControlId(kind) != kNoControlId)
            counters_[static_cast<std::size_t>(kind)] += count;
    }

    // Whether page `page` exists and can take one more control.
    bool hasRoom(int page) const noexcept {
        return page >= 0 && page < kControlPages &&
               pages_[static_cast<std::size_t>(page)].size() < kControlsPerPage;
    }

    // The id the next control of `kind` gets, counted as used. Call only
    // after hasRoom, so that a control that is not made takes no id.
    int takeId(ControlKind kind) noexcept {
        const int first = firstControlId(kind);
        if (first == kNoControlId) return kNoControlId;
        return first + counters_[static_cast<std::size_t>(kind)]++;
    }

    void record(int page, Handle control) {
        pages_[static_cast<std::size_t>(page)].push_back(control);
    }

    const std::vector<Handle>& page(int page) const {
        return pages_[static_cast<std::size_t>(page)];
    }

    // Every control of every page, forgotten here; the caller destroys them.
    std::vector<Handle> takeAll() {
        std::vector<Handle> all;
        for (auto& p : pages_) {
            all.insert(all.end(), p.begin(), p.end());
            p.clear();
        }
        return all;
    }

    int currentPage() const noexcept { return current_; }
    void setCurrentPage(int page) noexcept { current_ = page; }

private:
    std::array<std::vector<Handle>, kControlPages> pages_{};
    std::array<int, 5> counters_{};
    int current_ = -1;
};

}  // namespace zelo
