#pragma once

#include <QImage>
#include <QObject>

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

class ThumbnailPool;

// The item list's side of the thumbnail workers (catalogue/ThumbnailPool): pictures are
// decoded and made into thumbnails there, off the window's thread, and each finished
// 64 x 64 picture comes back through Made on the window's thread. The PNG a worker
// makes or finds in the cache is turned back into a picture on the worker too, so the
// window's thread only shows it.
class ThumbnailWorker : public QObject {
    Q_OBJECT
public:
    static constexpr int kMadeThumbnail = -1;

    explicit ThumbnailWorker(QObject* parent = nullptr);
    ~ThumbnailWorker() override;

    // Replaces the queued work with these items, in this order.
    void Start(std::uint64_t generation, std::vector<int> recIdents);
    // Moves these items to the front of the queue (rows come into view).
    void Prefer(const std::vector<int>& recIdents);
    // Drops the queued work; nothing more arrives for it.
    void Stop();
    bool Idle() const;
    // Pictures decrypted and decoded so far (cache hits not counted).
    int Decodes() const;

signals:
    // index is a stock position, or kMadeThumbnail with the picture.
    void Made(quint64 generation, int recIdent, int index, const QImage& picture);

private:
    std::unique_ptr<ThumbnailPool> m_pool;
};

} // namespace velmora
