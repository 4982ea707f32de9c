#include "facade/views/entry_cells.h"

#include <QDate>
#include <QTime>

#include <string>

namespace kv::facade {

QString GroupedNumber(std::int64_t value, const QString& separator) {
    const std::string digits = std::to_string(value);
    const std::size_t first_digit = value < 0 ? 1 : 0;
    QString text = QString::fromLatin1(digits.data(), static_cast<qsizetype>(first_digit));
    for (std::size_t i = first_digit; i < digits.size(); ++i) {
        if (i > first_digit && (digits.size() - i) % 3 == 0) text += separator;
        text += QLatin1Char(digits[i]);
    }
    return text;
}

QString CrcText(std::int32_t crc) {
    return QStringLiteral("%1").arg(static_cast<std::uint32_t>(crc), 8, 16, QLatin1Char('0'));
}

QString AttributesText(std::uint32_t attributes) {
    static constexpr struct {
        std::uint32_t Bit;
        char Letter;
    } kLetters[] = {{0x20, 'A'}, {0x04, 'S'}, {0x02, 'H'}, {0x01, 'R'}};
    QString text;
    for (const auto& letter : kLetters) {
        if (attributes & letter.Bit) text += QLatin1Char(letter.Letter);
    }
    return text;
}

QString DateTimeText(TDateTime value, const QLocale& locale) {
    const TDateTimeParts parts = DecodeDateTime(value);
    return locale.toString(QDate(parts.Year, parts.Month, parts.Day), QLocale::ShortFormat) + QStringLiteral("  ") +
           locale.toString(QTime(parts.Hour, parts.Minute, parts.Second), QLocale::ShortFormat);
}

}  // namespace kv::facade
