#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

struct AppContext;
class Recordset;

// Week-day bits of DayOfWeek: Sunday 1, Monday 2 ... Saturday 64, the editor's boxes dw0-dw6.
int DayOfWeekBit(const QDate &date);
// Bit of WeekOfMonth: days 1-7 give 1, 8-14 2, 15-21 4, 22-28 8, 29-31 16.
int WeekOfMonthBit(const QDate &date);

// One favorite the download list loads (LoadDocument sends a feed to the feed viewer).
struct ScheduledLoad
{
    double bookmark = 0;
    QString url;
    bool feed = false;
    bool operator==(const ScheduledLoad &) const = default;
};

// The favorites a download-list run loads, in load order. mode 0 is today only; mode 1 also
// the days since the last run (lastRun invalid = today), at most six days back. A favorite that
// matches several steps or days comes once for each.
QList<ScheduledLoad> DownloadListLoads(const Recordset &favorites, int mode, const QDate &today,
                                       QDate lastRun);

// The start-up favorites (Period = 1), in store order.
QList<ScheduledLoad> HomeLoads(const Recordset &favorites);

// The Scheduled Pages menu and Home over the program's stores and loading routine.
class ScheduledPages
{
public:
    explicit ScheduledPages(AppContext &ctx);

    // "Open Today's Pages" (0) and "Unread Pages (up to 6 days prior)" (1); the stored date of
    // the last run ("DA") moves to today. False when the stores or the stored date are unusable
    // (the date is then left, so the next run covers the same days).
    bool mnuOL_DownloadList_Click(int index);
    // The favorites marked as start-up pages. How many were loaded.
    int mnuHome_Click();

    // The date the run takes as today; tests set the clock here.
    std::function<QDate()> today = [] { return QDate::currentDate(); };

private:
    void load(const ScheduledLoad &item);

    AppContext &m_ctx;
};
