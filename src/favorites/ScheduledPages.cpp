#include "favorites/ScheduledPages.h"

#include "reader/AppContext.h"
#include "reader/LoadingQueue.h"
#include "reader/Reader.h"
#include "store/Recordset.h"
#include "store/modRegistry.h"

#include <algorithm>

namespace {

const QString kLastRunValue = QStringLiteral("DA");

// The favorites under a filter, in store order; the caller's cursor is left as it was.
void collect(const Recordset &favorites, const QString &filter, QList<ScheduledLoad> &out,
             const std::function<bool(const Recordset &)> &take = {})
{
    Recordset rs = favorites.Clone();
    if (!rs.SetFilter(filter))
        return;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        if (take && !take(rs))
            continue;
        out.append({rs.Bookmark(), rs.Field(QStringLiteral("URL")).toString(),
                    (rs.Field(QStringLiteral("bfFav")).toInt() & 2) != 0});
    }
}

} // namespace

int DayOfWeekBit(const QDate &date)
{
    return 1 << (date.dayOfWeek() % 7); // Qt: Monday 1 ... Sunday 7
}

int WeekOfMonthBit(const QDate &date)
{
    return 1 << ((date.day() - 1) / 7);
}

QList<ScheduledLoad> DownloadListLoads(const Recordset &favorites, int mode, const QDate &today,
                                       QDate last)
{
    QList<ScheduledLoad> out;
    if (!favorites.State() || !today.isValid())
        return out;
    if (!last.isValid())
        last = today;
    if (last < today.addDays(-1))
        last = last.addDays(1);

    collect(favorites, QStringLiteral("Period = 2"), out);
    const bool workingDay = today.dayOfWeek() <= 5;
    if (workingDay || (mode == 1 && last.dayOfWeek() != 6))
        collect(favorites, QStringLiteral("Period = 3"), out);

    const int days = mode == 1 ? int(std::clamp<qint64>(last.daysTo(today), 0, 6)) : 0;
    for (int i = 0; i <= days; ++i) {
        const QDate d = today.addDays(-i);
        const int dayBit = DayOfWeekBit(d);
        const int weekBit = WeekOfMonthBit(d);
        collect(favorites, QStringLiteral("DayOfWeek > 0"), out, [&](const Recordset &rs) {
            const int weeks = rs.Field(QStringLiteral("WeekOfMonth")).toInt();
            return (rs.Field(QStringLiteral("DayOfWeek")).toInt() & dayBit) != 0 &&
                   (weeks == 0 || (weeks & weekBit) != 0);
        });
    }
    return out;
}

QList<ScheduledLoad> HomeLoads(const Recordset &favorites)
{
    QList<ScheduledLoad> out;
    if (favorites.State())
        collect(favorites, QStringLiteral("Period = 1"), out);
    return out;
}

ScheduledPages::ScheduledPages(AppContext &ctx) : m_ctx(ctx)
{}

void ScheduledPages::load(const ScheduledLoad &item)
{
    if (!m_ctx.reader)
        return;
    LoadRequest r;
    r.source = LoadSource::Favorite;
    r.bookmark = item.bookmark;
    r.bQuiet = true;
    (void)m_ctx.reader->queue.LoadDocument(r);
}

bool ScheduledPages::mnuOL_DownloadList_Click(int index)
{
    if (!m_ctx.stores || !m_ctx.stores->rsFavorites.State() || !m_ctx.registry)
        return false;
    const QDate now = today();
    const RegResult stored =
        m_ctx.registry->RegGetAppValue(kLastRunValue, RegRoot::HKCU, REG_SZ, QString());
    if (!stored.ok())
        return false;
    QDate last;
    const QString text = stored.value.toString().trimmed();
    if (!text.isEmpty()) {
        last = QDate::fromString(text, Qt::ISODate);
        if (!last.isValid())
            return false;
    }
    // The loads start at once; LoadDocument queues what does not fit.
    for (const ScheduledLoad &item :
         DownloadListLoads(m_ctx.stores->rsFavorites, index == 1 ? 1 : 0, now, last))
        load(item);
    return m_ctx.registry
        ->RegSaveAppValue(kLastRunValue, now.toString(Qt::ISODate), RegRoot::HKCU, REG_SZ)
        .ok();
}

int ScheduledPages::mnuHome_Click()
{
    if (!m_ctx.stores)
        return 0;
    const QList<ScheduledLoad> loads = HomeLoads(m_ctx.stores->rsFavorites);
    for (const ScheduledLoad &item : loads)
        load(item);
    return int(loads.size());
}
