#include "app/ThumbnailWorker.h"

#include "app/ThumbnailImage.h"
#include "catalogue/Thumbnails.h"
#include "catalogue/ItemKind.h"
#include "store/ObjectStore.h"

#include <exception>

#include <sys/resource.h>
#include <unistd.h>

namespace velmora {

ThumbnailWorker::ThumbnailWorker(QObject* parent) : QObject(parent), m_context(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("thumbnails"));
    m_context->moveToThread(&m_thread);
    // The thread's store connections close on the thread that opened them.
    connect(&m_thread, &QThread::finished, m_context.get(), [] { ObjectStore::ForThisThread().Close(); },
            Qt::DirectConnection);
    // Thread priorities of the desktop's ordinary scheduling are all the same; a
    // higher nice value of this thread alone is what lets the window's thread go first
    // when the two want the same processor.
    connect(&m_thread, &QThread::started, m_context.get(),
            [] { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10); }, Qt::DirectConnection);
    m_thread.start();
}

ThumbnailWorker::~ThumbnailWorker()
{
    m_thread.quit();
    m_thread.wait();
}

void ThumbnailWorker::Request(std::uint64_t generation, int recIdent)
{
    QMetaObject::invokeMethod(
        m_context.get(),
        [this, generation, recIdent] {
            QImage picture;
            int index = kNoThumbnail;
            try {
                index = GetThumbnailIndex(ObjectStore::ForThisThread().MainConnection(), recIdent,
                                          [&picture](const std::string& extension, Stream& content) {
                                              picture = MakeThumbnailImage(extension, content);
                                              return kMadeThumbnail;
                                          });
            } catch (const std::exception&) {
                index = kNoThumbnail;   // the library could not be reached from this thread
            }
            emit Made(generation, recIdent, index, picture);
        },
        Qt::QueuedConnection);
}

} // namespace velmora
