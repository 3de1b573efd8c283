#include "catalogue/CategoryTreeView.h"

namespace velmora {

CategoryTreeView::CategoryTreeView(QWidget* parent) : QTreeWidget(parent) {}

} // namespace velmora
