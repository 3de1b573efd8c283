#include "playback/PictureItem.h"

#include "playback/ImageAspect.h"

#include <QGridLayout>
#include <QLayout>

#include <algorithm>

namespace velmora {

namespace {

void PlaceIn(QWidget* control, QWidget* panel)
{
    QLayout* layout = panel->layout();
    if (layout == nullptr || layout->indexOf(control) >= 0)
        return;
    if (auto* grid = qobject_cast<QGridLayout*>(layout))
        grid->addWidget(control, 0, 0);   // over the panel's caption
    else
        layout->addWidget(control);
}

} // namespace

TPictureItem::TPictureItem(QWidget* panel)
    : m_picture(new TImageAspect(panel))
{
    m_picture->setObjectName(QStringLiteral("PlaylistPicture"));
    m_picture->SetAutoSize(false);
    m_picture->SetScalePast100(true);   // it fills the page as a movie does
    m_picture->hide();
    PlaceIn(m_picture, panel);
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, [this] {
        m_state = State::Closed;
        emit Ended();
    });
    connect(&m_loader, &PictureLoader::Loaded, this, &TPictureItem::Loaded);
}

TPictureItem::~TPictureItem()
{
    delete m_picture.data();
}

void TPictureItem::Open(int recIdent, const std::string& extension, int delayMs)
{
    Close();
    m_delayMs = std::max(delayMs, 0);
    m_state = State::Loading;
    m_loader.Request(++m_generation, recIdent, extension);
}

void TPictureItem::Close()
{
    ++m_generation;   // a picture still being read is dropped when it comes
    m_state = State::Closed;
    m_delay.stop();
    m_elapsedBefore = 0;
    if (m_picture) {
        m_picture->hide();
        m_picture->ClearPicture();
    }
}

void TPictureItem::Loaded(quint64 generation, const QImage& picture, const QString& error)
{
    if (generation != m_generation || m_state != State::Loading)
        return;
    if (!error.isEmpty()) {
        m_state = State::Closed;
        emit Failed(error);
        return;
    }
    if (m_picture) {
        m_picture->SetPicture(picture);
        m_picture->show();
        m_picture->raise();
    }
    m_state = State::Running;
    m_elapsedBefore = 0;
    m_clock.start();
    m_delay.start(m_delayMs);
    emit Shown();
}

void TPictureItem::Pause()
{
    if (m_state != State::Running)
        return;
    m_elapsedBefore += m_clock.elapsed();
    m_delay.stop();
    m_state = State::Paused;
}

void TPictureItem::Resume()
{
    if (m_state != State::Paused)
        return;
    m_state = State::Running;
    m_clock.start();
    m_delay.start(static_cast<int>(std::max<qint64>(m_delayMs - m_elapsedBefore, 0)));
}

void TPictureItem::Stop()
{
    if (m_state != State::Running && m_state != State::Paused)
        return;
    m_delay.stop();
    m_elapsedBefore = 0;
    m_state = State::Paused;
}

qint64 TPictureItem::ElapsedMs() const
{
    const qint64 running = m_state == State::Running ? m_clock.elapsed() : 0;
    return std::min<qint64>(m_elapsedBefore + running, m_delayMs);
}

double TPictureItem::PositionSeconds() const
{
    return m_state == State::Closed || m_state == State::Loading ? 0.0 : ElapsedMs() / 1000.0;
}

void TPictureItem::ShowIn(QWidget* panel)
{
    if (!m_picture || m_picture->parentWidget() == panel)
        return;
    const bool shown = m_picture->isVisibleTo(m_picture->parentWidget());
    m_picture->setParent(panel);
    PlaceIn(m_picture, panel);
    m_picture->setVisible(shown);
    if (shown)
        m_picture->raise();
}

QWidget* TPictureItem::Control() const
{
    return m_picture;
}

} // namespace velmora
