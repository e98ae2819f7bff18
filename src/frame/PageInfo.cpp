#include "frame/PageInfo.h"

#include "platform/Document.h"

#include <QDateTime>
#include <QLocale>

namespace PageInfo {

namespace {

QString bold(const QString &label, const QString &value)
{
    return label + QStringLiteral(": <b>") + value.toHtmlEscaped() + QStringLiteral("</b><br>");
}

QString grouped(qsizetype n)
{
    return QLocale(QLocale::English).toString(qlonglong(n));
}

} // namespace

QString html(const DocumentSnapshot &page, qsizetype readableCharacters, const QString &cookie)
{
    const qsizetype words = readableCharacters / kCharactersPerWord;
    const QString minutes = QString::number(double(words) / kWordsPerMinute, 'f', 1);
    const QDateTime modified =
        QDateTime::fromString(page.lastModified, QStringLiteral("MM/dd/yyyy HH:mm:ss"));
    const QString modifiedText =
        modified.isValid()
            ? QLocale::c().toString(modified, QStringLiteral("dddd, MMM d yyyy \u2014 h:mm AP"))
            : page.lastModified;
    return bold(QStringLiteral("Title"), page.title) +
           bold(QStringLiteral("URL"), page.url.toString()) + QStringLiteral("<hr>") +
           bold(QStringLiteral("Links"), QString::number(page.linkCount)) +
           bold(QStringLiteral("Images"), QString::number(page.imageCount)) +
           bold(QStringLiteral("Forms"), QString::number(page.formCount)) +
           bold(QStringLiteral("Frames"), QString::number(page.frameCount)) +
           QStringLiteral("<HR>") + bold(QStringLiteral("Last Modified"), modifiedText) +
           bold(QStringLiteral("Readable Characters"), grouped(readableCharacters)) +
           bold(QStringLiteral("Words"), grouped(words)) +
           QStringLiteral("Approximate time to read: <b>") + minutes +
           QStringLiteral(" minutes</b><br><hr>Cookie: <b>") + cookie.toHtmlEscaped() +
           QStringLiteral("</b><hr>");
}

} // namespace PageInfo
