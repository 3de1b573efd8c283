#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

namespace velmora {

// Lets a form see key presses before its controls do: the handler gets every key press
// aimed at the form or any widget inside it, and a true result swallows the key.
class KeyPreview : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(QKeyEvent*)>;

    // Watches form and every widget inside it, also those added later; owned by form.
    KeyPreview(QWidget* form, Handler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QObject* object);

    Handler m_handler;
};

} // namespace velmora
