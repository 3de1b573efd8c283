// The preview pane of the Library page.
#include "app/MainWindow.h"

#include "app/NamedWidgets.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QToolButton>

namespace velmora {

void TfrmMain::ConnectPreviewHandlers()
{
}

QWidget* TfrmMain::CreatePreviewPane()
{
    auto* container = Panel(nullptr, "pnlPreviewContainer");
    Panel4 = Panel(container, "Panel4");
    lblnopreview = Label(Panel4, "lblnopreview", QStringLiteral("No Preview Available"));
    lblnopreview->setAlignment(Qt::AlignCenter);
    auto* error = Label(Panel4, "lblErrMessage1");
    error->setAlignment(Qt::AlignCenter);
    btnPrint = new QToolButton(Panel4);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setText(QStringLiteral("Print"));
    btnPrint->setToolTip(QStringLiteral("Print Selected File(s)"));
    btnPrint->hide();
    connect(btnPrint, &QToolButton::clicked, actFilePrint, &QAction::trigger);

    auto* panelLayout = new QVBoxLayout(Panel4);
    panelLayout->addWidget(lblnopreview, 1);
    panelLayout->addWidget(error);
    panelLayout->addWidget(btnPrint, 0, Qt::AlignRight);
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel4);
    return container;
}

} // namespace velmora
