#pragma once

#include <chrono>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace velmora::db {

class Statement;

using Date = std::chrono::sys_days;

// Today's date in local time, without a time of day: what "date added" records.
Date Today();
// A date as the database stores it: "YYYY-MM-DD".
std::string DateText(Date date);
// The date a "YYYY-MM-DD" text names; nothing for any other text.
std::optional<Date> ParseDateText(std::string_view text);

// One value bound to a statement's parameter: null, a number or a text. Booleans are
// stored as 0 and 1 and dates as their text, the way the library files hold them.
class SqlValue {
public:
    SqlValue() = default;
    SqlValue(std::nullptr_t) {}
    template <std::integral T>
    SqlValue(T value) : m_value(static_cast<std::int64_t>(value))
    {
    }
    SqlValue(std::string text) : m_value(std::move(text)) {}
    SqlValue(std::string_view text) : m_value(std::string(text)) {}
    SqlValue(const char* text) : m_value(std::string(text)) {}
    SqlValue(Date date) : m_value(DateText(date)) {}

    bool IsNull() const { return std::holds_alternative<std::monostate>(m_value); }
    void Bind(Statement& statement, int index) const;

private:
    std::variant<std::monostate, std::int64_t, std::string> m_value;
};

} // namespace velmora::db
