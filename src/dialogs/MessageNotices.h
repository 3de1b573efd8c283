#pragma once

#include <QObject>
#include <QPointer>

#include <string>
#include <vector>

class QWidget;

namespace velmora {

class TmessageForm;

// Messages that nothing waits on: each box is shown without waiting for its answer and
// stays until the user closes it. A windowless start lives on while one is open.
class MessageNotices : public QObject {
    Q_OBJECT
public:
    explicit MessageNotices(QObject* parent = nullptr) : QObject(parent) {}
    ~MessageNotices() override;

    // mainWindow: where the box is centred while it is shown (may be null).
    void Show(const std::string& text, int flags, QWidget* mainWindow);
    // Boxes not closed yet.
    int Open() const;

signals:
    // A box was closed.
    void Closed();

private:
    std::vector<QPointer<TmessageForm>> m_boxes;
};

} // namespace velmora
