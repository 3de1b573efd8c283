#include "app/ItemListView.h"

#include "app/StockImages.h"
#include "app/ThumbnailWorker.h"
#include "catalogue/DragMarkers.h"
#include "catalogue/ItemKind.h"
#include "catalogue/ItemRows.h"
#include "catalogue/ItemSize.h"
#include "catalogue/ItemSort.h"
#include "catalogue/Thumbnails.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace velmora {

namespace {

// One cell of a row. Cells order themselves by mainListCompare, which reads the
// value behind the text: bytes for "Size", the date for "Date Added".
class ItemCell : public QStandardItem {
public:
    explicit ItemCell(const QString& text) : QStandardItem(text) { setEditable(false); }

    QVariant data(int role) const override
    {
        if (role == Qt::ToolTipRole && model() != nullptr)
            return RowTip(*model(), row());
        return QStandardItem::data(role);
    }

    bool operator<(const QStandardItem& other) const override
    {
        return mainListCompare(SortRow(*this), SortRow(other), column(), 1) < 0;
    }

    static QString RowTip(const QStandardItemModel& model, int row)
    {
        const auto text = [&model, row](int column) {
            const QStandardItem* cell = model.item(row, column);
            return cell != nullptr ? cell->text() : QString();
        };
        return QStringLiteral("Description: ") + text(ItemListView::ColDescription) + QStringLiteral("\r\n") +
               QStringLiteral("Size: ") + text(ItemListView::ColSize) + QStringLiteral("\r\n") +
               QStringLiteral("Date Added: ") + text(ItemListView::ColDateAdded) + QStringLiteral("\r\n") +
               QStringLiteral("Format: ") + text(ItemListView::ColFileType);
    }

private:
    // The one field of a row that the cell's column sorts by.
    static ItemRow SortRow(const QStandardItem& cell)
    {
        ItemRow row;
        const QVariant key = cell.data(ItemListView::kSortKeyRole);
        switch (cell.column()) {
        case kDescriptionColumn:
            row.description = cell.text().toStdString();
            break;
        case kFileNameColumn:
            row.fileName = cell.text().toStdString();
            break;
        case kSizeColumn:
            row.size = key.toLongLong();
            break;
        case kDateAddedColumn:
            if (key.isValid())
                row.dateAdded = db::Date(std::chrono::days(key.toLongLong()));
            break;
        case kFileTypeColumn:
            row.kind = static_cast<ItemKind>(key.toInt());
            break;
        default:
            break;
        }
        return row;
    }
};

} // namespace

// Rows go in with the model's signals held back and one reset at the end: a view told
// of each of 10,000 rows on its own lays itself out 10,000 times.
class ItemListModel : public QStandardItemModel {
public:
    using QStandardItemModel::QStandardItemModel;

    void Replace(std::vector<QList<QStandardItem*>> rows)
    {
        removeRows(0, rowCount());
        beginResetModel();
        {
            const QSignalBlocker quiet(this);
            for (QList<QStandardItem*>& cells : rows)
                appendRow(cells);
        }
        endResetModel();
    }
};

// Draws the picture of a row only in the thumbnail view, and reports an accepted edit
// of a description.
class ItemListDelegate : public QStyledItemDelegate {
public:
    ItemListDelegate(bool pictures, std::function<void(const QModelIndex&)> edited, QObject* parent)
        : QStyledItemDelegate(parent), m_pictures(pictures), m_edited(std::move(edited))
    {
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        QStyledItemDelegate::setModelData(editor, model, index);
        m_edited(index);
    }

    // The view fills the editor again whenever its row changes, and the row's picture
    // may arrive while the description is being edited: what was typed so far stays.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        static constexpr const char* kFilled = "velmoraEditorFilled";
        if (editor->property(kFilled).toBool())
            return;
        QStyledItemDelegate::setEditorData(editor, index);
        editor->setProperty(kFilled, true);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!m_pictures) {
            option->features &= ~QStyleOptionViewItem::HasDecoration;
            option->icon = QIcon();
        }
    }

private:
    bool m_pictures;
    std::function<void(const QModelIndex&)> m_edited;
};

namespace {

template <typename View>
void SetUpView(View* view, QStandardItemModel* model, QItemSelectionModel* selection)
{
    view->setModel(model);
    view->setSelectionModel(selection);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    // F2 and "Change Item Description" start the editing; a click never does.
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->setMouseTracking(true);
}

// After the view's mode is set: the icon mode turns its own dragging on and off with
// the movement of its icons.
void SetUpDragAndDrop(QAbstractItemView* view)
{
    // Drags out of the list are started here, carrying the marker; the view's own
    // drag would take the rows out of the list after a move.
    view->setDragEnabled(false);
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
}

} // namespace

ItemListView::ItemListView(QWidget* parent) : QStackedWidget(parent), m_worker(std::make_unique<ThumbnailWorker>())
{
    setObjectName(QStringLiteral("mainList"));
    m_model = new ItemListModel(0, ColumnCount, this);
    m_model->setHorizontalHeaderLabels(
        {QStringLiteral("Description"), QStringLiteral("Filename"), QStringLiteral("Size"),
         QStringLiteral("Date Added"), QStringLiteral("File Type")});
    m_selection = new QItemSelectionModel(m_model, this);

    const auto edited = [this](const QModelIndex& index) {
        if (index.column() == ColDescription)
            emit DescriptionEdited(index.data(kIdentRole).toInt(), index.data(Qt::EditRole).toString());
    };
    m_detailDelegate = new ItemListDelegate(false, edited, this);
    m_thumbnailDelegate = new ItemListDelegate(true, edited, this);

    m_details = new QTreeView(this);
    m_details->setObjectName(QStringLiteral("mainListDetails"));
    SetUpView(m_details, m_model, m_selection);
    m_details->setItemDelegate(m_detailDelegate);
    m_details->setRootIsDecorated(false);
    m_details->setUniformRowHeights(true);
    m_details->setAlternatingRowColors(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->setSortingEnabled(false);   // sorting is mainListCompare's, on a header click
    const int widths[ColumnCount] = {229, 229, 80, 100, 150};
    for (int column = 0; column < ColumnCount; ++column)
        m_details->setColumnWidth(column, widths[column]);
    QHeaderView* header = m_details->header();
    header->setMinimumSectionSize(60);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this, &ItemListView::ColumnClicked);

    m_thumbnails = new QListView(this);
    m_thumbnails->setObjectName(QStringLiteral("mainListThumbnails"));
    SetUpView(m_thumbnails, m_model, m_selection);
    m_thumbnails->setItemDelegate(m_thumbnailDelegate);
    m_thumbnails->setViewMode(QListView::IconMode);
    m_thumbnails->setIconSize(QSize(kThumbnailCellSize, kThumbnailCellSize));
    m_thumbnails->setMovement(QListView::Static);
    m_thumbnails->setResizeMode(QListView::Adjust);
    m_thumbnails->setWordWrap(true);
    m_thumbnails->setUniformItemSizes(true);
    SetUpDragAndDrop(m_details);
    SetUpDragAndDrop(m_thumbnails);

    addWidget(m_details);
    addWidget(m_thumbnails);
    setCurrentWidget(m_details);
    setFocusProxy(m_details);

    connect(m_selection, &QItemSelectionModel::selectionChanged, this, &ItemListView::SelectionChanged);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_thumbnails)}) {
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { emit ContextMenuRequested(view->viewport()->mapToGlobal(pos)); });
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }

    m_preferVisible.setSingleShot(true);
    m_preferVisible.setInterval(0);
    connect(&m_preferVisible, &QTimer::timeout, this, &ItemListView::PreferVisibleRows);
    connect(m_thumbnails->verticalScrollBar(), &QScrollBar::valueChanged, &m_preferVisible,
            qOverload<>(&QTimer::start));
    connect(m_worker.get(), &ThumbnailWorker::Made, this, &ItemListView::ThumbnailMade, Qt::QueuedConnection);
    ResetImages();
}

ItemListView::~ItemListView()
{
    m_worker.reset();   // waits for the thumbnails in the making
}

void ItemListView::ResetImages()
{
    m_images.clear();
    for (const QPixmap& stock : StockImages())
        m_images.emplace_back(stock);
    ++m_generation;   // a thumbnail still on its way belongs to the rows that went
}

void ItemListView::SetRows(const std::vector<ItemRow>& rows)
{
    ResetImages();
    std::vector<QList<QStandardItem*>> table;
    table.reserve(rows.size());
    const QIcon& notMade = m_images[kThumbnailNotMade];
    for (const ItemRow& row : rows) {
        QList<QStandardItem*> cells;
        auto* description = new ItemCell(QString::fromStdString(row.description));
        description->setEditable(true);
        description->setIcon(notMade);
        description->setData(kThumbnailNotMade, kImageRole);
        cells << description;
        cells << new ItemCell(QString::fromStdString(row.fileName));
        cells << new ItemCell(QString::fromStdString(FormatItemSize(row.size)));
        cells << new ItemCell(QString::fromStdString(FormatItemDate(row.dateAdded)));
        cells << new ItemCell(QString::fromLatin1(ItemKindText(row.kind)));
        cells[ColSize]->setData(static_cast<qlonglong>(row.size), kSortKeyRole);
        cells[ColSize]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (row.dateAdded)
            cells[ColDateAdded]->setData(static_cast<qlonglong>(row.dateAdded->time_since_epoch().count()),
                                         kSortKeyRole);
        cells[ColFileType]->setData(static_cast<int>(row.kind), kSortKeyRole);
        for (QStandardItem* cell : cells)
            cell->setData(row.recIdent, kIdentRole);
        table.push_back(std::move(cells));
    }
    m_model->Replace(std::move(table));
    if (m_thumbnailsRunning)
        StartThumbnails();
}

int ItemListView::RowCount() const
{
    return m_model->rowCount();
}

int ItemListView::IdentAt(int row) const
{
    const QStandardItem* cell = m_model->item(row, ColDescription);
    return cell != nullptr ? cell->data(kIdentRole).toInt() : 0;
}

QString ItemListView::CellText(int row, int column) const
{
    const QStandardItem* cell = m_model->item(row, column);
    return cell != nullptr ? cell->text() : QString();
}

QString ItemListView::InfoTip(int row) const
{
    return m_model->index(row, ColDescription).data(Qt::ToolTipRole).toString();
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
            idents.push_back(IdentAt(row));
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
    const int row = RowOfIdent(recIdent);
    if (row < 0)
        return false;
    m_selection->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_details->scrollTo(m_model->index(row, 0));
    m_thumbnails->scrollTo(m_model->index(row, 0));
    return true;
}

bool ItemListView::IsRowSelected(int row) const
{
    return m_selection->isRowSelected(row, {});
}

void ItemListView::SetRowSelected(int row, bool selected)
{
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid())
        return;
    if (!selected) {
        m_selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        return;
    }
    m_selection->setCurrentIndex(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_details->scrollTo(index);
    m_thumbnails->scrollTo(index);
}

int ItemListView::RowOfIdent(int recIdent) const
{
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (IdentAt(row) == recIdent)
            return row;
    return -1;
}

void ItemListView::SortRows(int column, int direction)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_model->sort(column, direction > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void ItemListView::SetThumbnailView(bool thumbnails)
{
    const bool hadFocus = HasKeyboardFocus();
    QAbstractItemView* view = thumbnails ? static_cast<QAbstractItemView*>(m_thumbnails) : m_details;
    setCurrentWidget(view);
    setFocusProxy(view);
    if (hadFocus)
        view->setFocus(Qt::OtherFocusReason);
    if (thumbnails)
        StartThumbnails();
    else
        StopThumbnails();
}

bool ItemListView::IsThumbnailView() const
{
    return currentWidget() == m_thumbnails;
}

int ItemListView::ImageIndexAt(int row) const
{
    const QStandardItem* cell = m_model->item(row, ColDescription);
    return cell != nullptr ? cell->data(kImageRole).toInt() : -1;
}

int ItemListView::ImageCount() const
{
    return static_cast<int>(m_images.size());
}

QImage ItemListView::Image(int index) const
{
    if (index < 0 || index >= ImageCount())
        return {};
    return m_images[static_cast<std::size_t>(index)].pixmap(kThumbnailCellSize, kThumbnailCellSize).toImage();
}

// ---- thumbnails ----

void ItemListView::StartThumbnails()
{
    m_thumbnailsRunning = true;
    if (!isVisible())
        return;   // the show event starts them
    std::vector<int> order;
    std::vector<bool> queued(static_cast<std::size_t>(RowCount()), false);
    for (int row : VisibleRows()) {
        if (ImageIndexAt(row) == kThumbnailNotMade) {
            order.push_back(IdentAt(row));
            queued[static_cast<std::size_t>(row)] = true;
        }
    }
    for (int row = 0; row < RowCount(); ++row)
        if (!queued[static_cast<std::size_t>(row)] && ImageIndexAt(row) == kThumbnailNotMade)
            order.push_back(IdentAt(row));
    if (order.empty())
        m_worker->Stop();
    else
        m_worker->Start(m_generation, std::move(order));
}

void ItemListView::StopThumbnails()
{
    m_thumbnailsRunning = false;
    m_preferVisible.stop();
    m_worker->Stop();
    ++m_generation;   // pictures already on their way are not shown either
}

void ItemListView::showEvent(QShowEvent* event)
{
    QStackedWidget::showEvent(event);
    if (m_thumbnailsRunning)
        StartThumbnails();
}

void ItemListView::hideEvent(QHideEvent* event)
{
    QStackedWidget::hideEvent(event);
    if (m_thumbnailsRunning) {
        m_preferVisible.stop();
        m_worker->Stop();
        ++m_generation;
    }
}

void ItemListView::PreferVisibleRows()
{
    if (!m_thumbnailsRunning)
        return;
    std::vector<int> visible;
    for (int row : VisibleRows())
        if (ImageIndexAt(row) == kThumbnailNotMade)
            visible.push_back(IdentAt(row));
    if (!visible.empty())
        m_worker->Prefer(visible);
}

std::vector<int> ItemListView::VisibleRows() const
{
    std::vector<int> rows;
    if (!IsThumbnailView())
        return rows;
    // The positions of a fill are laid out only when the view next paints.
    m_thumbnails->doItemsLayout();
    const QRect area = m_thumbnails->viewport()->rect();
    for (int row = 0; row < RowCount(); ++row)
        if (m_thumbnails->visualRect(m_model->index(row, ColDescription)).intersects(area))
            rows.push_back(row);
    return rows;
}

bool ItemListView::ThumbnailsIdle() const
{
    return m_worker->Idle();
}

int ItemListView::ThumbnailDecodes() const
{
    return m_worker->Decodes();
}

void ItemListView::ThumbnailMade(quint64 generation, int recIdent, int index, const QImage& picture)
{
    if (generation != m_generation)
        return;
    const int row = RowOfIdent(recIdent);
    if (row < 0 || ImageIndexAt(row) != kThumbnailNotMade)
        return;
    if (index == ThumbnailWorker::kMadeThumbnail) {
        m_images.emplace_back(QPixmap::fromImage(picture));
        index = ImageCount() - 1;
    } else if (index < 0 || index >= ImageCount()) {
        index = kNoThumbnail;
    }
    SetRowImage(row, index);
    emit ThumbnailShown(row);
}

void ItemListView::SetRowImage(int row, int index)
{
    // The change of one cell repaints that item alone.
    QStandardItem* cell = m_model->item(row, ColDescription);
    cell->setData(index, kImageRole);
    cell->setIcon(m_images[static_cast<std::size_t>(index)]);
}

// ---- editing ----

bool ItemListView::EditDescription()
{
    QModelIndex target = m_selection->currentIndex();
    if (!target.isValid() || !m_selection->isRowSelected(target.row(), QModelIndex())) {
        const QModelIndexList rows = m_selection->selectedRows();
        if (rows.isEmpty())
            return false;
        target = rows.front();
    }
    target = m_model->index(target.row(), ColDescription);
    QAbstractItemView* view = IsThumbnailView() ? static_cast<QAbstractItemView*>(m_thumbnails) : m_details;
    view->scrollTo(target);
    view->edit(target);
    return true;
}

// ---- drag and drop ----

std::unique_ptr<QMimeData> ItemListView::NewListDrag()
{
    return NewMarkerDrag(kListDragMarker);
}

void ItemListView::StartDrag(QAbstractItemView* view)
{
    if (SelectedCount() == 0)
        return;
    auto* drag = new QDrag(view);
    drag->setMimeData(NewListDrag().release());
    const QModelIndex current = m_selection->currentIndex();
    if (current.isValid()) {
        const QIcon icon = m_model->index(current.row(), ColDescription).data(Qt::DecorationRole).value<QIcon>();
        if (!icon.isNull())
            drag->setPixmap(icon.pixmap(32, 32));
    }
    drag->exec(kListDragActions, Qt::MoveAction);
    emit DragFinished();
}

bool ItemListView::eventFilter(QObject* watched, QEvent* event)
{
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_thumbnails)}) {
        if (watched == view->viewport())
            return ViewportEvent(view, event);
        if (watched == view && event->type() == QEvent::KeyPress) {
            // F2 without Ctrl, Shift or Alt renames the selected item's description.
            auto* key = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers held = key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
            if (key->key() == Qt::Key_F2 && held == Qt::NoModifier) {
                EditDescription();
                return true;
            }
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

bool ItemListView::ViewportEvent(QAbstractItemView* view, QEvent* event)
{
    if (view == m_thumbnails && event->type() == QEvent::Resize)
        m_preferVisible.start();   // other rows are on screen now
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool dragButton = mouse->button() == Qt::LeftButton || mouse->button() == Qt::MiddleButton;
        m_dragView = dragButton && view->indexAt(mouse->position().toPoint()).isValid() ? view : nullptr;
        m_dragStart = mouse->position().toPoint();
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_dragView != view || !(mouse->buttons() & (Qt::LeftButton | Qt::MiddleButton)))
            return false;
        if ((mouse->position().toPoint() - m_dragStart).manhattanLength() < QApplication::startDragDistance())
            return false;
        m_dragView = nullptr;
        StartDrag(view);
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragView = nullptr;
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const QMimeData* data = drag->mimeData();
        // Items dragged from the list itself cannot be dropped on it, and a drag
        // carrying no local files has nothing to add.
        if (data == nullptr || DroppedFileListText(*data) == std::string(kListDragMarker) + "\r\n" ||
            DroppedPaths(*data).empty()) {
            drag->ignore();
            return true;
        }
        if (OfferedDropEffect(m_dropEffect, drag->modifiers(), drag->possibleActions()) == DropEffect::None) {
            drag->ignore();
            return true;
        }
        // The answer during the drag is the one many sources act on: always a copy.
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::DragLeave:
        emit DragLeft();
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* data = drop->mimeData();
        if (data == nullptr || DroppedFileListText(*data) == std::string(kListDragMarker) + "\r\n") {
            drop->ignore();
            return true;
        }
        const std::vector<std::string> paths = DroppedPaths(*data);
        if (paths.empty()) {
            drop->ignore();
            return true;
        }
        const DropEffect effect = OfferedDropEffect(m_dropEffect, drop->modifiers(), drop->possibleActions());
        if (effect == DropEffect::None) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        emit FilesDropped(paths, static_cast<int>(effect));
        return true;
    }
    default:
        return false;
    }
}

bool ItemListView::HasKeyboardFocus() const
{
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == this || isAncestorOf(focus));
}

} // namespace velmora
