// The preview pane of the Library page: the selected picture, drawn to fit.
#include "app/ItemListHandlers.h"

#include "app/ItemListView.h"
#include "dialogs/GuiProgress.h"
#include "catalogue/ItemContent.h"
#include "dialogs/WaitCursor.h"
#include "playback/ImageAspect.h"
#include "playback/PictureLoader.h"
#include "playback/PictureDecoder.h"
#include "playback/Preview.h"
#include "store/MediaExtensions.h"
#include "store/MemoryStream.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "store/Library.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

void ItemListHandlers::mainList1SelectItem()
{
    if (m_parts.deletingRows())
        return;
    const std::vector<int> selected = m_parts.mainList->SelectedIdents();
    // Deselecting the last row leaves the pane as it is.
    if (selected.empty())
        return;
    // The item left selected is the one to show, not the row whose state changed:
    // taking one row out of a selection of two shows the other.
    PreviewItem(selected.front());
    m_parts.selectionChangedInSlideshow();
}

void ItemListHandlers::PreviewItem(int recIdent)
{
    // A picture still on its way belongs to the item shown before.
    const std::uint64_t generation = ++m_pictureGeneration;
    m_parts.actViewSlideshow->setEnabled(false);
    WaitCursor cursor;
    if (m_parts.mainList->SelectedCount() != 1) {
        m_parts.picture->hide();
        return;
    }
    try {
        std::string extension;
        std::int64_t size = 0;
        {
            db::Query record(m_parts.library->MainConnection(),
                             SqlFormat("Select rec_tnorigname, rec_size from Record where rec_ident = %d", recIdent));
            if (record.Eof())
                throw std::runtime_error("The item is no longer in the library");
            extension = UpperExtension(record.AsString("rec_tnorigname"));
            size = record.IsNull("rec_size") ? 0 : record.AsInteger("rec_size");
        }
        if (IsPreviewablePicture(extension)) {
            m_parts.btnPrint->show();
            m_printAllowed = true;
            m_parts.updateActions();
            m_parts.lblnopreview->hide();
            m_parts.lblErrMessage1->clear();
            // A large picture is read and decoded on the loader's thread; the picture
            // shown so far stays until it is ready.
            if (size >= PictureLoader::kLargeBytes) {
                m_pictureLoader->Request(generation, recIdent, extension);
                return;
            }
            MemoryStream content;
            ReadItemToStream(m_parts.library->MainConnection(), recIdent, content, *m_parts.progress);
            const QByteArray bytes = ReadPictureBytes(content);
            if (PictureLoader::IsLargePicture(extension, bytes)) {
                m_pictureLoader->Request(generation, recIdent, extension, bytes);
                return;
            }
            m_parts.picture->hide();
            MemoryStream small;
            small.WriteBuffer(bytes.constData(), bytes.size());
            small.SetPosition(0);
            ShowPicture(extension, small);
        } else {
            m_parts.picture->hide();
            m_parts.btnPrint->hide();
            m_printAllowed = false;
            m_parts.updateActions();
            m_parts.lblnopreview->show();
            // A failed picture's text would otherwise stay under another item.
            m_parts.lblErrMessage1->clear();
            m_parts.withdrawSlideshow();
        }
    } catch (const std::exception& error) {
        m_parts.picture->hide();
        m_parts.lblErrMessage1->setText(QString::fromStdString(error.what()));
    }
}

void ItemListHandlers::ClearPreviewPane()
{
    ++m_pictureGeneration;   // a picture still on its way belongs to the item shown
    m_parts.picture->hide();
    m_parts.picture->ClearPicture();
    m_parts.lblErrMessage1->clear();
    m_parts.lblnopreview->show();
}

void ItemListHandlers::ShowPicture(const std::string& extension, Stream& stream)
{
    ShowDecodedPicture(DecodePicture(extension, stream));
}

void ItemListHandlers::ShowDecodedPicture(const QImage& image)
{
    m_parts.picture->ClearPicture();
    m_parts.actViewSlideshow->setEnabled(true);
    m_parts.btnViewSlideShow3->show();
    m_parts.picture->SetPicture(image);
    m_parts.picture->show();
}

void ItemListHandlers::PictureLoaded(quint64 generation, const QImage& image, const QString& error)
{
    if (generation != m_pictureGeneration)
        return;
    if (!error.isEmpty()) {
        m_parts.picture->hide();
        m_parts.lblErrMessage1->setText(error);
        return;
    }
    ShowDecodedPicture(image);
}

} // namespace velmora
