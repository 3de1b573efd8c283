#pragma once

#include <QFrame>
#include <QLabel>

namespace velmora {

// Widgets carry the skin object's name: the style sheet and the skin find them by it.
inline QFrame* Panel(QWidget* parent, const char* name)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    return panel;
}

inline QLabel* Label(QWidget* parent, const char* name, const QString& text = {})
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace velmora
