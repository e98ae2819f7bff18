#include "reader/SessionReport.h"

#include "platform/BrowserControl.h"
#include "platform/PageWriter.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/DateValue.h"

namespace {

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

// A line of the report that links to href, both escaped.
QString linkLine(const QString &href, const QString &text)
{
    return QStringLiteral("<a href=\"") + esc(href) + QStringLiteral("\">") + esc(text) +
           QStringLiteral("</a><br>");
}

struct CodeMessage
{
    quint32 code;
    const char *message;
};

// First matching row wins.
constexpr CodeMessage kMessages[] = {
    {403, "Forbidden access."},
    {404, "File not found. The page you are looking for is currently unavailable. The Web site "
          "might be experiencing technical difficulties, the URL may have been entered "
          "incorrectly, or the page may not exist."},
    {0x800C0002u, "The address of this site is not valid. Check the address and try again."},
    {0x800401E4u, "The address of this site is not valid. Check the address and try again."},
    {0x80072EE5u, "The address of this site is not valid. Check the address and try again."},
    {0x800C0003u, "Cannot start an Internet session."},
    {0x800C0004u, "Cannot connect to the Internet server."},
    {0x80072EFDu, "Cannot connect to the Internet server."},
    {0x800C0005u, "Cannot locate the Internet server or proxy server."},
    {0x800C0006u,
     "The site reports that the item you requested could not be found. (HTTP/1.0 404)"},
    {0x80072EFCu,
     "The site reports that the item you requested could not be found. (HTTP/1.0 404)"},
    {0x800C0007u, "The Internet site reports that a connection was established but the data is not "
                  "available."},
    {0x800C0008u, "Cannot download the information you requested."},
    {0x800C0009u, "The item you requested requires proper authentication. (HTTP/1.0 401)"},
    {0x800C000Au, "The Internet site cannot return the object you requested. (HTTP/1.0 403)"},
    {0x800C000Bu, "The connection to this Internet site took longer than the allotted time."},
    {0x80072EE2u, "The connection to this Internet site took longer than the allotted time."},
    {0x800C000Cu, "The site reports that the request is not valid."},
    {0x800C000Du, "The required Internet protocol is not installed on your computer, or the "
                  "Internet address you requested may not be valid."},
    {0x80072EE8u, "The required Internet protocol is not installed on your computer, or the "
                  "Internet address you requested may not be valid."},
    {0x800C000Eu, "A security problem has occurred."},
    {0x800C000Fu, "Cannot open the specified file."},
    {0x800401EAu, "Cannot open the specified file."},
    {0x800C0010u, "Cannot start the program needed to open this file."},
    {0x800401E6u, "No program is registered to open this file."},
    {0x80040154u, "No program is registered to open this file."},
    {0x80004004u, "The hyperlink cannot be followed to the destination."},
    {400, "Bad Request. The server could not properly interpret the request."},
    {401, "Unauthorized. The request requires user authorization."},
    {500, "Internal Server Error. The server could not satisfy the request due to an internal "
          "error condition."},
    {501, "Not Implemented. The server does not support the requested feature."},
    {502, "Bad Gateway. The server received an invalid response from the server from which it "
          "was trying to retrieve information."},
    {503, "Service is unavailable. The server cannot process this request at the current time."},
};

const char kHelp1[] =
    "<p>This report is displayed automatically after all pages have been read.<p>Use the history "
    "section of this page to go back to any document. You can also select <i>Back</i>, or use the "
    "drop-down list on the address box to go back or forward, but these options only list the "
    "history for that window.";
const char kHelp2[] =
    " Often, you will not know which document was in which window, which is why this page is "
    "provided.<p>To go to a loaded document immediately, click on the appropriate link in the "
    "<i>Loaded Documents</i> section, or use the Window submenu. To load any document in the "
    "history section, click the link to download in the background, or click the link with the "
    "mouse ";
const char kHelp3[] =
    "wheel or <span class=key>Ctrl</span> <b>+ click</b> link to load in this window.<p>Access "
    "this page any time by: <ul><li>Pressing <span class=key>F4</span><li>Menu: <span "
    "class=menuitem>View <span class=char>&#9658;</span> Skimline Report</span> | <span "
    "class=key>Alt+V, R</span><li>If you want to keep a page in memory, then go to that window, "
    "and select <i>Keep in Memory</i>. This will prevent the page from being replaced, and will "
    "automatically increase the maximum number of windows used for downloading new pages, if "
    "necessary. This setting is separate for each window.<li>To view History, select <span "
    "class=menuitem>&nbsp;View <span class=char>&#9658;</span> History </span></ul></font></span>";

} // namespace

SessionReport::SessionReport(Reader &reader) : m_reader(reader)
{}

QString SessionReport::kTitle()
{
    return QStringLiteral("Skimline Report for this Session");
}

QString SessionReport::NavErrorMessage(qint32 statusCode)
{
    const quint32 code = static_cast<quint32>(statusCode);
    for (const CodeMessage &row : kMessages) {
        if (row.code == code)
            return QString::fromLatin1(row.message);
    }
    return QStringLiteral("Description is unavailable.");
}

QString SessionReport::NavErrorLine(const QString &url, qint32 statusCode)
{
    return QStringLiteral("<a href =\"") + esc(url) + QStringLiteral("\">") + esc(url) +
           QStringLiteral("</a> Status Code = ") + QString::number(statusCode) +
           QStringLiteral("<br> Error Description: ") + NavErrorMessage(statusCode);
}

QString SessionReport::formatElapsed(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void SessionReport::brwWebBrowser_NavigateError(DocumentWindow &, const QUrl &url,
                                                qint32 statusCode)
{
    gcolNavErrors.append(NavErrorLine(url.toString(), statusCode));
}

QString SessionReport::reportHtml(const DocumentWindow &w, const QDateTime &now) const
{
    AppContext &ctx = m_reader.ctx;
    const QString title = kTitle();
    Recordset rs = m_reader.log.cursor();
    const int total = rs.State() ? rs.RecordCount() : 0;
    const qint64 elapsed = ctx.gdStartTime.isValid() ? ctx.gdStartTime.secsTo(now) : 0;

    QString html;
    html += QStringLiteral("<head><title>") + title + QStringLiteral("</title>") + ctx.gsStyleLink +
            QStringLiteral("</head><h2>") + title + QStringLiteral("</h2>");
    html += QStringLiteral("<span class=frame><font size = 2>Total Documents: ") +
            QString::number(total) + QStringLiteral("<br>Total Time: ") + formatElapsed(elapsed);
    html += QLatin1String(kHelp1);
    html += QLatin1String(kHelp2);
    html += QLatin1String(kHelp3);

    auto records = [&rs](const QString &filter, const std::function<void(const Recordset &)> &f) {
        if (!rs.State() || !rs.SetFilter(filter))
            return;
        (void)rs.SetSort(QStringLiteral("Order"));
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
            f(rs);
        rs.ClearFilter();
    };

    html += QStringLiteral("<h3>History</h3><p>");
    records(QStringLiteral("bRead = 1 AND bLoaded = 0"), [&html](const Recordset &r) {
        const QString url = r.Field(QStringLiteral("URL")).toString();
        QString text = r.Field(QStringLiteral("Title")).toString();
        if (text.isEmpty())
            text = url;
        const QString target = url.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)
                                   ? QStringLiteral("skl:loc") + url
                                   : url;
        html += linkLine(target, text);
    });

    html += QStringLiteral(
        "<h3>Loaded Documents</h3><font size=1><table width=60%><b>Note:</b> You can also see all "
        "loaded documents at any time by looking at the <i>Window</i> submenu. There you will see "
        "the titles of all loaded documents, any of which can be clicked for instant "
        "display.</font></table><p>");
    const WindowPool &pool = m_reader.pool;
    for (int i = 0; i < pool.slotCount(); ++i) {
        if (pool.state(i).isEmpty())
            continue;
        const DocumentWindow *other = pool.window(i);
        if (!other)
            continue;
        if (other == &w) {
            html += title + QStringLiteral("<br>");
        } else {
            html += QStringLiteral("<a href=skl:ldf") + QString::number(i) + QLatin1Char('>') +
                    esc(other->strDocumentTitle) + QStringLiteral("</a><br>");
        }
    }

    auto urlLine = [&html](const Recordset &r) {
        const QString url = r.Field(QStringLiteral("URL")).toString();
        html += linkLine(url, url);
    };
    html += QStringLiteral(
        "<h3>Queued Documents to be Downloaded</h3><font size=1><b>Note:</b> As you select "
        "<i>Next</i>, queued documents will be downloaded one at a time in the window that you "
        "just left.<br>Windows are reused, therefore, you do NOT have to close windows to move to "
        "the next document. Just select <i>Next</i>.</font><p>");
    records(QStringLiteral("bRead = 0 AND bLoaded = 0"), urlLine);
    html += QStringLiteral("<h3>Canceled Downloads</h3>");
    records(QStringLiteral("bRead = 2"), urlLine);
    html += QStringLiteral("<h3>Navigational Errors</h3>");
    for (const QString &line : gcolNavErrors)
        html += line + QStringLiteral("<p>");
    html += QStringLiteral("<p>Select <i>Back</i> to return to previous document.");
    return html;
}

void SessionReport::mnuReport_Click()
{
    AppContext &ctx = m_reader.ctx;
    if (ctx.gbExiting || ctx.gbTextEntry)
        return;
    DocumentWindow *w = m_reader.pool.current();
    if (!w || !w->brwWebBrowser)
        return;
    if (w->mdCurrentSessionBookmark > 0) {
        m_reader.log.update(w->mdCurrentSessionBookmark, {{"bRead", 1}, {"bLoaded", 0}});
        w->mdCurrentSessionBookmark = 0;
        w->mdOldCurrentSessionBookmark = 0;
        w->lngScrollTop = 0;
    }
    w->writeProgramPage(reportHtml(*w, QDateTime::currentDateTime()), QStringLiteral("Report.htm"),
                        kTitle());
    w->msWrittenPageStatus =
        QStringLiteral("Click the back button on the toolbar to return to the document.");
    m_reader.host.setStatusText(3, w->msWrittenPageStatus);
}
