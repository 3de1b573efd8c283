#include "PlayerWindow.h"

#include "app/ItemListView.h"
#include "dialogs/PasswordForm.h"
#include "platform/Skin.h"
#include "playback/FullScreen.h"
#include "playback/LegacyMediaPlayer.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PlayerHost.h"
#include "playback/Playlist.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QTreeView>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

#include <memory>
#include <stdexcept>

namespace velmora::test {

namespace {

QWidget* SkinRoot(TfrmMain& main, bool fullScreen)
{
    return fullScreen ? static_cast<QWidget*>(&main.Player().FullScreenForm()) : static_cast<QWidget*>(&main);
}

template <typename T>
T* Find(QWidget* root, const char* name)
{
    T* found = root->findChild<T*>(QLatin1String(name));
    if (found == nullptr)
        qFatal("no skin object %s", name);
    return found;
}

} // namespace

PlayerWindow::PlayerWindow(const std::function<void()>& beforeOpen, std::chrono::milliseconds streamIdleTimeout,
                           int streamPort, bool streamAnyPortIfTaken)
{
    if (beforeOpen)
        beforeOpen();
    m_session.streamIdleTimeout = streamIdleTimeout;
    m_session.streamPort = streamPort;
    m_session.streamAnyPortIfTaken = streamAnyPortIfTaken;
    m_session.Open();
    Main().PlayList().plTimer.setInterval(24 * 3600 * 1000);
    m_session.ShowAndActivate();
}

void PlayerWindow::LetPlaylistAdvance()
{
    Main().PlayList().plTimer.setInterval(Playlist::kAdvanceInterval);
}

PlayerHost& PlayerWindow::Host()
{
    return Main().Player();
}

int PlayerWindow::AddItem(const std::string& bytes, const std::string& fileName)
{
    MemoryStream source;
    source.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    source.SetPosition(0);
    if (!AddItemOnThread(std::nullopt, source, fileName, -1, fileName))
        throw std::runtime_error("item not added: " + fileName);
    Main().ListSelectedNode();
    ItemListView& list = *Main().mainList;
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.CellText(row, ItemListView::ColFilename) == QString::fromStdString(fileName))
            return list.IdentAt(row);
    }
    throw std::runtime_error("item not listed: " + fileName);
}

void PlayerWindow::DoubleClickItem(int ident)
{
    ItemListView& list = *Main().mainList;
    list.SetThumbnailView(false);
    Main().SelectPage(2);
    QTreeView* view = list.DetailView();
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.IdentAt(row) != ident)
            continue;
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        return;
    }
    throw std::runtime_error("item not listed");
}

QLabel* PlayerWindow::Label(const char* name, bool fullScreen)
{
    return Find<QLabel>(SkinRoot(Main(), fullScreen), name);
}

QAbstractSlider* PlayerWindow::Slider(const char* name, bool fullScreen)
{
    return Find<QAbstractSlider>(SkinRoot(Main(), fullScreen), name);
}

QAbstractButton* PlayerWindow::Button(const char* name, bool fullScreen)
{
    return Find<QAbstractButton>(SkinRoot(Main(), fullScreen), name);
}

QString PlayerWindow::LabelText(const char* name, bool fullScreen)
{
    return Label(name, fullScreen)->text();
}

void PlayerWindow::Click(const char* name, bool fullScreen)
{
    QTest::mouseClick(Button(name, fullScreen), Qt::LeftButton);
}

void PlayerWindow::DragPositionBar(int value, bool fullScreen, const std::function<void()>& whileHeld)
{
    auto* bar = qobject_cast<QSlider*>(Slider("progressbar", fullScreen));
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.subControls = QStyle::SC_SliderHandle;
    const QPoint handle =
        bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar).center();
    QTest::mousePress(bar, Qt::LeftButton, {}, handle);
    // The handle follows the mouse: the slider's value while dragging.
    bar->setSliderPosition(value);
    if (whileHeld)
        whileHeld();
    QTest::mouseRelease(bar, Qt::LeftButton, {}, handle);
}

double PlayerWindow::Position()
{
    if (auto* modern = Host().ModernPlayer())
        return modern->controls().currentPosition();
    if (auto* legacy = Host().LegacyPlayer())
        return legacy->CurrentPosition();
    return 0;
}

double PlayerWindow::Duration()
{
    if (auto* modern = Host().ModernPlayer())
        return modern->currentMedia().duration;
    if (auto* legacy = Host().LegacyPlayer())
        return legacy->Duration();
    return 0;
}

bool PlayerWindow::WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

PictureWatch::PictureWatch(PlayerWindow& window, QSize size)
{
    auto* video = qobject_cast<QVideoWidget*>(window.Host().Control());
    if (!video)
        throw std::runtime_error("the host shows no video widget");
    m_connection = QObject::connect(video->videoSink(), &QVideoSink::videoFrameChanged,
                                    [this, size](const QVideoFrame& frame) {
                                        m_seen = m_seen || (frame.isValid() && frame.size() == size);
                                    });
}

PictureWatch::~PictureWatch()
{
    QObject::disconnect(m_connection);
}

} // namespace velmora::test
