#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kv::app {

// Fills the placeholders of a language text ("%s", "%d", "%u", each taking the next argument; "%%" is a
// percent sign) in order. A placeholder without an argument stays as it is.
QString FormatText(const QString& pattern, const QStringList& arguments);

// A number with "." between groups of three digits, as the overwrite question shows sizes.
QString DottedNumber(qint64 value);

// A date and time of the engine (days since 30 December 1899, local time) for display.
QDateTime ToQDateTime(double date_time);

}  // namespace kv::app
