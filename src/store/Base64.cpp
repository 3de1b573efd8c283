#include "store/Base64.h"

#include <array>
#include <cstdint>

namespace velmora {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// What a character outside the alphabet, the completion character included, stands for.
constexpr std::uint8_t kStrayValue = 61;

constexpr std::array<std::uint8_t, 256> MakeDecodeTable()
{
    std::array<std::uint8_t, 256> table{};
    for (auto& v : table)
        v = kStrayValue;
    for (std::uint8_t i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}

constexpr auto kDecode = MakeDecodeTable();

} // namespace

std::string StrToBase64(const std::string& bytes)
{
    std::string padded = bytes;
    std::size_t fill = 0;
    while (padded.size() < 3 || padded.size() % 3 != 0) {
        padded.push_back('\0');
        ++fill;
    }
    std::string text;
    text.reserve(padded.size() / 3 * 4);
    for (std::size_t i = 0; i < padded.size(); i += 3) {
        const std::uint32_t group = std::uint32_t{static_cast<unsigned char>(padded[i])} << 16 |
                                    std::uint32_t{static_cast<unsigned char>(padded[i + 1])} << 8 |
                                    std::uint32_t{static_cast<unsigned char>(padded[i + 2])};
        text.push_back(kAlphabet[group >> 18 & 63]);
        text.push_back(kAlphabet[group >> 12 & 63]);
        text.push_back(kAlphabet[group >> 6 & 63]);
        text.push_back(kAlphabet[group & 63]);
    }
    text.replace(text.size() - fill, fill, fill, '=');
    return text;
}

std::string Base64ToStr(const std::string& text)
{
    if (text.size() <= 3 || text.size() % 4 != 0)
        throw Base64Error("Base64ToStr: illegal input length!");
    std::size_t completion = 0;
    while (completion < text.size() && text[text.size() - 1 - completion] == '=')
        ++completion;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 4; ++j)
            group = group << 6 | kDecode[static_cast<unsigned char>(text[i + j])];
        bytes.push_back(static_cast<char>(group >> 16 & 255));
        bytes.push_back(static_cast<char>(group >> 8 & 255));
        bytes.push_back(static_cast<char>(group & 255));
    }
    // Text made only of "=" would remove more than it holds.
    bytes.resize(completion < bytes.size() ? bytes.size() - completion : 0);
    return bytes;
}

} // namespace velmora
