// The preview pane of the Library page: the selected picture, drawn to fit.
#include "app/MainWindow.h"

#include "app/ItemListView.h"
#include "app/NamedWidgets.h"
#include "catalogue/ItemContent.h"
#include "dialogs/WaitCursor.h"
#include "playback/ImageAspect.h"
#include "playback/PictureDecoder.h"
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
    if (m_deletingRows)
        return;
    const std::vector<int> selected = mainList->SelectedIdents();
    // Deselecting the last row leaves the pane as it is.
    if (selected.empty())
        return;
    // The item left selected is the one to show, not the row whose state changed:
    // taking one row out of a selection of two shows the other.
    PreviewItem(selected.front());
}

void TfrmMain::PreviewItem(int recIdent)
{
    picture->hide();
    actViewSlideshow->setEnabled(false);
    WaitCursor cursor;
    if (mainList->SelectedCount() != 1)
        return;
    try {
        std::string extension;
        {
            db::Query record(m_library.MainConnection(),
                             SqlFormat("Select rec_tnorigname, rec_objstore from Record where rec_ident = %d", recIdent));
            if (record.Eof())
                throw std::runtime_error("The item is no longer in the library");
            extension = UpperExtension(record.AsString("rec_tnorigname"));
        }
        if (IsPreviewablePicture(extension)) {
            btnPrint->show();
            m_printAllowed = true;
            UpdateActions();
            lblnopreview->hide();
            lblErrMessage1->clear();
            MemoryStream content;
            ReadItemToStream(m_library.MainConnection(), recIdent, content, m_progress);
            ShowPicture(extension, content);
        } else {
            btnPrint->hide();
            m_printAllowed = false;
            UpdateActions();
            lblnopreview->show();
            // A failed picture's text would otherwise stay under another item.
            lblErrMessage1->clear();
        }
    } catch (const std::exception& error) {
        lblErrMessage1->setText(QString::fromStdString(error.what()));
    }
}

void TfrmMain::ShowPicture(const std::string& extension, Stream& stream)
{
    picture->ClearPicture();
    actViewSlideshow->setEnabled(true);
    btnViewSlideShow3->show();
    picture->SetPicture(DecodePicture(extension, stream));
    picture->show();
}

} // namespace velmora
