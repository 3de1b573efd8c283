#include "store/SqlValue.h"

#include "store/Statement.h"

#include <cstdio>
#include <ctime>

namespace velmora::db {

Date Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    using namespace std::chrono;
    return sys_days(year(local.tm_year + 1900) / month(static_cast<unsigned>(local.tm_mon + 1)) /
                    day(static_cast<unsigned>(local.tm_mday)));
}

std::string DateText(Date date)
{
    const std::chrono::year_month_day ymd{date};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

std::optional<Date> ParseDateText(std::string_view text)
{
    int y = 0;
    unsigned m = 0, d = 0;
    if (std::sscanf(std::string(text).c_str(), "%d-%u-%u", &y, &m, &d) != 3)
        return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
    if (!ymd.ok())
        return std::nullopt;
    return Date{ymd};
}

void SqlValue::Bind(Statement& statement, int index) const
{
    if (const auto* i = std::get_if<std::int64_t>(&m_value))
        statement.BindInt64(index, *i);
    else if (const auto* s = std::get_if<std::string>(&m_value))
        statement.BindText(index, *s);
    else
        statement.BindNull(index);
}

} // namespace velmora::db
