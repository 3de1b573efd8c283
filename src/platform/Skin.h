#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractButton;
class QAbstractSlider;
class QLabel;
class QWidget;

namespace velmora {

// The skin of a window: the widgets below it whose objectName is a skin object's name
// raise the skin's four events, carrying that name, so the window's handlers can act
// on "playbutton" or "volumizer" whatever widget draws them.
//
// Kinds of skin object, by widget type:
//  - switch:   a QCheckBox, or any QAbstractButton with the dynamic property
//              "skinSwitch" set to true; raises SwitchChange(name, checked) when its
//              checked state changes (by the user or by code).
//  - trackbar: any QAbstractSlider; raises TrackBarChange(name, value) when its value
//              changes (by the user or by code).
//  - button:   any other QAbstractButton (checkable ones included: page tabs).
//  - label:    a QLabel (text only, no events).
// Buttons, switches and trackbars raise MouseDown(name) / MouseUp(name) for the left
// mouse button, before the widget itself handles the press or release; a disabled
// object raises nothing. Widgets of other types (panels) are never skin objects, so a
// page panel may share its name with a skin button.
class Skin : public QObject {
    Q_OBJECT
public:
    // Attaches to every named skin object below root that exists now.
    explicit Skin(QWidget* root, QObject* parent = nullptr);
    ~Skin() override;

    // Attaches to skin objects created below the root since (objects already
    // attached are not attached twice).
    void Refresh();

    // The skin object of that name, or nullptr.
    QWidget* FindObject(const QString& name) const;

    // Trackbars: setting a value raises TrackBarChange like a user's move does.
    void SetTrackBarValue(const QString& name, int value);
    int TrackBarValue(const QString& name) const;   // 0 when there is no such trackbar
    // Switches: setting a state raises SwitchChange like a user's click does.
    void SetSwitchState(const QString& name, bool on);
    bool SwitchState(const QString& name) const;     // false when there is no such switch
    // Buttons: shows the button pressed. A checkable button becomes checked (an
    // auto-exclusive group releases its other buttons); others are shown down.
    // Raises no event.
    void ShowButtonPressed(const QString& name);
    // Labels.
    void SetLabelText(const QString& name, const QString& text);
    QString LabelText(const QString& name) const;
    // Any skin object.
    void SetObjectEnabled(const QString& name, bool enabled);

signals:
    void MouseDown(const QString& name);
    void MouseUp(const QString& name);
    void TrackBarChange(const QString& name, int value);
    void SwitchChange(const QString& name, bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Attach(QWidget* widget);
    QAbstractButton* FindButton(const QString& name) const;
    QAbstractButton* FindSwitch(const QString& name) const;
    QAbstractSlider* FindTrackBar(const QString& name) const;
    QLabel* FindLabel(const QString& name) const;

    QPointer<QWidget> m_root;
};

} // namespace velmora
