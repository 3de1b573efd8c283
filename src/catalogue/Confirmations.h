#pragma once

#include <string>

namespace velmora {

class MessageBoxes;

// The questions asked before taking things out of the catalogue, as Yes/No questions.
// Each answers true (go ahead) unless the answer is an explicit No.
std::string DeleteItemsQuestion(int count);
std::string RemoveFromCategoryQuestion(int count);
inline constexpr const char* kDeleteCategoryQuestion = "Are you sure you want to delete this category?";

bool ConfirmDeleteItems(MessageBoxes& messages, int count);
bool ConfirmRemoveFromCategory(MessageBoxes& messages, int count);
bool ConfirmDeleteCategory(MessageBoxes& messages);

} // namespace velmora
