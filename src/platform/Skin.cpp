#include "platform/Skin.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>

namespace velmora {

namespace {

// Marks a widget as attached to one skin, so Refresh never connects it twice.
constexpr const char* kAttachedProperty = "velmoraSkin";

bool IsSwitch(const QWidget* widget)
{
    return qobject_cast<const QCheckBox*>(widget) != nullptr ||
           (qobject_cast<const QAbstractButton*>(widget) != nullptr &&
            widget->property("skinSwitch").toBool());
}

bool IsTrackBar(const QWidget* widget)
{
    return qobject_cast<const QAbstractSlider*>(widget) != nullptr;
}

bool IsButton(const QWidget* widget)
{
    return qobject_cast<const QAbstractButton*>(widget) != nullptr && !IsSwitch(widget);
}

bool IsLabel(const QWidget* widget)
{
    return qobject_cast<const QLabel*>(widget) != nullptr;
}

template <typename Predicate>
QWidget* FindOfKind(const QWidget* root, const QString& name, Predicate isKind)
{
    if (root == nullptr || name.isEmpty())
        return nullptr;
    for (QWidget* widget : root->findChildren<QWidget*>(name)) {
        if (isKind(widget))
            return widget;
    }
    return nullptr;
}

} // namespace

Skin::Skin(QWidget* root, QObject* parent)
    : QObject(parent)
    , m_root(root)
{
    Refresh();
}

Skin::~Skin()
{
    if (!m_root)
        return;
    for (QWidget* widget : m_root->findChildren<QWidget*>()) {
        if (widget->property(kAttachedProperty).value<QObject*>() == this)
            widget->setProperty(kAttachedProperty, QVariant());
    }
}

void Skin::Refresh()
{
    if (!m_root)
        return;
    for (QWidget* widget : m_root->findChildren<QWidget*>()) {
        if (!widget->objectName().isEmpty())
            Attach(widget);
    }
}

void Skin::Attach(QWidget* widget)
{
    const bool trackBar = IsTrackBar(widget);
    const bool switchObject = IsSwitch(widget);
    if (!trackBar && !switchObject && !IsButton(widget))
        return;
    if (widget->property(kAttachedProperty).value<QObject*>() == this)
        return;
    widget->setProperty(kAttachedProperty, QVariant::fromValue(static_cast<QObject*>(this)));
    widget->installEventFilter(this);

    if (trackBar) {
        auto* slider = static_cast<QAbstractSlider*>(widget);
        connect(slider, &QAbstractSlider::valueChanged, this,
                [this, slider](int value) { emit TrackBarChange(slider->objectName(), value); });
    } else if (switchObject) {
        auto* button = static_cast<QAbstractButton*>(widget);
        connect(button, &QAbstractButton::toggled, this,
                [this, button](bool on) { emit SwitchChange(button->objectName(), on); });
    }
}

bool Skin::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // The second press of a double click arrives as a double-click event.
    const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    const bool release = type == QEvent::MouseButtonRelease;
    if (press || release) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (widget != nullptr && widget->isEnabled() && mouse->button() == Qt::LeftButton) {
            const QString name = widget->objectName();
            if (press)
                emit MouseDown(name);
            else
                emit MouseUp(name);
        }
    }
    return QObject::eventFilter(watched, event);
}

QWidget* Skin::FindObject(const QString& name) const
{
    return FindOfKind(m_root, name, [](const QWidget* w) {
        return IsTrackBar(w) || IsSwitch(w) || IsButton(w) || IsLabel(w);
    });
}

QAbstractButton* Skin::FindButton(const QString& name) const
{
    return static_cast<QAbstractButton*>(FindOfKind(m_root, name, IsButton));
}

QAbstractButton* Skin::FindSwitch(const QString& name) const
{
    return static_cast<QAbstractButton*>(FindOfKind(m_root, name, IsSwitch));
}

QAbstractSlider* Skin::FindTrackBar(const QString& name) const
{
    return static_cast<QAbstractSlider*>(FindOfKind(m_root, name, IsTrackBar));
}

QLabel* Skin::FindLabel(const QString& name) const
{
    return static_cast<QLabel*>(FindOfKind(m_root, name, IsLabel));
}

void Skin::SetTrackBarValue(const QString& name, int value)
{
    if (QAbstractSlider* slider = FindTrackBar(name))
        slider->setValue(value);
}

int Skin::TrackBarValue(const QString& name) const
{
    const QAbstractSlider* slider = FindTrackBar(name);
    return slider != nullptr ? slider->value() : 0;
}

void Skin::SetSwitchState(const QString& name, bool on)
{
    if (QAbstractButton* button = FindSwitch(name)) {
        button->setCheckable(true);
        button->setChecked(on);
    }
}

bool Skin::SwitchState(const QString& name) const
{
    const QAbstractButton* button = FindSwitch(name);
    return button != nullptr && button->isChecked();
}

void Skin::ShowButtonPressed(const QString& name)
{
    QAbstractButton* button = FindButton(name);
    if (button == nullptr)
        return;
    if (button->isCheckable())
        button->setChecked(true);
    else
        button->setDown(true);
}

void Skin::SetLabelText(const QString& name, const QString& text)
{
    if (QLabel* label = FindLabel(name))
        label->setText(text);
}

QString Skin::LabelText(const QString& name) const
{
    const QLabel* label = FindLabel(name);
    return label != nullptr ? label->text() : QString();
}

void Skin::SetObjectEnabled(const QString& name, bool enabled)
{
    if (QWidget* widget = FindObject(name))
        widget->setEnabled(enabled);
}

} // namespace velmora
