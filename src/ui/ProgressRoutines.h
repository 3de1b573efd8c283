#pragma once

#include <string>

namespace velmora {

// The routines through which long operations report to the shared progress window.
// GUI-free code takes this interface; the program passes the window, tests observe it.
class ProgressRoutines {
public:
    virtual ~ProgressRoutines() = default;

    virtual void ShowProgress(const std::string& title, bool noCancel) = 0;
    virtual void ShowProgressAt(const std::string& title, int left, int top, bool noCancel,
                                int height, int width) = 0;
    virtual void SetProgressTotal(const std::string& text, int maximum) = 0;
    virtual void SetProgressItem(const std::string& text, int maximum) = 0;
    virtual void StepProgress() = 0;
    virtual void StepItemProgress() = 0;
    virtual bool ProgressCancelled() const = 0;
    virtual void CancelProgress() = 0;
    virtual void HideProgress() = 0;
};

// For work that runs where nobody watches (background threads, the command line).
class NullProgress : public ProgressRoutines {
public:
    void ShowProgress(const std::string&, bool) override {}
    void ShowProgressAt(const std::string&, int, int, bool, int, int) override {}
    void SetProgressTotal(const std::string&, int) override {}
    void SetProgressItem(const std::string&, int) override {}
    void StepProgress() override {}
    void StepItemProgress() override {}
    bool ProgressCancelled() const override { return false; }
    void CancelProgress() override {}
    void HideProgress() override {}
};

// Hides the progress window when the operation ends, however it ends.
class ProgressScope {
public:
    explicit ProgressScope(ProgressRoutines& progress) : m_progress(progress) {}
    ~ProgressScope() { m_progress.HideProgress(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressRoutines& m_progress;
};

} // namespace velmora
