#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace velmora {

// "About ...": the product picture, name and description, a link to the web site, the
// product and version from the version resource, the copyright, and "Close". A
// fixed-size dialog.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    // site: the address the link shows and opens, through openSite (the program's
    // browser window).
    TfrmAbout(const QString& site, std::function<void(const QString&)> openSite, QWidget* parent = nullptr);

    // Closes the box.
    void lmbBtnOKClick();

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* spSkinLinkLabel1 = nullptr;
    QTreeWidget* lvDetails = nullptr;
    QLabel* spSkinStdLabel1 = nullptr;
    QLabel* lblCopyright = nullptr;
    QPushButton* lmbBtnOK = nullptr;

private:
    // Fills the details and the copyright from the version resource.
    void FormCreate();
};

// The product picture at size x size pixels.
QPixmap ProductPicture(int size);

} // namespace velmora
