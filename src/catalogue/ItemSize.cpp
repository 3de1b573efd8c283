#include "catalogue/ItemSize.h"

#include <QDate>
#include <QString>

#include <array>

namespace velmora {

std::string FormatItemSize(std::int64_t bytes, const QLocale& locale)
{
    // Past gigabytes the unit keeps being named: a bare number would read as bytes.
    static constexpr std::array<const char*, 7> kUnits = {" B", "KB", "MB", "GB", "TB", "PB", "EB"};
    double x = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (x / 1024 > 10 && unit + 1 < kUnits.size()) {
        x /= 1024;
        ++unit;
    }
    return locale.toString(x, 'f', 0).toStdString() + " " + kUnits[unit];
}

std::string FormatItemDate(std::optional<db::Date> date, const QLocale& locale)
{
    if (!date)
        return {};
    const std::chrono::year_month_day ymd{*date};
    const QDate value(static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                      static_cast<int>(static_cast<unsigned>(ymd.day())));
    // Two-digit years would make 1999 and 2099 look alike.
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(value, format).toStdString();
}

} // namespace velmora
