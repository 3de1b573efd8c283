#include "store/SelectParser.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace velmora::db {

namespace {

enum class Kind { Word, Quoted, String, Number, Symbol };

struct Token {
    Kind kind;
    std::string_view text;   // as written
    std::size_t begin;
    int depth;               // parenthesis depth
};

bool IsWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'
        || static_cast<unsigned char>(c) >= 0x80;
}

// Splits sql into tokens; false when a quote or comment is left open.
bool Tokenize(std::string_view sql, std::vector<Token>& tokens)
{
    int depth = 0;
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (i < n) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            const auto end = sql.find('\n', i);
            i = end == std::string_view::npos ? n : end + 1;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const auto end = sql.find("*/", i + 2);
            if (end == std::string_view::npos)
                return false;
            i = end + 2;
            continue;
        }
        const std::size_t begin = i;
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            ++i;
            for (;;) {
                if (i >= n)
                    return false;
                if (sql[i] == close) {
                    if (close != ']' && i + 1 < n && sql[i + 1] == close) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            tokens.push_back({c == '\'' ? Kind::String : Kind::Quoted, sql.substr(begin, i - begin),
                              begin, depth});
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) {
            while (i < n && (IsWordChar(sql[i]) || sql[i] == '.'))
                ++i;
            tokens.push_back({Kind::Number, sql.substr(begin, i - begin), begin, depth});
            continue;
        }
        if (IsWordChar(c)) {
            while (i < n && IsWordChar(sql[i]))
                ++i;
            tokens.push_back({Kind::Word, sql.substr(begin, i - begin), begin, depth});
            continue;
        }
        if (c == ')')
            --depth;
        tokens.push_back({Kind::Symbol, sql.substr(begin, 1), begin, depth});
        if (c == '(')
            ++depth;
        ++i;
    }
    return depth == 0;
}

bool IsWord(const Token& t, std::string_view word)
{
    return t.kind == Kind::Word && EqualsNoCase(t.text, word);
}

bool IsAnyWord(const Token& t, std::initializer_list<std::string_view> words)
{
    return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return IsWord(t, w); });
}

bool IsSymbol(const Token& t, char c)
{
    return t.kind == Kind::Symbol && t.text[0] == c;
}

// Words that end a table reference or an alias position.
bool IsClauseWord(const Token& t)
{
    return IsAnyWord(t, {"where", "order", "limit", "group", "having", "union", "intersect", "except",
                         "join", "inner", "left", "right", "full", "outer", "cross", "natural", "on",
                         "using", "as", "from", "select", "indexed", "not"});
}

bool IsName(const Token& t)
{
    return t.kind == Kind::Quoted || (t.kind == Kind::Word && !IsClauseWord(t));
}

std::string Unquote(const Token& t)
{
    if (t.kind != Kind::Quoted)
        return std::string(t.text);
    const char close = t.text.front() == '[' ? ']' : t.text.front();
    std::string out;
    for (std::size_t i = 1; i + 1 < t.text.size(); ++i) {
        out += t.text[i];
        if (close != ']' && t.text[i] == close)
            ++i;   // doubled quote
    }
    return out;
}

std::optional<SelectShape::Item> ParseItem(std::string_view sql, const std::vector<Token>& tokens,
                                           std::size_t from, std::size_t to)
{
    if (from >= to)
        return std::nullopt;
    SelectShape::Item item;
    std::size_t end = to;
    // Alias: "... AS name" or "... name" after a column reference.
    if (to - from >= 3 && IsWord(tokens[to - 2], "as") && IsName(tokens[to - 1])) {
        item.alias = Unquote(tokens[to - 1]);
        end = to - 2;
    } else if (to - from == 2 && IsName(tokens[from]) && IsName(tokens[to - 1])) {
        item.alias = Unquote(tokens[to - 1]);
        end = to - 1;
    } else if (to - from == 4 && IsName(tokens[to - 1]) && IsSymbol(tokens[from + 1], '.')) {
        item.alias = Unquote(tokens[to - 1]);
        end = to - 1;
    }
    const std::size_t count = end - from;
    const Token& last = tokens[end - 1];
    item.text = std::string(sql.substr(tokens[from].begin, last.begin + last.text.size() - tokens[from].begin));
    if (count == 1 && IsSymbol(tokens[from], '*') && item.alias.empty()) {
        item.star = true;
        return item;
    }
    if (count == 3 && IsName(tokens[from]) && IsSymbol(tokens[from + 1], '.')
        && IsSymbol(tokens[from + 2], '*') && item.alias.empty()) {
        item.star = true;
        return item;
    }
    if (count == 1 && IsName(tokens[from])) {
        item.column = Unquote(tokens[from]);
        return item;
    }
    if (count == 3 && IsName(tokens[from]) && IsSymbol(tokens[from + 1], '.') && IsName(tokens[from + 2])) {
        item.column = Unquote(tokens[from + 2]);
        return item;
    }
    return std::nullopt;
}

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x))
                   == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string QuoteIdentifier(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::optional<SelectShape> ParseUpdatableSelect(std::string_view sql)
{
    std::vector<Token> tokens;
    if (!Tokenize(sql, tokens) || tokens.empty() || !IsWord(tokens[0], "select"))
        return std::nullopt;
    std::size_t i = 1;
    if (i < tokens.size() && IsWord(tokens[i], "distinct"))
        return std::nullopt;
    if (i < tokens.size() && IsWord(tokens[i], "all"))
        ++i;
    const std::size_t listStart = i;
    std::size_t fromIndex = tokens.size();
    for (std::size_t k = listStart; k < tokens.size(); ++k) {
        if (tokens[k].depth == 0 && IsWord(tokens[k], "from")) {
            fromIndex = k;
            break;
        }
    }
    if (fromIndex == tokens.size() || fromIndex == listStart)
        return std::nullopt;

    SelectShape shape;
    shape.listBegin = tokens[listStart].begin;
    shape.listEnd = tokens[fromIndex].begin;
    std::size_t itemStart = listStart;
    for (std::size_t k = listStart; k <= fromIndex; ++k) {
        if (k == fromIndex || (tokens[k].depth == 0 && IsSymbol(tokens[k], ','))) {
            auto item = ParseItem(sql, tokens, itemStart, k);
            if (!item)
                return std::nullopt;
            shape.items.push_back(std::move(*item));
            itemStart = k + 1;
        }
    }

    std::size_t k = fromIndex + 1;
    if (k >= tokens.size() || !IsName(tokens[k]))
        return std::nullopt;
    const std::size_t refBegin = tokens[k].begin;
    shape.table = Unquote(tokens[k++]);
    if (k < tokens.size() && IsSymbol(tokens[k], '.'))
        return std::nullopt;   // schema-qualified: not one of the library's tables
    if (k + 1 < tokens.size() && IsWord(tokens[k], "as") && IsName(tokens[k + 1]))
        k += 2;
    else if (k < tokens.size() && IsName(tokens[k]))
        ++k;
    shape.tableRef = std::string(sql.substr(refBegin, tokens[k - 1].begin + tokens[k - 1].text.size() - refBegin));
    if (k < tokens.size() && !IsAnyWord(tokens[k], {"where", "order", "limit"}) && !IsSymbol(tokens[k], ';'))
        return std::nullopt;
    for (; k < tokens.size(); ++k) {
        if (tokens[k].depth != 0)
            continue;
        if (IsAnyWord(tokens[k], {"group", "having", "union", "intersect", "except", "join", "from"}))
            return std::nullopt;
        if (IsSymbol(tokens[k], ';') && k + 1 != tokens.size())
            return std::nullopt;
    }
    return shape;
}

} // namespace velmora::db
