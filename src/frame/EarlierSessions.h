#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class QMenu;
struct Stores;

// A past session kept beside the last one (the dated copies the exit keeps).
struct EarlierSession
{
    QString file;
    QDateTime ended;
    int pages = 0;
};

// The kept sessions, newest first.
QList<EarlierSession> EarlierSessions(const Stores &stores);

// "Sat Dec 5 21:10 — 12 pages"
QString EarlierSessionCaption(const EarlierSession &session);

// Refills the Earlier Sessions menu: one submenu per kept session, with the Last Session
// menu's "All Pages" (index 0) and "Unread Pages" (index 1), which call load.
void FillEarlierSessionsMenu(QMenu &menu, const Stores &stores,
                             const std::function<void(const QString &file, int index)> &load);
