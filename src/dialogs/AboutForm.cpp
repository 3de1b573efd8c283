#include "dialogs/AboutForm.h"

#include "platform/VersionResource.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTreeWidget>
#include <QVBoxLayout>

// The resource file lives in a static library; nothing else would pull it in.
static void InitAboutResources()
{
    Q_INIT_RESOURCE(AboutForm);
}

namespace velmora {

namespace {

constexpr int kPictureSize = 96;
constexpr int kTypeColumnWidth = 90;

QLabel* NewLabel(const QString& text, const char* name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

QPixmap ProductPicture(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    InitAboutResources();
    QSvgRenderer renderer(QStringLiteral(":/velmora/icons/velmora.svg"));
    QPainter painter(&picture);
    renderer.render(&painter);
    return picture;
}

TfrmAbout::TfrmAbout(const QString& site, std::function<void(const QString&)> openSite, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ..."));

    Image1 = NewLabel(QString(), "Image1", this);
    Image1->setPixmap(ProductPicture(kPictureSize));
    Label1 = NewLabel(QStringLiteral("Velmora"), "Label1", this);
    QFont title = Label1->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    Label1->setFont(title);
    Label2 = NewLabel(QStringLiteral("Velmora is a secure media player for Linux that hides and protects all of "
                                     "your media files"),
                      "Label2", this);
    Label2->setWordWrap(true);

    // The address is shown as the link's text; it is plain text, never markup.
    spSkinLinkLabel1 = NewLabel(QStringLiteral("Visit our website at: <a href=\"%1\">%2</a>")
                                    .arg(site.toHtmlEscaped(), site.toHtmlEscaped()),
                                "spSkinLinkLabel1", this);
    spSkinLinkLabel1->setTextFormat(Qt::RichText);
    spSkinLinkLabel1->setTextInteractionFlags(Qt::TextBrowserInteraction);
    spSkinLinkLabel1->setOpenExternalLinks(false);
    connect(spSkinLinkLabel1, &QLabel::linkActivated, this,
            [openSite = std::move(openSite), site](const QString&) {
                if (openSite)
                    openSite(site);
            });

    lvDetails = new QTreeWidget(this);
    lvDetails->setObjectName(QStringLiteral("lvDetails"));
    lvDetails->setHeaderLabels({QStringLiteral("Type"), QStringLiteral("Data")});
    lvDetails->setRootIsDecorated(false);
    lvDetails->header()->setStretchLastSection(true);
    lvDetails->setColumnWidth(0, kTypeColumnWidth);

    spSkinStdLabel1 = NewLabel(QStringLiteral("This program is protected by copyright law."), "spSkinStdLabel1", this);
    lblCopyright = NewLabel(QString(), "lblCopyright", this);

    lmbBtnOK = new QPushButton(QStringLiteral("Close"), this);
    lmbBtnOK->setObjectName(QStringLiteral("lmbBtnOK"));
    lmbBtnOK->setDefault(true);
    connect(lmbBtnOK, &QPushButton::clicked, this, &TfrmAbout::lmbBtnOKClick);

    auto* heading = new QVBoxLayout;
    heading->addWidget(Label1);
    heading->addWidget(Label2);
    heading->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(heading, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(lmbBtnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(spSkinLinkLabel1);
    layout->addWidget(lvDetails);
    layout->addWidget(spSkinStdLabel1);
    layout->addWidget(lblCopyright);
    layout->addLayout(buttons);

    FormCreate();
    // Measured once the rows are there: an empty list has no row height to go by.
    lvDetails->setFixedHeight(lvDetails->sizeHintForRow(0) * (lvDetails->topLevelItemCount() + 1) +
                              lvDetails->header()->sizeHint().height() + 2 * lvDetails->frameWidth());
    resize(440, sizeHint().height());
    setFixedSize(size());
}

void TfrmAbout::FormCreate()
{
    const QString product = QString::fromStdString(ProductName());
    const QString version = QString::fromStdString(ProductVersion());
    // A version resource without a string leaves its field empty.
    lblCopyright->setText(QString::fromStdString(LegalCopyright()));
    new QTreeWidgetItem(lvDetails, {QStringLiteral("Product:"), product});
    new QTreeWidgetItem(lvDetails, {QStringLiteral("Version:"),
                                    version.isEmpty() ? QString() : QStringLiteral("Version ") + version});
}

void TfrmAbout::lmbBtnOKClick()
{
    accept();
}

} // namespace velmora
