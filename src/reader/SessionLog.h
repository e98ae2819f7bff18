#pragma once

#include "store/BackgroundSaves.h"
#include "store/Recordset.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <utility>

struct AppContext;
struct Stores;

// The current session's records ("rsCurrentSession") and the file that survives a crash.
//
// Every change is followed by changed(): the whole store is then written to a temporary file
// once the current turn of the event loop is over, before anything else runs, and synced and
// renamed over the session file on another thread. A process killed after that has lost
// nothing; a burst of changes costs one write, and the user's thread never waits for the disk.
class SessionLog : public QObject
{
    Q_OBJECT
public:
    explicit SessionLog(AppContext &ctx);
    ~SessionLog() override;

    // The store, or nullptr when it is closed.
    Recordset *store() const;
    // A second cursor over every record (closed when the store is).
    Recordset cursor() const;

    using Fields = std::initializer_list<std::pair<const char *, QVariant>>;
    // Adds a record; its bookmark, or 0 when the store is closed or refused a value.
    double add(Fields fields);
    // Sets fields of the record at bookmark; false when there is no such record.
    bool update(double bookmark, Fields fields);
    bool remove(double bookmark);
    QVariant field(double bookmark, const char *name) const;
    bool exists(double bookmark) const;

    // A record changed: it reaches the file before the next turn of the event loop.
    void changed();
    bool savePending() const { return m_pending || m_saver.inFlight() > 0; }
    // Writes now and waits for the disk. False (and logged) when the write failed.
    [[nodiscard]] bool flush();
    int saves() const { return m_saves; }
    // Returns once no file is on its way to the disk (before the session's files are moved).
    void waitForSaves() { m_saver.waitForDone(); }
    // Time this thread spent writing the file, in total.
    double saveMs() const { return double(m_saveNs) / 1e6; }

private:
    Q_INVOKABLE void saveNow();

    AppContext &m_ctx;
    BackgroundSaves m_saver;
    bool m_pending = false;
    int m_saves = 0;
    qint64 m_saveNs = 0;
};

// Keeps the past session that is about to be replaced as "sklPastSession-<date>.skl" beside it
// and drops all but the `keep` newest of those. Call before the session rotation at exit.
// Returns the kept copy's path (empty when there was no past session or the copy failed).
QString KeepPastSession(const Stores &stores, const QDateTime &now, int keep = 4);
// The dated copies, newest first.
QStringList PastSessionCopies(const Stores &stores);
