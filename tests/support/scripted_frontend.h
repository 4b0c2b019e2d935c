#pragma once
// A Frontend for tests: records every call and answers questions from a
// queue (Yes when the queue is empty, unless told otherwise).

#include <deque>
#include <string>
#include <vector>

#include "app/frontend.h"
#include "directory/device_record.h"

namespace zelo::test {

class ScriptedFrontend : public Frontend {
public:
    struct Question {
        int textId;
        int captionId;
        Icon icon;
    };

    void showError(int textId, int captionId) override {
        errors.push_back(textId);
        errorCaptions.push_back(captionId);
    }
    void showNumberedError(int textId, int captionId, int number) override {
        showError(textId, captionId);
        numbers.push_back(number);
    }
    bool askYesNo(int textId, int captionId, Icon icon) override {
        questions.push_back({textId, captionId, icon});
        if (answers.empty()) return defaultAnswer;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void deviceRecordChanged(const DeviceRecord& r) override { changedRecords.push_back(r); }
    void outletChanged(int index) override { redrawnOutlets.push_back(index); }
    bool controlWindowOpen() const override { return windowOpen; }
    void connectionLost() override { ++losses; }

    std::deque<bool> answers;
    bool defaultAnswer = true;
    bool windowOpen = false;
    std::vector<int> errors;
    std::vector<int> errorCaptions;
    std::vector<int> numbers;  // of numbered errors
    std::vector<Question> questions;
    std::vector<DeviceRecord> changedRecords;
    std::vector<int> redrawnOutlets;
    int losses = 0;
};

}  // namespace zelo::test
