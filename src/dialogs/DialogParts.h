#pragma once

#include <QString>

class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace velmora {

// The pieces the password dialogs are made of.

// A password edit carrying its name.
QLineEdit* NewPasswordEdit(const char* name, QWidget* parent);

// A button of a form that handles Enter itself: it is never the default button, so that
// Enter means OK whatever has the focus.
QPushButton* NewFormButton(const QString& text, const char* name, QWidget* parent);

// OK and Cancel at the right.
QHBoxLayout* NewButtonRow(QPushButton* ok, QPushButton* cancel);

} // namespace velmora
