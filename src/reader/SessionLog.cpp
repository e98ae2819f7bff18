#include "reader/SessionLog.h"

#include "reader/AppContext.h"
#include "store/Stores.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>

namespace {
const QString kContext = QStringLiteral(" Saving the current session");
}

SessionLog::SessionLog(AppContext &ctx) : m_ctx(ctx)
{}

SessionLog::~SessionLog()
{
    m_saver.waitForDone();
    if (m_pending)
        (void)flush();
}

Recordset *SessionLog::store() const
{
    if (!m_ctx.stores || !m_ctx.stores->rsCurrentSession.State())
        return nullptr;
    return &m_ctx.stores->rsCurrentSession;
}

Recordset SessionLog::cursor() const
{
    Recordset *rs = store();
    return rs ? rs->Clone() : Recordset();
}

double SessionLog::add(Fields fields)
{
    Recordset rs = cursor();
    if (!rs.State())
        return 0;
    rs.AddNew();
    bool ok = true;
    for (const auto &[name, value] : fields)
        ok = rs.SetField(QString::fromLatin1(name), value) && ok;
    rs.Update();
    const double bookmark = rs.Bookmark();
    changed();
    Q_UNUSED(ok); // a refused value leaves the field empty; the record stays
    return bookmark;
}

bool SessionLog::update(double bookmark, Fields fields)
{
    if (bookmark <= 0)
        return false;
    Recordset rs = cursor();
    if (!rs.State() || !rs.SetBookmark(bookmark) || rs.isEOF())
        return false;
    bool ok = true;
    for (const auto &[name, value] : fields)
        ok = rs.SetField(QString::fromLatin1(name), value) && ok;
    rs.Update();
    changed();
    return ok;
}

bool SessionLog::remove(double bookmark)
{
    if (bookmark <= 0)
        return false;
    Recordset rs = cursor();
    if (!rs.State() || !rs.SetBookmark(bookmark) || rs.isEOF())
        return false;
    const bool ok = rs.Delete();
    changed();
    return ok;
}

QVariant SessionLog::field(double bookmark, const char *name) const
{
    Recordset rs = cursor();
    if (bookmark <= 0 || !rs.State() || !rs.SetBookmark(bookmark) || rs.isEOF())
        return QVariant();
    return rs.Field(QString::fromLatin1(name));
}

bool SessionLog::exists(double bookmark) const
{
    Recordset rs = cursor();
    return bookmark > 0 && rs.State() && rs.SetBookmark(bookmark) && !rs.isEOF();
}

void SessionLog::changed()
{
    if (m_pending || !store())
        return;
    m_pending = true;
    // A posted call runs when the current event is done, ahead of later input and timers.
    QMetaObject::invokeMethod(this, "saveNow", Qt::QueuedConnection);
}

void SessionLog::saveNow()
{
    // One file on its way to the disk at a time; what changed meanwhile follows it at once.
    if (!m_pending || m_saver.inFlight() > 0)
        return;
    m_pending = false;
    Recordset rs = cursor(); // no filter: every record, so the file is the whole session
    if (!rs.State())
        return;
    QElapsedTimer clock;
    clock.start();
    const bool written = rs.SaveInBackground(m_saver, [this](bool ok, const QString &error) {
        if (ok)
            ++m_saves;
        else
            m_ctx.errorLog.LogError(error, kContext);
        saveNow();
    });
    m_saveNs += clock.nsecsElapsed();
    if (!written)
        m_ctx.errorLog.LogError(rs.lastError(), kContext);
}

bool SessionLog::flush()
{
    m_saver.waitForDone();
    m_pending = false;
    Recordset rs = cursor(); // no filter: every record, so the file is the whole session
    if (!rs.State())
        return false;
    QElapsedTimer clock;
    clock.start();
    const bool ok = rs.Save();
    m_saveNs += clock.nsecsElapsed();
    if (!ok) {
        m_ctx.errorLog.LogError(rs.lastError(), kContext);
        return false;
    }
    ++m_saves;
    return true;
}

QStringList PastSessionCopies(const Stores &stores)
{
    const QFileInfo past(stores.gsPastSessionFile);
    if (stores.gsPastSessionFile.isEmpty())
        return {};
    QDir dir = past.absoluteDir();
    const QString pattern = past.completeBaseName() + QStringLiteral("-*.") + past.suffix();
    QStringList names = dir.entryList({pattern}, QDir::Files, QDir::Name);
    // The names hold the date as yyyyMMdd-HHmmss, then "-2", "-3" ... for later copies of the
    // same second, which plain name order would put first.
    const int stampAt = int(past.completeBaseName().size()) + 1;
    const auto key = [&](const QString &name) {
        const QString rest = name.mid(stampAt, name.size() - stampAt - past.suffix().size() - 1);
        const QString stamp = rest.left(15);
        return std::pair(stamp, rest.size() > 16 ? rest.mid(16).toInt() : 1);
    };
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return key(a) > key(b); });
    QStringList out;
    for (const QString &name : std::as_const(names))
        out << dir.filePath(name);
    return out;
}

QString KeepPastSession(const Stores &stores, const QDateTime &now, int keep)
{
    const QString &pastPath = stores.gsPastSessionFile;
    if (pastPath.isEmpty() || !QFileInfo::exists(pastPath) || keep <= 0)
        return QString();
    const QFileInfo past(pastPath);
    const QString stamp = past.lastModified().isValid() && past.lastModified() <= now
                              ? past.lastModified().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                              : now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base =
        past.absolutePath() + QLatin1Char('/') + past.completeBaseName() + QLatin1Char('-') + stamp;
    QString target = base + QLatin1Char('.') + past.suffix();
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n) + QLatin1Char('.') + past.suffix();
    if (!QFile::copy(pastPath, target)) {
        stores.errorLog.LogError(
            QStringLiteral("Cannot copy ") + QDir::toNativeSeparators(pastPath), kContext);
        return QString();
    }
    const QStringList copies = PastSessionCopies(stores);
    for (int i = keep; i < copies.size(); ++i)
        QFile::remove(copies.at(i));
    return target;
}
