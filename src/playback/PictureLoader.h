#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QThread>

#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

// Decrypts and decodes large pictures away from the window's thread: a 12-megapixel
// photo takes several frames to decode, and the slideshow's buttons and keys must keep
// answering meanwhile. The thread has its own store connections, like the thumbnails'.
class PictureLoader : public QObject {
    Q_OBJECT
public:
    // Above either size a picture goes to the thread.
    static constexpr std::int64_t kLargeBytes = 256 * 1024;
    static constexpr std::int64_t kLargePixels = 2'000'000;

    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;

    // Whether bytes already read hold a picture too large to decode here; reads only
    // the header.
    static bool IsLargePicture(const std::string& extension, const QByteArray& bytes);

    // Decodes the item's picture: from bytes when given, else from the library.
    // Loaded follows on the caller's thread with the same generation.
    void Request(std::uint64_t generation, int recIdent, const std::string& extension, const QByteArray& bytes = {});

signals:
    // error is empty when the picture was decoded.
    void Loaded(quint64 generation, const QImage& picture, const QString& error);

private:
    QThread m_thread;
    std::unique_ptr<QObject> m_context;   // lives on m_thread
};

} // namespace velmora
