#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

class DocumentWindow;
class Reader;

// The session report page and the log of failed navigations.
class SessionReport
{
public:
    explicit SessionReport(Reader &reader);

    static QString kTitle();
    // The message for a navigation's status code (HTTP status or platform error code).
    static QString NavErrorMessage(qint32 statusCode);
    // One line of the error log, with the address escaped.
    static QString NavErrorLine(const QString &url, qint32 statusCode);
    // "h:mm:ss"
    static QString formatElapsed(qint64 seconds);

    void brwWebBrowser_NavigateError(DocumentWindow &window, const QUrl &url, qint32 statusCode);
    // The report for window w as it would be written now.
    QString reportHtml(const DocumentWindow &w, const QDateTime &now) const;
    // Writes the report into the current window.
    void mnuReport_Click();

    QStringList gcolNavErrors;

private:
    Reader &m_reader;
};
