#pragma once

#include <QApplication>
#include <QString>

namespace velmora {

// The application object. Errors that no operation catches end that operation and are
// dropped without a message to the user: operations that want the user to know catch
// their errors and show a message themselves. It also carries the program's one style
// sheet.
class VelmoraApplication : public QApplication {
    Q_OBJECT
public:
    // Applies the style sheet.
    VelmoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The number of errors dropped so far (for diagnostics and tests).
    int DroppedErrors() const { return m_droppedErrors; }

    // The program's style sheet, from the compiled-in resources.
    static QString StyleSheet();

private:
    int m_droppedErrors = 0;
};

} // namespace velmora
