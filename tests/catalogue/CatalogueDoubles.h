#pragma once

#include "ui/MessageBoxes.h"
#include "support/RecordingProgress.h"

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

// Answers questions from a script (Yes when the script is used up) and keeps what
// was shown.
class RecordingMessages : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        int flags = 0;
    };

    int ShowMessageBox(const std::string& text, int flags) override
    {
        shown.push_back({text, flags});
        if (answers.empty())
            return (flags & 0xF) == mb::kYesNo || (flags & 0xF) == mb::kYesNoCancel ? mb::kResultYes : mb::kResultOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<int> answers;
    std::vector<Shown> shown;
};

// Runs an action once, at the first chunk an item reports: while the transfer is on
// its way, between the size taken at the start and the last chunk.
class ActingProgress : public RecordingProgress {
public:
    void StepItemProgress() override
    {
        RecordingProgress::StepItemProgress();
        if (action)
            std::exchange(action, nullptr)();
    }
    std::function<void()> action;
};

} // namespace velmora::test
