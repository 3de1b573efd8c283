#pragma once

#include <string>

namespace velmora {

// Message-box flags and results, with the values every caller uses.
namespace mb {
inline constexpr int kOk = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kIconError = 16;
inline constexpr int kIconQuestion = 32;
inline constexpr int kIconWarning = 48;
inline constexpr int kIconInformation = 64;

inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;
} // namespace mb

// How GUI-free code asks the user something or tells them; the program answers
// with the message box, tests answer and observe.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Returns the result code of the button chosen.
    virtual int ShowMessageBox(const std::string& text, int flags) = 0;
};

} // namespace velmora
