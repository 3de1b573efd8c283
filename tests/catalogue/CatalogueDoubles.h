#pragma once

#include "dialogs/MessageBoxes.h"
#include "dialogs/ProgressRoutines.h"

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

// Keeps the progress calls as text lines and presses Cancel after a number of overall
// steps, of item steps, or of cancel checks (or never).
class RecordingProgress : public ProgressRoutines {
public:
    void ShowProgress(const std::string& title, bool noCancel) override
    {
        Log("show " + title + (noCancel ? " nocancel" : ""));
        cancelled = false;
        shown = true;
    }
    void ShowProgressAt(const std::string& title, int left, int top, bool noCancel, int height, int width) override
    {
        Log("showat " + title + " " + std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(width) +
            "x" + std::to_string(height) + (noCancel ? " nocancel" : ""));
        cancelled = false;
        shown = true;
    }
    void SetProgressTotal(const std::string& text, int maximum) override
    {
        Log("total " + text + " " + std::to_string(maximum));
    }
    void SetProgressItem(const std::string& text, int maximum) override
    {
        Log("item " + text + " " + std::to_string(maximum));
        itemSteps = 0;
    }
    void StepProgress() override
    {
        ++steps;
        if (cancelAfterSteps >= 0 && steps >= cancelAfterSteps)
            cancelled = true;
    }
    void StepItemProgress() override
    {
        ++itemSteps, ++allItemSteps;
        if (cancelAfterItemSteps >= 0 && allItemSteps >= cancelAfterItemSteps)
            cancelled = true;
    }
    bool ProgressCancelled() const override
    {
        ++cancelChecks;
        return cancelled || (cancelAfterChecks >= 0 && cancelChecks > cancelAfterChecks);
    }
    void CancelProgress() override { cancelled = true; }
    void HideProgress() override
    {
        Log("hide");
        shown = false;
    }

    void Log(std::string line) { calls.push_back(std::move(line)); }

    std::vector<std::string> calls;
    int steps = 0;
    int itemSteps = 0;
    int allItemSteps = 0;
    int cancelAfterSteps = -1;
    int cancelAfterItemSteps = -1;   // Cancel pressed while an item is on its way
    int cancelAfterChecks = -1;
    mutable int cancelChecks = 0;
    bool cancelled = false;
    bool shown = false;
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
