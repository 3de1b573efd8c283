#pragma once

#include <optional>
#include <string>

namespace velmora {

// What the enabling rules of the main window's actions look at.
struct ShellSelection {
    // cat_id of the selected tree node (0 for "<Unclassified>"); none when no node is
    // selected (a search result is listed).
    std::optional<int> node;
    bool nodeHasParent = false;
    int selectedItems = 0;
    bool clipboardHasFiles = false;
};

// The enabled state (and, for two category actions, the caption) of each action whose
// rule depends on the selection.
struct ActionStates {
    bool addToCategory = false;       // actEditAddToCategory
    bool addSubcategory = false;      // actEditAddSubcategory
    bool renameCategory = false;      // actEditRenameCategory
    bool deleteCategory = false;      // actEditDeleteCategory
    bool removeFromCategory = false;  // actEditRemoveFromCategory
    bool deleteFiles = false;         // actEditDeleteFiles
    bool changeDescription = false;   // actEditChangeDescription
    bool fileExport = false;          // actFileExport
    bool saveToDisk = false;          // actFileSaveToDisk
    bool paste = false;               // actEditPaste
    bool exportCategory = false;      // actExportCategory
    bool print = false;               // actFilePrint
    std::string renameCategoryCaption;
    std::string deleteCategoryCaption;
};

ActionStates EvaluateActionRules(const ShellSelection& selection);

} // namespace velmora
