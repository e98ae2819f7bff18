#include "store/ErrorLog.h"

#include "store/DateValue.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

void ErrorLog::LogError(const QString &description, const QString &context) const
{
    append(description + context);
}

void ErrorLog::WriteStartEntry(const QString &lastError, const QString &version) const
{
    if (m_path.isEmpty())
        return;
    const QFileInfo info(m_path);
    if (info.exists() && info.size() > kMaxBytesAtStart)
        QFile::remove(m_path);
    append(lastError + QStringLiteral("\r\n\r\n") + version + QStringLiteral(": ") +
           DateValue::formatGeneral(QDateTime::currentDateTime()) + QStringLiteral("\r\n"));
}

void ErrorLog::append(const QString &text) const
{
    if (m_path.isEmpty())
        return;
    QFile f(m_path);
    // The log must never take the program down with it: a failed write is dropped.
    if (f.open(QIODevice::WriteOnly | QIODevice::Append))
        f.write(text.toUtf8());
}
