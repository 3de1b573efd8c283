#include "playback/PictureLoader.h"

#include "catalogue/ItemContent.h"
#include "ui/ProgressRoutines.h"
#include "playback/PictureDecoder.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"

#include <exception>

namespace velmora {

PictureLoader::PictureLoader(QObject* parent) : QObject(parent), m_context(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("pictures"));
    m_context->moveToThread(&m_thread);
    // The thread's store connections close on the thread that opened them.
    connect(&m_thread, &QThread::finished, m_context.get(), [] { ObjectStore::ForThisThread().Close(); },
            Qt::DirectConnection);
    m_thread.start();
}

PictureLoader::~PictureLoader()
{
    m_thread.quit();
    m_thread.wait();
}

bool PictureLoader::IsLargePicture(const std::string& extension, const QByteArray& bytes)
{
    if (bytes.size() >= kLargeBytes)
        return true;
    // A metafile has no size to read: it is drawn at its own size from a few records.
    const QSize size = PictureSize(extension, bytes);
    return size.isValid() && static_cast<std::int64_t>(size.width()) * size.height() > kLargePixels;
}

void PictureLoader::Request(std::uint64_t generation, int recIdent, const std::string& extension,
                            const QByteArray& bytes)
{
    QMetaObject::invokeMethod(
        m_context.get(),
        [this, generation, recIdent, extension, bytes] {
            QImage picture;
            QString error;
            try {
                MemoryStream content;
                if (bytes.isEmpty()) {
                    NullProgress quiet;
                    ReadItemToStream(ObjectStore::ForThisThread().MainConnection(), recIdent, content, quiet);
                } else {
                    content.WriteBuffer(bytes.constData(), bytes.size());
                    content.SetPosition(0);
                }
                picture = DecodePicture(extension, content);
            } catch (const std::exception& failure) {
                error = QString::fromStdString(failure.what());
            }
            emit Loaded(generation, picture, error);
        },
        Qt::QueuedConnection);
}

} // namespace velmora
