#include "app/ThumbnailWorker.h"

#include "app/ThumbnailImage.h"
#include "catalogue/ItemKind.h"
#include "catalogue/ThumbnailPool.h"

#include <QBuffer>

#include <stdexcept>
#include <utility>

namespace velmora {

namespace {

std::string ToPng(const QImage& cell)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!cell.save(&buffer, "PNG"))
        throw std::runtime_error("A thumbnail could not be encoded");
    return bytes.toStdString();
}

} // namespace

static_assert(ThumbnailWorker::kMadeThumbnail == ThumbnailPool::kMadeThumbnail);

ThumbnailWorker::ThumbnailWorker(QObject* parent) : QObject(parent)
{
    m_pool = std::make_unique<ThumbnailPool>(
        [](const std::string& extension, Stream& picture) { return ToPng(MakeThumbnailImage(extension, picture)); },
        [this](ThumbnailPool::Result result) {
            QImage picture;
            if (result.index == kMadeThumbnail &&
                !picture.loadFromData(reinterpret_cast<const uchar*>(result.png.data()),
                                      static_cast<int>(result.png.size()), "PNG"))
                result.index = kNoThumbnail;
            // Emitted on the worker: the list, on the window's thread, takes it queued.
            emit Made(result.generation, result.recIdent, result.index, picture);
        });
}

ThumbnailWorker::~ThumbnailWorker() = default;

void ThumbnailWorker::Start(std::uint64_t generation, std::vector<int> recIdents)
{
    m_pool->Start(generation, std::move(recIdents));
}

void ThumbnailWorker::Prefer(const std::vector<int>& recIdents)
{
    m_pool->Prefer(recIdents);
}

void ThumbnailWorker::Stop()
{
    m_pool->Stop();
}

bool ThumbnailWorker::Idle() const
{
    return m_pool->Idle();
}

int ThumbnailWorker::Decodes() const
{
    return m_pool->Decodes();
}

} // namespace velmora
