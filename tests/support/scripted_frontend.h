#pragma once
// A Frontend for tests: records every call and answers questions from a
// queue (Yes when the queue is empty).

#include <deque>
#include <string>
#include <vector>

#include "common/frontend.h"

namespace zelo::test {

class ScriptedFrontend : public Frontend {
public:
    struct Question {
        Text textId;
        Text captionId;
        Icon icon;
        bool operator==(const Question& o) const {
            return textId == o.textId && captionId == o.captionId && icon == o.icon;
        }
    };

    void showError(Text textId, Text captionId) override {
        errors.push_back(textId);
        errorCaptions.push_back(captionId);
    }
    void showNumberedError(Text textId, Text captionId, int number) override {
        showError(textId, captionId);
        numbers.push_back(number);
    }
    bool askYesNo(Text textId, Text captionId, Icon icon) override {
        questions.push_back({textId, captionId, icon});
        if (answers.empty()) return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void batchProgress(std::size_t done, std::size_t total, const std::string& name) override {
        progress.push_back({done, total, name});
    }

    std::deque<bool> answers;
    std::vector<Text> errors;
    std::vector<Text> errorCaptions;
    std::vector<int> numbers;  // of numbered errors
    std::vector<Question> questions;
    struct Progress {
        std::size_t done, total;
        std::string name;
    };
    std::vector<Progress> progress;
};

}  // namespace zelo::test
