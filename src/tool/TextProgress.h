#pragma once

#include "tool/TerminalText.h"
#include "ui/ProgressRoutines.h"

#include <iostream>
#include <string>

namespace velmora {

// Long commands report on standard error: one line per item ("  [2/5] name", the name
// with its control characters escaped: it may come from an archive), and with titles
// on, the operation's title and its overall text first.
class TextProgress final : public ProgressRoutines {
public:
    explicit TextProgress(bool titles) : m_titles(titles) {}

    void ShowProgress(const std::string& title, bool) override
    {
        if (m_titles)
            std::cerr << tool::MessageForTerminal(title) << '\n';
    }
    void ShowProgressAt(const std::string& title, int, int, bool, int, int) override { ShowProgress(title, true); }
    void SetProgressTotal(const std::string& text, int maximum) override
    {
        m_total = maximum;
        if (m_titles)
            std::cerr << tool::MessageForTerminal(text) << '\n';
    }
    void SetProgressItem(const std::string& text, int) override
    {
        std::cerr << "  [" << ++m_done << "/" << m_total << "] " << tool::ForTerminal(text) << '\n';
    }
    void StepProgress() override {}
    void StepItemProgress() override {}
    bool ProgressCancelled() const override { return false; }
    void CancelProgress() override {}
    void HideProgress() override {}

private:
    bool m_titles;
    int m_total = 0;
    int m_done = 0;
};

} // namespace velmora
