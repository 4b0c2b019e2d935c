#pragma once
// How the core asks the user. The core never shows anything itself: where
// an error box, a question or the progress of a batch is due it calls this
// interface, which ZELO.exe, zeloctl and the tests each implement. Texts
// are named string-table ids.

#include <cstddef>
#include <string>

#include "zelo_text.h"

namespace zelo {

enum class Icon { Question, Information, Warning, Error };

class Frontend {
public:
    virtual ~Frontend() = default;

    // An error box: text and caption are string-table ids (caption
    // Text::ErrorCaption for the usual errors).
    virtual void showError(Text textId, Text captionId) = 0;
    // An error box whose text holds one number (a "%03d" in the string).
    virtual void showNumberedError(Text textId, Text captionId, int number) {
        (void)number;
        showError(textId, captionId);
    }
    // An error box about a connection, with what failed and why in the
    // system's words ("127.0.0.1:2301: connection refused"); front ends
    // that show only the text ignore the detail.
    virtual void showErrorDetail(Text textId, Text captionId, const std::string& detail) {
        (void)detail;
        showError(textId, captionId);
    }
    // A notice with the information icon (a lost connection); an error box
    // where the front end has nothing else.
    virtual void showNotice(Text textId, Text captionId) { showError(textId, captionId); }
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(Text textId, Text captionId, Icon icon) = 0;
    // A batch walk reached item `done` of `total`; `name` is the device in
    // hand (empty once the walk has ended).
    virtual void batchProgress(std::size_t done, std::size_t total, const std::string& name) {
        (void)done, (void)total, (void)name;
    }
};

// A front end that shows nothing and answers every question with `answer`.
class SilentFrontend : public Frontend {
public:
    explicit SilentFrontend(bool answer = true) : answer_(answer) {}
    void showError(Text, Text) override {}
    bool askYesNo(Text, Text, Icon) override { return answer_; }

private:
    bool answer_;
};

}  // namespace zelo
