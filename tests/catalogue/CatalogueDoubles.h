#pragma once

#include "ui/MessageBoxes.h"
#include "support/RecordingProgress.h"

#include <deque>
#include <string>
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

} // namespace velmora::test
