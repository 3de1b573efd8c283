#include "dialogs/ProgressForm.h"

#include "dialogs/KeepAbove.h"
#include "dialogs/KeyPreview.h"
#include "ui/MessageBoxes.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

QProgressBar* MakeGauge(const char* name, QWidget* parent)
{
    auto* gauge = new QProgressBar(parent);
    gauge->setObjectName(QLatin1String(name));
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setTextVisible(false);
    gauge->hide();
    return gauge;
}

} // namespace

TfrmProgress::TfrmProgress(QWidget* mainWindow, MessageBoxes& boxes)
    : QDialog(nullptr), m_mainWindow(mainWindow), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmProgress"));
    // No border icons; on top of other windows, the main window among them.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("Progress"));
    setModal(false);

    lblProg2 = new QLabel(QStringLiteral("Initializing, please wait...."), this);
    lblProg2->setObjectName(QStringLiteral("lblProg2"));
    lblProg2->setTextFormat(Qt::PlainText);
    // Long item names must not widen the window while it is shown.
    lblProg2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    curItemprogress = MakeGauge("curItemprogress", this);
    lblOverall = new QLabel(QStringLiteral("Overall"), this);
    lblOverall->setObjectName(QStringLiteral("lblOverall"));
    ProgressBar = MakeGauge("ProgressBar", this);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmProgress::btnCancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblProg2);
    layout->addWidget(curItemprogress);
    layout->addWidget(lblOverall);
    layout->addWidget(ProgressBar);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // A steady size, so that showing and hiding the gauges does not make the window jump.
    const QFontMetrics metrics = fontMetrics();
    setFixedSize(40 * metrics.averageCharWidth(), 12 * metrics.height());

    if (mainWindow)
        KeepAbove(*this, *mainWindow);

    new KeyPreview(this, [this](QKeyEvent* event) { return FormKeyPress(event); });
}

TfrmProgress::~TfrmProgress()
{
    // Never leave the main window disabled behind a window that is gone.
    if (isVisible())
        SetMainWindowEnabled(true);
}

void TfrmProgress::SetMainWindowEnabled(bool enabled)
{
    if (m_mainWindow)
        m_mainWindow->setEnabled(enabled);
}

void TfrmProgress::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    SetMainWindowEnabled(false);
    m_cancelled = false;
}

void TfrmProgress::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    SetMainWindowEnabled(true);
}

void TfrmProgress::btnCancelClick()
{
    if (m_boxes.ShowMessageBox("Cancel this operation?", mb::kYesNo | mb::kIconQuestion) != mb::kResultNo)
        m_cancelled = true;
}

bool TfrmProgress::FormKeyPress(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape)
        return false;
    btnCancelClick();
    return true;
}

void TfrmProgress::closeEvent(QCloseEvent* event)
{
    if (btnCancel->isHidden()) {
        event->ignore();
        return;
    }
    btnCancelClick();
    if (m_cancelled)
        event->accept();
    else
        event->ignore();
}

} // namespace velmora
