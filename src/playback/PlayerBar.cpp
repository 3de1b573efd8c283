#include "playback/PlayerBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
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

// A press beside the handle puts the handle under the pointer, as media players do,
// rather than moving a page towards it; the handle is then dragged as usual.
class JumpSlider : public QSlider {
public:
    JumpSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton) {
            QStyleOptionSlider option;
            initStyleOption(&option);
            const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
            if (!handle.contains(event->position().toPoint())) {
                const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
                const int span = groove.width() - handle.width();
                const int at = event->position().toPoint().x() - groove.x() - handle.width() / 2;
                setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), at, span, option.upsideDown));
            }
        }
        QSlider::mousePressEvent(event);
    }
};

QSlider* TrackBar(QWidget* bar, const QString& name, int maximum, const QString& tip, bool takeFocus)
{
    auto* slider = new JumpSlider(Qt::Horizontal, bar);
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
    // Off (muted) shows a muted speaker, not only another frame.
    QObject::connect(mute, &QToolButton::toggled, mute, [mute](bool soundOn) {
        mute->setIcon(mute->style()->standardIcon(soundOn ? QStyle::SP_MediaVolume : QStyle::SP_MediaVolumeMuted));
    });
    row->addWidget(mute);
    QSlider* volume = TrackBar(bar, kVolume, 100, QStringLiteral("Volume"), takeFocus);
    volume->setMaximumWidth(110);
    row->addWidget(volume);
}

} // namespace velmora
