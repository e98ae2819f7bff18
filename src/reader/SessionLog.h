#pragma once

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
// Every change is followed by changed(): the whole store is then written to its file once the
// current turn of the event loop is over, atomically, before anything else runs. A process
// killed after that turn has lost nothing; a burst of changes in one turn costs one write.
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
    bool savePending() const { return m_pending; }
    // Writes now. False (and logged) when the write failed.
    [[nodiscard]] bool flush();
    int saves() const { return m_saves; }
    // Time spent writing the file, in total.
    double saveMs() const { return double(m_saveNs) / 1e6; }

private:
    Q_INVOKABLE void saveNow();

    AppContext &m_ctx;
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
