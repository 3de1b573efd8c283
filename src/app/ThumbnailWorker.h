#pragma once

#include <QImage>
#include <QObject>
#include <QThread>

#include <cstdint>
#include <memory>

namespace velmora {

// Makes thumbnails away from the window's thread. Decrypting a large picture and
// decoding it takes far longer than a frame, and the list's timer asks for one every
// 100 ms: on the window's thread a category of large photos would leave the window
// stuck for most of each tick. Here the work runs on a thread of its own with that
// thread's own store connections, and only the finished 64 x 64 picture comes back.
class ThumbnailWorker : public QObject {
    Q_OBJECT
public:
    // GetThumbnailIndex's answer when it made a picture: the picture travels with Made
    // and the list gives it its image-list position.
    static constexpr int kMadeThumbnail = -1;

    explicit ThumbnailWorker(QObject* parent = nullptr);
    ~ThumbnailWorker() override;

    // Queues the item's thumbnail; Made follows on the caller's thread.
    void Request(std::uint64_t generation, int recIdent);

signals:
    // index is a stock position, or kMadeThumbnail with the picture.
    void Made(quint64 generation, int recIdent, int index, const QImage& picture);

private:
    QThread m_thread;
    std::unique_ptr<QObject> m_context;   // lives on m_thread; the jobs run in its event loop
};

} // namespace velmora
