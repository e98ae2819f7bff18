#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Dates are stored as day counts (days since 1899-12-30, the fraction being the time of day), the
// form every store file and expression uses. Local time, as the user sees it.
namespace DateValue {

double fromDateTime(const QDateTime &dt);
QDateTime toDateTime(double days);
double now();

// The general date format of this platform: "yyyy-MM-dd HH:mm:ss", or just "yyyy-MM-dd" when the
// time is midnight. Locale-independent, so that expressions written in one run parse in the next.
QString formatGeneral(const QDateTime &dt);
QString formatGeneral(double days);
// Accepts what formatGeneral writes, plus "yyyy-MM-dd HH:mm" and ISO 8601 with a 'T'.
std::optional<double> parseGeneral(const QString &text);

} // namespace DateValue
