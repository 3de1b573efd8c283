#pragma once

#include <QTreeWidget>

namespace velmora {

// The category tree `mainTree`: one node per category, "<Unclassified>" first.
class CategoryTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CategoryTreeView(QWidget* parent = nullptr);
};

} // namespace velmora
