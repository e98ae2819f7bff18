#include "store/BackgroundSaves.h"

#include <QCoreApplication>
#include <QMetaObject>

BackgroundSaves::BackgroundSaves(QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

BackgroundSaves::~BackgroundSaves()
{
    m_pool.waitForDone();
}

void BackgroundSaves::commitLater(const StoreFile::WrittenTemp &written, Done done)
{
    ++m_inFlight;
    m_pool.start([this, written, done = std::move(done)] {
        QString error;
        const bool ok = StoreFile::commit(written, &error);
        // Queued to this object: dropped if it is gone, which waits for the pool first.
        QMetaObject::invokeMethod(
            this, [this, ok, error, done] { finished(ok, error, done); }, Qt::QueuedConnection);
    });
}

void BackgroundSaves::waitForDone()
{
    m_pool.waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void BackgroundSaves::finished(bool ok, const QString &error, const Done &done)
{
    --m_inFlight;
    if (done)
        done(ok, error);
}
