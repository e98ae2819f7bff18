#pragma once

#include "store/StoreFile.h"

#include <QObject>
#include <QThreadPool>

#include <functional>

// The last step of a store's save — syncing its file to the disk and renaming it into place —
// on a thread of its own, so the user's thread never waits for the disk. Commits run one after
// another in the order asked: the newest file written is the one left.
class BackgroundSaves : public QObject
{
    Q_OBJECT
public:
    explicit BackgroundSaves(QObject *parent = nullptr);
    ~BackgroundSaves() override;

    // done runs on this object's thread once the file is in place or the commit failed.
    using Done = std::function<void(bool ok, const QString &error)>;
    void commitLater(const StoreFile::WrittenTemp &written, Done done);

    int inFlight() const { return m_inFlight; }
    // Returns once every commit asked for has finished and its done has run.
    void waitForDone();

private:
    void finished(bool ok, const QString &error, const Done &done);

    QThreadPool m_pool;
    int m_inFlight = 0;
};
