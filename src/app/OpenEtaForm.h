#pragma once

#include "platform/MessageWindow.h"

#include <QObject>

#include <cstdint>
#include <string>

namespace velmora {

class HandOverTarget;

// The hidden hand-over window "Velmora Open ETA Form": exists for the whole run so a
// second instance finds it, and turns each WM_OPENETA into adds and imports.
class TfrmOpenETA : public QObject {
    Q_OBJECT
public:
    // The list files are looked for in appDir (the program folder).
    TfrmOpenETA(HandOverTarget& target, std::string appDir, QObject* parent = nullptr);
    // The same in HandOverFolder().
    explicit TfrmOpenETA(HandOverTarget& target, QObject* parent = nullptr);

    // Starts listening under the caption; false when the window cannot be created
    // (a live window of that caption exists already).
    bool Create();
    bool IsCreated() const { return m_window.IsCreated(); }

    // The receiver: brings the program to the front, reads the list file named by
    // lParam, deletes it, then adds its media files and folders in one AddFileList
    // call (delete mode 2 when DeleteSourceByDefault, else 0) and imports its archives
    // one by one in their order, trimmed. Files always come before archives. When the
    // list names a data folder other than GetDataDir(), nothing is added or imported:
    // the target says which library is open instead. A list file that is missing or
    // cannot be read is dropped without a word. Errors of the target propagate.
    void WMOpenETA(std::int64_t lParam);

private:
    void MessageReceived(quint32 message, quint64 wParam, qint64 lParam);

    HandOverTarget& m_target;
    std::string m_appDir;
    MessageWindow m_window;
};

} // namespace velmora
