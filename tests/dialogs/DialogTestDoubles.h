#pragma once

#include "ui/MessageBoxes.h"
#include "support/RecordingProgress.h"

#include <deque>
#include <string>
#include <vector>

namespace velmora::test {

// Answers message boxes from a queue (then with the default answer) and keeps every
// message asked.
class RecordingMessageBoxes : public MessageBoxes {
public:
    struct Message {
        std::string text;
        int flags;
    };

    int ShowMessageBox(const std::string& text, int flags) override
    {
        messages.push_back({text, flags});
        if (answers.empty())
            return defaultAnswer;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Message> messages;
    std::deque<int> answers;
    int defaultAnswer = mb::kResultOk;
};

} // namespace velmora::test
