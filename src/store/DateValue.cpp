#include "store/DateValue.h"

#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;
} // namespace

namespace DateValue {

double fromDateTime(const QDateTime &dt)
{
    const QDateTime local = dt.toLocalTime();
    const double days = double(kEpoch.daysTo(local.date()));
    const double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
    // Before the epoch the fraction counts forward from the (negative) day, as stored dates do.
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime toDateTime(double days)
{
    const double whole = std::trunc(days);
    const double fraction = std::fabs(days - whole);
    const QDate date = kEpoch.addDays(qint64(whole));
    const QTime time =
        QTime::fromMSecsSinceStartOfDay(int(std::llround(fraction * kMsPerDay)) % int(kMsPerDay));
    return QDateTime(date, time);
}

double now()
{
    return fromDateTime(QDateTime::currentDateTime());
}

QString formatGeneral(const QDateTime &dt)
{
    const QDateTime local = dt.toLocalTime();
    if (local.time().msecsSinceStartOfDay() == 0)
        return local.date().toString(QStringLiteral("yyyy-MM-dd"));
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString formatGeneral(double days)
{
    return formatGeneral(toDateTime(days));
}

std::optional<double> parseGeneral(const QString &text)
{
    const QString t = text.trimmed();
    for (const auto *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-ddTHH:mm:ss",
                               "yyyy-MM-ddTHH:mm:ss.zzz"}) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(format));
        if (dt.isValid())
            return fromDateTime(dt);
    }
    const QDate d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (d.isValid())
        return fromDateTime(QDateTime(d, QTime(0, 0)));
    return std::nullopt;
}

} // namespace DateValue
