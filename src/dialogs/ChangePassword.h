#pragma once

class QWidget;

namespace velmora {

class Library;
class MessageBoxes;
class ProgressRoutines;

// The password change: the change dialog, then the question whether to re-encrypt every
// file, then the re-encryption under the new password with progress shown (no Cancel).
// Errors of the re-encryption are not caught here.
void doChangePass(QWidget* owner, Library& library, MessageBoxes& boxes, ProgressRoutines& progress);

// The question asked before re-encrypting (Yes/No, question icon).
inline constexpr const char* kChangePasswordQuestion =
    "Changing the password will cause all files to be re-encrypted.\r\n\r\n"
    "This may take some time, and cannot be cancelled.\r\nDo you wish to continue?";

} // namespace velmora
