#pragma once

#include "ui/MessageBoxes.h"
#include "ui/ProgressRoutines.h"

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

// Keeps the progress routines called, in order, as readable lines.
class RecordingProgress : public ProgressRoutines {
public:
    void ShowProgress(const std::string& title, bool noCancel) override
    {
        calls.push_back("ShowProgress " + title + (noCancel ? " noCancel" : ""));
    }
    void ShowProgressAt(const std::string& title, int, int, bool noCancel, int, int) override
    {
        calls.push_back("ShowProgressAt " + title + (noCancel ? " noCancel" : ""));
    }
    void SetProgressTotal(const std::string& text, int maximum) override
    {
        calls.push_back("SetProgressTotal " + text + " " + std::to_string(maximum));
    }
    void SetProgressItem(const std::string& text, int maximum) override
    {
        calls.push_back("SetProgressItem " + text + " " + std::to_string(maximum));
    }
    void StepProgress() override { calls.push_back("StepProgress"); }
    void StepItemProgress() override { calls.push_back("StepItemProgress"); }
    bool ProgressCancelled() const override { return false; }
    void CancelProgress() override { calls.push_back("CancelProgress"); }
    void HideProgress() override { calls.push_back("HideProgress"); }

    std::vector<std::string> calls;
};

} // namespace velmora::test
