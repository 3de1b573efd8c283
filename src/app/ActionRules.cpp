#include "app/ActionRules.h"

#include "catalogue/Categories.h"

namespace velmora {

namespace {

// "<what> Subcategory" below another node, "<what> Category" at the top level, both
// words when nothing is selected.
std::string CategoryCaption(const std::string& verb, const ShellSelection& selection)
{
    if (!selection.node)
        return verb + " Category / Subcategory";
    return verb + (selection.nodeHasParent ? " Subcategory" : " Category");
}

} // namespace

ActionStates EvaluateActionRules(const ShellSelection& selection)
{
    const bool nodeSelected = selection.node.has_value();
    const bool categorySelected = nodeSelected && *selection.node != kUnclassifiedId;
    const bool anyItem = selection.selectedItems >= 1;

    ActionStates states;
    states.addToCategory = nodeSelected;
    states.addSubcategory = categorySelected;
    states.renameCategory = categorySelected;
    states.deleteCategory = categorySelected;
    states.removeFromCategory = anyItem && categorySelected;
    states.deleteFiles = anyItem;
    states.changeDescription = selection.selectedItems == 1;
    states.fileExport = anyItem;
    states.saveToDisk = anyItem;
    states.paste = selection.clipboardHasFiles;
    states.exportCategory = nodeSelected;
    states.print = anyItem;
    states.renameCategoryCaption = CategoryCaption("Rename", selection);
    states.deleteCategoryCaption = CategoryCaption("Delete", selection);
    return states;
}

} // namespace velmora
