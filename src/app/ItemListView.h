#pragma once

#include <QStackedWidget>

#include <vector>

class QItemSelectionModel;
class QListView;
class QStandardItemModel;
class QTreeView;

namespace velmora {

struct ItemRow;

// The item list `mainList`: one set of rows shown either as the detail table or as
// 64 x 64 thumbnails. Both views share the rows and the selection, so switching the
// view keeps what is selected. Each row carries its rec_ident.
class ItemListView : public QStackedWidget {
    Q_OBJECT
public:
    enum Column { ColDescription, ColFilename, ColSize, ColDateAdded, ColFileType, ColumnCount };
    static constexpr int kIdentRole = Qt::UserRole + 1;

    explicit ItemListView(QWidget* parent = nullptr);

    // Replaces the rows.
    void SetRows(const std::vector<ItemRow>& rows);
    int RowCount() const;

    int SelectedCount() const;
    // rec_ident of every selected row, in list order.
    std::vector<int> SelectedIdents() const;
    void SelectAll();
    // Selects the row of that item alone; false when it is not listed.
    bool SelectIdent(int recIdent);

    void SetThumbnailView(bool thumbnails);
    bool IsThumbnailView() const;

    // The keyboard focus is in the list (either view).
    bool HasKeyboardFocus() const;

    QTreeView* DetailView() const { return m_details; }
    QListView* ThumbnailView() const { return m_thumbnails; }

signals:
    void SelectionChanged();
    void ContextMenuRequested(const QPoint& globalPos);

private:
    QStandardItemModel* m_model = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    QTreeView* m_details = nullptr;
    QListView* m_thumbnails = nullptr;
};

} // namespace velmora
