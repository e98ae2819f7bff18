#pragma once

#include <QString>

// LoggedErrors.txt: an append-only text log that nothing reads back. Entries run on into each
// other (no line break after an error entry); the start entry ends with CR LF.
class ErrorLog
{
public:
    static constexpr qint64 kMaxBytesAtStart = 5000;

    ErrorLog() = default;
    explicit ErrorLog(QString path) : m_path(std::move(path)) {}

    void setPath(const QString &path) { m_path = path; }
    QString path() const { return m_path; }

    // The error description followed by a context text that begins with a blank.
    void LogError(const QString &description, const QString &context) const;

    // At start: drops a log longer than kMaxBytesAtStart, then appends
    // lastError CR LF CR LF version ": " date CR LF.
    void WriteStartEntry(const QString &lastError, const QString &version) const;

private:
    void append(const QString &text) const;

    QString m_path;
};
