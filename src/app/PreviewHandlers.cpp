// The preview pane of the Library page: the selected picture, drawn to fit.
#include "app/MainWindow.h"

#include "app/ItemListView.h"
#include "app/LibraryOperations.h"
#include "app/NamedWidgets.h"
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

void TfrmMain::ConnectPreviewHandlers()
{
    connect(mainList, &ItemListView::SelectionChanged, this, &TfrmMain::mainList1SelectItem);
}

QWidget* TfrmMain::CreatePreviewPane()
{
    auto* container = Panel(nullptr, "pnlPreviewContainer");
    Panel4 = Panel(container, "Panel4");
    picture = new TImageAspect(Panel4);
    picture->setObjectName(QStringLiteral("picture"));
    picture->SetAutoSize(false);
    picture->hide();
    lblnopreview = Label(Panel4, "lblnopreview", QStringLiteral("No Preview Available"));
    lblnopreview->setAlignment(Qt::AlignCenter);
    lblErrMessage1 = Label(Panel4, "lblErrMessage1");
    lblErrMessage1->setAlignment(Qt::AlignCenter);
    lblErrMessage1->setWordWrap(true);
    btnPrint = new QToolButton(Panel4);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setText(QStringLiteral("Print"));
    btnPrint->setToolTip(QStringLiteral("Print Selected File(s)"));
    btnPrint->hide();
    connect(btnPrint, &QToolButton::clicked, actFilePrint, &QAction::trigger);

    // The picture has the whole pane: the label takes the same place when there is none,
    // and the error text and the print button lie over its lower edge, so that a low
    // pane still shows the picture at a useful size.
    auto* panelLayout = new QGridLayout(Panel4);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    panelLayout->addWidget(picture, 0, 0);
    panelLayout->addWidget(lblnopreview, 0, 0);
    panelLayout->addWidget(lblErrMessage1, 0, 0, Qt::AlignBottom | Qt::AlignHCenter);
    panelLayout->addWidget(btnPrint, 0, 0, Qt::AlignBottom | Qt::AlignRight);
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel4);
    return container;
}

void TfrmMain::mainList1SelectItem()
{
    if (m_operations->DeletingRows())
        return;
    const std::vector<int> selected = mainList->SelectedIdents();
    // Deselecting the last row leaves the pane as it is.
    if (selected.empty())
        return;
    // The item left selected is the one to show, not the row whose state changed:
    // taking one row out of a selection of two shows the other.
    PreviewItem(selected.front());
    if (m_preview->isVisible())
        m_preview->ShowInfo();
}

void TfrmMain::PreviewItem(int recIdent)
{
    // A picture still on its way belongs to the item shown before.
    const std::uint64_t generation = ++m_pictureGeneration;
    actViewSlideshow->setEnabled(false);
    WaitCursor cursor;
    if (mainList->SelectedCount() != 1) {
        picture->hide();
        return;
    }
    try {
        std::string extension;
        std::int64_t size = 0;
        {
            db::Query record(m_library.MainConnection(),
                             SqlFormat("Select rec_tnorigname, rec_size from Record where rec_ident = %d", recIdent));
            if (record.Eof())
                throw std::runtime_error("The item is no longer in the library");
            extension = UpperExtension(record.AsString("rec_tnorigname"));
            size = record.IsNull("rec_size") ? 0 : record.AsInteger("rec_size");
        }
        if (IsPreviewablePicture(extension)) {
            btnPrint->show();
            m_printAllowed = true;
            UpdateActions();
            lblnopreview->hide();
            lblErrMessage1->clear();
            // A large picture is read and decoded on the loader's thread; the picture
            // shown so far stays until it is ready.
            if (size >= PictureLoader::kLargeBytes) {
                m_pictureLoader->Request(generation, recIdent, extension);
                return;
            }
            MemoryStream content;
            ReadItemToStream(m_library.MainConnection(), recIdent, content, m_progress);
            const QByteArray bytes = ReadPictureBytes(content);
            if (PictureLoader::IsLargePicture(extension, bytes)) {
                m_pictureLoader->Request(generation, recIdent, extension, bytes);
                return;
            }
            picture->hide();
            MemoryStream small;
            small.WriteBuffer(bytes.constData(), bytes.size());
            small.SetPosition(0);
            ShowPicture(extension, small);
        } else {
            picture->hide();
            btnPrint->hide();
            m_printAllowed = false;
            UpdateActions();
            lblnopreview->show();
            // A failed picture's text would otherwise stay under another item.
            lblErrMessage1->clear();
            WithdrawSlideshow();
        }
    } catch (const std::exception& error) {
        picture->hide();
        lblErrMessage1->setText(QString::fromStdString(error.what()));
    }
}

void TfrmMain::ClearPreviewPane()
{
    ++m_pictureGeneration;   // a picture still on its way belongs to the item shown
    picture->hide();
    picture->ClearPicture();
    lblErrMessage1->clear();
    lblnopreview->show();
}

void TfrmMain::ShowPicture(const std::string& extension, Stream& stream)
{
    ShowDecodedPicture(DecodePicture(extension, stream));
}

void TfrmMain::ShowDecodedPicture(const QImage& image)
{
    picture->ClearPicture();
    actViewSlideshow->setEnabled(true);
    btnViewSlideShow3->show();
    picture->SetPicture(image);
    picture->show();
}

void TfrmMain::PictureLoaded(quint64 generation, const QImage& image, const QString& error)
{
    if (generation != m_pictureGeneration)
        return;
    if (!error.isEmpty()) {
        picture->hide();
        lblErrMessage1->setText(error);
        return;
    }
    ShowDecodedPicture(image);
}

} // namespace velmora
