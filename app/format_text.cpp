#include "app/format_text.h"

#include "engine/core/date_time.h"

namespace kv::app {

QString FormatText(const QString& pattern, const QStringList& arguments) {
    QString result;
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size()) {
            result += c;
            continue;
        }
        const QChar kind = pattern[i + 1];
        if (kind == '%') {
            result += '%';
            ++i;
        } else if ((kind == 's' || kind == 'd' || kind == 'u') && next < arguments.size()) {
            result += arguments[next++];
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

QString DottedNumber(qint64 value) {
    QString digits = QString::number(value < 0 ? -value : value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, '.');
    return value < 0 ? "-" + digits : digits;
}

QDateTime ToQDateTime(double date_time) {
    const TDateTimeParts parts = DecodeDateTime(date_time);
    return QDateTime(QDate(parts.Year, parts.Month, parts.Day), QTime(parts.Hour, parts.Minute, parts.Second));
}

}  // namespace kv::app
