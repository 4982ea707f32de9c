#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

#include "engine/core/date_time.h"

namespace kv::facade {

// The decimal value with `separator` between groups of three digits, counted from the right.
QString GroupedNumber(std::int64_t value, const QString& separator);
// Eight lower-case hexadecimal digits.
QString CrcText(std::int32_t crc);
// "A", "S", "H", "R" for the archive, system, hidden and read-only bits that are set.
QString AttributesText(std::uint32_t attributes);
// The locale's short date, two blanks, its short time.
QString DateTimeText(TDateTime value, const QLocale& locale);

}  // namespace kv::facade
