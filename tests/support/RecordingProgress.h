#pragma once

#include "ui/ProgressRoutines.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::test {

// Keeps the progress calls as text lines (steps are counted, not written), presses
// Cancel after a number of overall steps, of item steps or of cancel checks (or never), and can fail the
// operation at its nth item as a power cut would.
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
        ++items;
        if (failOnItem > 0 && items == failOnItem)
            throw std::runtime_error("power cut");
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
    // The lines that begin with prefix ("item ", "total "), in order.
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const
    {
        std::vector<std::string> lines;
        for (const std::string& line : calls)
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        return lines;
    }

    std::vector<std::string> calls;
    int steps = 0;
    int itemSteps = 0;
    int allItemSteps = 0;
    int items = 0;
    int failOnItem = 0;
    int cancelAfterSteps = -1;
    int cancelAfterItemSteps = -1;   // Cancel pressed while an item is on its way
    int cancelAfterChecks = -1;
    mutable int cancelChecks = 0;
    bool cancelled = false;
    bool shown = false;
};

} // namespace velmora::test
