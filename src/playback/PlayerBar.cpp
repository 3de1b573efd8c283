#include "playback/PlayerBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

namespace velmora {

namespace {

QToolButton* Button(QWidget* bar, const QString& name, const QString& tip, QStyle::StandardPixmap icon, bool takeFocus)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setIcon(bar->style()->standardIcon(icon));
    button->setAutoRaise(true);
    if (!takeFocus)
        button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QSlider* TrackBar(QWidget* bar, const QString& name, int maximum, const QString& tip, bool takeFocus)
{
    auto* slider = new QSlider(Qt::Horizontal, bar);
    slider->setObjectName(name);
    slider->setRange(0, maximum);
    slider->setToolTip(tip);
    if (!takeFocus)
        slider->setFocusPolicy(Qt::NoFocus);
    return slider;
}

} // namespace

void AddPlayerControls(QWidget* bar, QHBoxLayout* row, bool takeFocus)
{
    using namespace player_skin;
    row->addWidget(Button(bar, kBack, QStringLiteral("Previous"), QStyle::SP_MediaSkipBackward, takeFocus));
    row->addWidget(Button(bar, kPlay, QStringLiteral("Play"), QStyle::SP_MediaPlay, takeFocus));
    row->addWidget(Button(bar, kPause, QStringLiteral("Pause"), QStyle::SP_MediaPause, takeFocus));
    row->addWidget(Button(bar, kStop, QStringLiteral("Stop"), QStyle::SP_MediaStop, takeFocus));
    row->addWidget(Button(bar, kNext, QStringLiteral("Next"), QStyle::SP_MediaSkipForward, takeFocus));
    row->addSpacing(8);
    row->addWidget(TrackBar(bar, kProgressBar, 10000, QStringLiteral("Position"), takeFocus), 1);
    auto* time = new QLabel(QStringLiteral("00:00"), bar);
    time->setObjectName(kTime);
    row->addWidget(time);
    row->addSpacing(8);
    QToolButton* mute = Button(bar, kMuteSwitch, QStringLiteral("Sound on / off"), QStyle::SP_MediaVolume, takeFocus);
    mute->setProperty("skinSwitch", true);
    mute->setCheckable(true);
    mute->setChecked(true);
    row->addWidget(mute);
    QSlider* volume = TrackBar(bar, kVolume, 100, QStringLiteral("Volume"), takeFocus);
    volume->setMaximumWidth(110);
    row->addWidget(volume);
}

} // namespace velmora
