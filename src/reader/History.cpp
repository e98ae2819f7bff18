#include "reader/History.h"

#include "platform/BrowserControl.h"
#include "platform/Document.h"
#include "platform/PageWriter.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "store/DateValue.h"
#include "store/Recordset.h"
#include "store/Stores.h"

#include <QLocale>
#include <QObject>
#include <QStringBuilder>
#include <QTime>
#include <QUrl>

#include <limits>

namespace {

// A visit is on the disk within a second, its write included.
constexpr int kSaveDelayMs = 500;

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

bool isLocalFile(const QString &url)
{
    return url.startsWith(QLatin1String("file://"), Qt::CaseInsensitive);
}

} // namespace

bool isHistoryUrl(const QString &url)
{
    if (url.isEmpty() || url.startsWith(QLatin1String("about:"), Qt::CaseInsensitive))
        return false;
    const QUrl u(url);
    if (ProgramPages::hasProgramScheme(u))
        return false;
    // Anything else would become a link that runs in the program's own page.
    const QString scheme = u.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("ftp") || scheme == QLatin1String("file");
}

bool AddHistoryVisit(Recordset &history, const HistoryVisit &visit, const QDate &today)
{
    if (!history.State() || !isHistoryUrl(visit.url))
        return false;
    // Hashed: a visit costs the same with a large history.
    (void)history.SetIndexed(QStringLiteral("URL"));
    const double day = DateValue::fromDateTime(QDateTime(today, QTime(0, 0)));
    history.MoveFirst();
    if (history.Find(QStringLiteral("URL = '") + FilterText(visit.url) + QLatin1Char('\''))) {
        (void)history.SetField(QStringLiteral("Visits"),
                               history.Field(QStringLiteral("Visits")).toInt() + 1);
        (void)history.SetField(QStringLiteral("Date"), day);
    } else {
        history.AddNew();
        (void)history.SetField(QStringLiteral("Title"), visit.title);
        (void)history.SetField(QStringLiteral("URL"), visit.url);
        (void)history.SetField(QStringLiteral("Domain"), visit.domain);
        (void)history.SetField(QStringLiteral("Date"), day);
        // The store has no default for it: a first visit counts as one.
        (void)history.SetField(QStringLiteral("Visits"), 1);
        if (!visit.description.isEmpty())
            (void)history.SetField(QStringLiteral("Description"), visit.description);
        if (!visit.keywords.isEmpty())
            (void)history.SetField(QStringLiteral("DocKeywords"), visit.keywords);
    }
    history.Update();
    return true;
}

bool RecordHistory(AppContext &ctx, DocumentWindow &w)
{
    if (!ctx.gbOptBit4 || !ctx.stores || !ctx.stores->rsHistory.State())
        return false;
    if (!w.mbAddtoHistory || w.mbDocWritten || w.isClosing() || !isHistoryUrl(w.msURL))
        return false;
    HistoryVisit visit;
    visit.url = w.msURL;
    visit.title = w.strDocumentTitle;
    visit.domain = w.urlParts().host;
    if (Document *doc = w.DocumentObject()) {
        const DocumentSnapshot snap = doc->snapshot();
        if (!snap.title.isEmpty())
            visit.title = snap.title;
        visit.description = snap.metaDescription;
        visit.keywords = snap.metaKeywords;
    }
    // Its own cursor: the history page's filter and sort stay as they are.
    Recordset history = ctx.stores->rsHistory.Clone();
    if (!AddHistoryVisit(history, visit, QDate::currentDate()))
        return false;
    w.mbAddtoHistory = false;
    ScheduleHistorySave(ctx);
    return true;
}

void ScheduleHistorySave(AppContext &ctx)
{
    if (!ctx.stores)
        return;
    if (!ctx.ui) {
        (void)SaveHistory(*ctx.stores);
        return;
    }
    if (ctx.gbHistorySavePending)
        return;
    if (!ctx.historySaveGuard)
        ctx.historySaveGuard = std::make_shared<QObject>();
    ctx.gbHistorySavePending = true;
    AppContext *c = &ctx;
    (void)ctx.ui->singleShot(kSaveDelayMs, ctx.historySaveGuard.get(), [c] {
        c->gbHistorySavePending = false;
        if (c->stores)
            (void)SaveHistory(*c->stores);
    });
}

namespace HistoryPage {

QString dateText(const QDate &date)
{
    return QLocale::c().toString(date, QStringLiteral("dddd, MMM d yyyy"));
}

QString sortExpression(int iSort)
{
    switch (iSort) {
    case ByTitle:
        return QStringLiteral("Title");
    case ByDomain:
        return QStringLiteral("Domain");
    case ByVisits:
        return QStringLiteral("Visits DESC");
    default:
        return QStringLiteral("Date DESC");
    }
}

QString filterExpression(const QString &text)
{
    const QString t = FilterText(text);
    return QStringLiteral("Title LIKE '*%1*' OR URL LIKE '*%1*' OR Description LIKE '*%1*' OR "
                          "DocKeywords LIKE '*%1*'")
        .arg(t);
}

QString menuHtml(bool filtered)
{
    QString html = QStringLiteral("<h1>History Menu</h1>");
    for (const QString &label : {kHideDescriptions, kSortLabels[ByDate], kSortLabels[ByDomain],
                                 kSortLabels[ByTitle], kSortLabels[ByVisits]})
        html += QStringLiteral("<span class=H>") + label + QStringLiteral("</span><br>");
    html += QStringLiteral("<span class=H id=HistShowAll style=display:") +
            (filtered ? QStringLiteral("block") : QStringLiteral("none")) + QStringLiteral(">") +
            kShowAll + QStringLiteral("</span><br><hr>");
    return html;
}

QStringList pageParts(Recordset &rs, int iSort, int firstRecords, int partRecords)
{
    QStringList parts;
    QString html =
        QStringLiteral("<head><style>.HDesc{display:block}.HShow{color:blue;background-color:#"
                       "ffff00;cursor:hand;display:none}H2{background-color:blue;color:yellow}"
                       // Off-screen entries are laid out only when scrolled to: thousands of
                       // them would otherwise hold the page for seconds.
                       "body>div{content-visibility:auto;contain-intrinsic-size:0 2.6em}"
                       "</style><title>") +
        kTitle + QStringLiteral("</title></head><body style=font-size:x-small>");
    if (!rs.State())
        return {html};
    (void)rs.SetSort(sortExpression(iSort));
    QString heading;
    bool first = true;
    int n = 0;
    int partEnd = firstRecords;
    // Many records share a day: its text is made once.
    double lastDay = -1;
    QString date;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext(), ++n) {
        if (n == partEnd) {
            parts << html;
            html.clear();
            partEnd += partRecords;
        }
        const QString url = rs.Field(QStringLiteral("URL")).toString().trimmed();
        QString title = rs.Field(QStringLiteral("Title")).toString().trimmed();
        QString target = url;
        QString shown = url;
        if (isLocalFile(url)) {
            target = QStringLiteral("skl:loc") + url;
            shown = QUrl(url).toLocalFile();
        }
        if (title.isEmpty())
            title = target;
        const QVariant d = rs.Field(QStringLiteral("Date"));
        const double day = d.isValid() && !d.isNull() ? d.toDouble() : -1;
        if (day != lastDay) {
            lastDay = day;
            date = day >= 0 ? esc(dateText(DateValue::toDateTime(day).date())) : QString();
        }
        QString head;
        if (iSort == ByDate) {
            head = date;
        } else if (iSort == ByDomain) {
            head = esc(rs.Field(QStringLiteral("Domain")).toString().trimmed());
            if (head.isEmpty())
                head = kLocalFiles;
        }
        if ((iSort == ByDate || iSort == ByDomain) && (first || head != heading)) {
            html += QStringLiteral("<h2>") + head + QStringLiteral("</h2>");
            heading = head;
        }
        first = false;
        // One append per entry: thousands of them are built while the user waits.
        const QString href = QStringLiteral("<a href=\"") % esc(target) % QStringLiteral("\">");
        html += QStringLiteral("<div><b>") % date % QStringLiteral("</b> ") % href % esc(title) %
                QStringLiteral("</a><br>") % href % esc(shown) % QStringLiteral("</a></div>");
        const QString description = rs.Field(QStringLiteral("Description")).toString();
        const QString keywords = rs.Field(QStringLiteral("DocKeywords")).toString();
        if (!description.isEmpty() || !keywords.isEmpty()) {
            // A click on the toggle shows the element named after it (the document's handler).
            const QString id = QStringLiteral("HS") + QString::number(n);
            html += QStringLiteral("<div class=HShow id=") % id %
                    QStringLiteral(">Show Document Description and Keywords</div><div "
                                   "class=HDesc id=") %
                    id % QStringLiteral("HD>");
            if (!description.isEmpty())
                html += QStringLiteral("<b>Description: </b>") + esc(description);
            if (!keywords.isEmpty())
                html += QStringLiteral("<br><b>Document Keywords: </b>") + esc(keywords);
            html += QStringLiteral("</div>");
        }
        html += QStringLiteral("<hr>");
    }
    if (n == 0)
        html += QStringLiteral("<p>No page of your history is listed here.</p>");
    parts << html;
    return parts;
}

QString pageHtml(Recordset &rs, int iSort)
{
    return pageParts(rs, iSort, std::numeric_limits<int>::max(), 1).join(QString()) +
           QStringLiteral("</body>");
}

} // namespace HistoryPage
