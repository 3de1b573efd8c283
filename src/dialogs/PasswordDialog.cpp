#include "dialogs/PasswordDialog.h"

#include "dialogs/DialogPlacement.h"
#include "dialogs/KeyPreview.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <optional>

namespace velmora {

PasswordDialog::PasswordDialog(QWidget* owner, const char* name, const QString& caption, bool closeButton,
                               Placement placement)
    : QDialog(owner), m_placement(placement)
{
    setObjectName(QLatin1String(name));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeButton)
        flags |= Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowTitle(caption);
    m_layout = new QVBoxLayout(this);
}

void PasswordDialog::AddInfo(const QString& text, int wrapChars)
{
    lblInfo = new QLabel(text, this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    if (wrapChars > 0) {
        lblInfo->setWordWrap(true);
        lblInfo->setMinimumWidth(wrapChars * fontMetrics().averageCharWidth());
    }
    m_layout->addWidget(lblInfo);
}

QLineEdit* PasswordDialog::NewPasswordEdit(const char* name)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setEchoMode(QLineEdit::Password);
    m_edits.push_back(edit);
    return edit;
}

QLabel* PasswordDialog::AddPasswordRow(QLineEdit* edit)
{
    auto* label = new QLabel(QStringLiteral("&Password:"), this);
    label->setObjectName(QStringLiteral("lblPassword"));
    label->setBuddy(edit);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edit, 1);
    m_layout->addLayout(row);
    return label;
}

void PasswordDialog::AddPasswordFields(const std::vector<std::pair<QString, QLineEdit*>>& fields)
{
    auto* form = new QFormLayout;
    for (const auto& [label, edit] : fields)
        form->addRow(label, edit);
    m_layout->addSpacing(fontMetrics().height() / 2);
    m_layout->addLayout(form);
}

QPushButton* PasswordDialog::NewFormButton(const QString& text, const char* name)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

std::pair<QPushButton*, QPushButton*> PasswordDialog::AddButtons(const char* okName, const char* cancelName,
                                                                 std::function<void()> ok,
                                                                 std::function<void()> cancel)
{
    QPushButton* okButton = NewFormButton(QStringLiteral("OK"), okName);
    QPushButton* cancelButton = NewFormButton(QStringLiteral("Cancel"), cancelName);
    connect(okButton, &QPushButton::clicked, this, ok);
    connect(cancelButton, &QPushButton::clicked, this, cancel);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(okButton);
    row->addWidget(cancelButton);
    m_layout->addSpacing(fontMetrics().height() / 2);
    m_layout->addLayout(row);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);

    std::vector<QWidget*> order(m_edits.begin(), m_edits.end());
    order.push_back(okButton);
    order.push_back(cancelButton);
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    new KeyPreview(this, [ok = std::move(ok), cancel = std::move(cancel)](QKeyEvent* event) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ok();
            return true;
        case Qt::Key_Escape:
            cancel();
            return true;
        default:
            return false;
        }
    });
    return {okButton, cancelButton};
}

void PasswordDialog::showEvent(QShowEvent* event)
{
    std::optional<QRect> area;
    if (m_placement == Placement::CentredOnScreen) {
        if (QScreen* on = screen() ? screen() : QGuiApplication::primaryScreen())
            area = on->availableGeometry();
    } else if (m_placement == Placement::CentredOnOwner && parentWidget()) {
        area = parentWidget()->window()->frameGeometry();
    }
    if (area) {
        const QSize outer = frameGeometry().size();   // the frame is known once the window exists
        const WindowPosition at = CentredPosition({area->left(), area->top(), area->width(), area->height()},
                                                  outer.width(), outer.height());
        move(at.left, at.top);
    }
    QDialog::showEvent(event);
    if (m_placement == Placement::CentredOnScreen) {
        raise();
        activateWindow();
    }
    if (!m_edits.empty())
        m_edits.front()->setFocus(Qt::OtherFocusReason);
}

} // namespace velmora
