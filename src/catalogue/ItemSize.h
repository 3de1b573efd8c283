#pragma once

#include "store/Query.h"

#include <QLocale>

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// The "Size" column: the byte count divided by 1024 for as long as more than ten
// units remain, shown without decimals with the locale's thousands separators, a
// blank and the unit (" B", "KB", "MB", "GB", "TB", "PB", "EB"). 10,240 bytes read
// "10,240  B", 10,241 bytes "10 KB".
std::string FormatItemSize(std::int64_t bytes, const QLocale& locale = QLocale());

// The "Date Added" column: the locale's short date with a four-digit year; empty
// for an item without a date.
std::string FormatItemDate(std::optional<db::Date> date, const QLocale& locale = QLocale());

} // namespace velmora
