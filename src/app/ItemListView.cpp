#include "app/ItemListView.h"

#include "catalogue/ItemRows.h"
#include "catalogue/ItemSize.h"

#include <QApplication>
#include <QHeaderView>
#include <QListView>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>

namespace velmora {

namespace {

// Until thumbnails are made, each kind shows a stock picture.
QIcon StockIcon(const QWidget* widget, ItemKind kind)
{
    QStyle* style = widget->style();
    switch (kind) {
    case ItemKind::Image:
        return style->standardIcon(QStyle::SP_FileIcon);
    case ItemKind::Video:
        return style->standardIcon(QStyle::SP_MediaPlay);
    case ItemKind::Audio:
        return style->standardIcon(QStyle::SP_MediaVolume);
    case ItemKind::Unknown:
        break;
    }
    return style->standardIcon(QStyle::SP_MessageBoxQuestion);
}

template <typename View>
void SetUpView(View* view, QStandardItemModel* model, QItemSelectionModel* selection)
{
    view->setModel(model);
    view->setSelectionModel(selection);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
}

} // namespace

ItemListView::ItemListView(QWidget* parent) : QStackedWidget(parent)
{
    setObjectName(QStringLiteral("mainList"));
    m_model = new QStandardItemModel(0, ColumnCount, this);
    m_model->setHorizontalHeaderLabels(
        {QStringLiteral("Description"), QStringLiteral("Filename"), QStringLiteral("Size"),
         QStringLiteral("Date Added"), QStringLiteral("File Type")});
    m_selection = new QItemSelectionModel(m_model, this);

    m_details = new QTreeView(this);
    m_details->setObjectName(QStringLiteral("mainListDetails"));
    SetUpView(m_details, m_model, m_selection);
    m_details->setRootIsDecorated(false);
    m_details->setUniformRowHeights(true);
    m_details->setAlternatingRowColors(true);
    m_details->setAllColumnsShowFocus(true);
    const int widths[ColumnCount] = {229, 229, 80, 100, 150};
    for (int column = 0; column < ColumnCount; ++column)
        m_details->setColumnWidth(column, widths[column]);
    m_details->header()->setMinimumSectionSize(60);

    m_thumbnails = new QListView(this);
    m_thumbnails->setObjectName(QStringLiteral("mainListThumbnails"));
    SetUpView(m_thumbnails, m_model, m_selection);
    m_thumbnails->setViewMode(QListView::IconMode);
    m_thumbnails->setIconSize(QSize(64, 64));
    m_thumbnails->setMovement(QListView::Static);
    m_thumbnails->setResizeMode(QListView::Adjust);
    m_thumbnails->setWordWrap(true);
    m_thumbnails->setUniformItemSizes(true);

    addWidget(m_details);
    addWidget(m_thumbnails);
    setCurrentWidget(m_details);
    setFocusProxy(m_details);

    connect(m_selection, &QItemSelectionModel::selectionChanged, this, &ItemListView::SelectionChanged);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_thumbnails)})
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { emit ContextMenuRequested(view->viewport()->mapToGlobal(pos)); });
}

void ItemListView::SetRows(const std::vector<ItemRow>& rows)
{
    m_model->removeRows(0, m_model->rowCount());
    for (const ItemRow& row : rows) {
        QList<QStandardItem*> cells;
        cells << new QStandardItem(StockIcon(this, row.kind), QString::fromStdString(row.description));
        cells << new QStandardItem(QString::fromStdString(row.fileName));
        cells << new QStandardItem(QString::fromStdString(FormatItemSize(row.size)));
        cells << new QStandardItem(QString::fromStdString(FormatItemDate(row.dateAdded)));
        cells << new QStandardItem(QString::fromLatin1(ItemKindText(row.kind)));
        cells[ColSize]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        for (QStandardItem* cell : cells)
            cell->setData(row.recIdent, kIdentRole);
        m_model->appendRow(cells);
    }
}

int ItemListView::RowCount() const
{
    return m_model->rowCount();
}

int ItemListView::SelectedCount() const
{
    return static_cast<int>(m_selection->selectedRows().size());
}

std::vector<int> ItemListView::SelectedIdents() const
{
    std::vector<int> idents;
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (m_selection->isRowSelected(row, QModelIndex()))
            idents.push_back(m_model->item(row)->data(kIdentRole).toInt());
    return idents;
}

void ItemListView::SelectAll()
{
    if (m_model->rowCount() == 0)
        return;
    const QItemSelection all(m_model->index(0, 0), m_model->index(m_model->rowCount() - 1, ColumnCount - 1));
    m_selection->select(all, QItemSelectionModel::ClearAndSelect);
}

bool ItemListView::SelectIdent(int recIdent)
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->item(row)->data(kIdentRole).toInt() != recIdent)
            continue;
        const QModelIndex index = m_model->index(row, 0);
        m_selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }
    return false;
}

void ItemListView::SetThumbnailView(bool thumbnails)
{
    const bool hadFocus = HasKeyboardFocus();
    QAbstractItemView* view = thumbnails ? static_cast<QAbstractItemView*>(m_thumbnails) : m_details;
    setCurrentWidget(view);
    setFocusProxy(view);
    if (hadFocus)
        view->setFocus(Qt::OtherFocusReason);
}

bool ItemListView::IsThumbnailView() const
{
    return currentWidget() == m_thumbnails;
}

bool ItemListView::HasKeyboardFocus() const
{
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == this || isAncestorOf(focus));
}

} // namespace velmora
