#include "dialogs/PasswordText.h"

namespace velmora {

std::string TrimPasswordEntry(const std::string& typed)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t begin = 0;
    std::size_t end = typed.size();
    while (begin < end && blank(typed[begin]))
        ++begin;
    while (end > begin && blank(typed[end - 1]))
        --end;
    return typed.substr(begin, end - begin);
}

} // namespace velmora
