#include "catalogue/Confirmations.h"

#include "ui/MessageBoxes.h"

namespace velmora {

namespace {

bool Ask(MessageBoxes& messages, const std::string& question)
{
    return messages.ShowMessageBox(question, mb::kYesNo | mb::kIconQuestion) != mb::kResultNo;
}

} // namespace

std::string DeleteItemsQuestion(int count)
{
    if (count == 1)
        return "Are you sure you want to delete this file?";
    return "Are you sure you want to delete these " + std::to_string(count) + " files?";
}

std::string RemoveFromCategoryQuestion(int count)
{
    if (count == 1)
        return "Are you sure you want to remove this file from the category?";
    return "Are you sure you want to remove these " + std::to_string(count) + " files from the category?";
}

bool ConfirmDeleteItems(MessageBoxes& messages, int count)
{
    return Ask(messages, DeleteItemsQuestion(count));
}

bool ConfirmRemoveFromCategory(MessageBoxes& messages, int count)
{
    return Ask(messages, RemoveFromCategoryQuestion(count));
}

bool ConfirmDeleteCategory(MessageBoxes& messages)
{
    return Ask(messages, kDeleteCategoryQuestion);
}

} // namespace velmora
