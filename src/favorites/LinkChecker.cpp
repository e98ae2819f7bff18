#include "favorites/LinkChecker.h"

#include "platform/HttpClient.h"
#include "reader/AppContext.h"
#include "store/DateValue.h"
#include "store/Recordset.h"

#include <QFileInfo>

#include <cmath>

namespace {

constexpr int kMaxRedirects = 10;
constexpr qint64 kSaveEveryMs = 2000;

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString dateText(const QVariant &v)
{
    return v.isValid() && !v.isNull() ? DateValue::formatGeneral(v.toDouble()) : QString();
}

bool startsWithCi(const QString &text, const char *prefix)
{
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

} // namespace

struct LinkChecker::Entry
{
    LinkReportFields fields;
    QUrl url;     // the address requested now (it moves along redirects)
    QString host; // of the first address: the per-host count
    bool local = false;
    bool sent = false;
    bool done = false;
    bool changed = false; // a code to write to the record
    int hops = 0;
    int firstStatus = -1;
    quint64 request = 0;
};

QString LinkStatusClass(const QString &code, bool local)
{
    if (local)
        return QStringLiteral("Local");
    return QStringLiteral("C") + (code.isEmpty() ? QStringLiteral("0") : code.left(1));
}

QString LinkReportEntry(const LinkReportFields &f, const QString &cssClass)
{
    const QString b = QString::number(f.bookmark, 'g', 15);
    QString html = QStringLiteral("<div id=D") + b + QStringLiteral(" class=") + cssClass +
                   QStringLiteral("><p>") + b + QStringLiteral(" Keywords: <b>") + esc(f.keywords) +
                   QStringLiteral("<a href=skl:ebm") + b +
                   QStringLiteral(" style='position:absolute;right:8em' title='Edit this "
                                  "Favorite.'>Edit</a> <a href=skl:dbm") +
                   b +
                   QStringLiteral(" style='position:absolute;right:2em' title='Delete this "
                                  "Favorite.'>Delete</a><b>") +
                   esc(f.title) + QStringLiteral("</b><br><a href=skl:ubm") + b + QLatin1Char('>') +
                   esc(f.address) + QStringLiteral("</a>");
    if (!f.finalAddress.isEmpty())
        html += QStringLiteral("<br>Moved to: ") + esc(f.finalAddress);
    if (!f.error.isEmpty())
        html += QStringLiteral("<br>No answer: ") + esc(f.error);
    const auto part = [&html](const char *label, const QString &text) {
        if (!text.isEmpty())
            html += QStringLiteral("<p><b>") + QLatin1String(label) + QStringLiteral(": </b>") +
                    esc(text);
    };
    part("Description", f.description);
    part("Document Keywords", f.docKeywords);
    part("Notes", f.notes);
    html += QStringLiteral("<p>Downloads:<b> ") + esc(f.downloads) +
            QStringLiteral(" </b>Last Download:<b> ") + esc(f.lastDownload) +
            QStringLiteral(" </b>Date Created:<b> ") + esc(f.dateCreated) +
            QStringLiteral("<br></b>Previous Status Code: <b>") + esc(f.previousCode) +
            QStringLiteral("</b><br>Current Status Code: <b>") + esc(f.currentCode) +
            QStringLiteral("</b><hr></div>");
    return html;
}

QString LinkCheckRunningMenu()
{
    return QStringLiteral(
        "<a href=skl:S>Stop Checking Links</a><br>(In most cases, clicking Stop will stop within "
        "a few seconds, however, because it has to wait for the server to respond, in rare cases "
        "it may take up to 10 minutes for the program to actually stop. Even Skimline itself can "
        "go blank for a few moments. Just be patient. It will continue shortly. When it stops, "
        "the total time elapsed and the number of links checked will be displayed. You can "
        "minimize this application and work on something else in the meantime. Skimline will "
        "flash its window when it is finished.)<hr>");
}

QString LinkCheckResultMenu()
{
    return QStringLiteral("<a href=skl:A>Show All Links</a><br>(checked in this session)<p><a "
                          "href=skl:B>Show Questionable Links</a><br><a href=skl:Z>Close This "
                          "Check Links Menu</a><hr>");
}

LinkChecker::LinkChecker(AppContext &ctx, HttpClient &http, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_http(http)
{}

LinkChecker::~LinkChecker()
{
    // Requests in flight call back into the entries: drop them first, with nothing to tell.
    m_stopped = true;
    m_running = false;
    saveFavorites = nullptr;
    for (const Entry &e : m_entries)
        if (e.sent && !e.done)
            m_http.abort(e.request);
}

bool LinkChecker::start(LinkCheckScope scope, LinkCheckOutput output)
{
    if (m_running || !m_ctx.stores || !m_ctx.stores->rsFavorites.State())
        return false;
    m_out = std::move(output);
    m_entries.clear();
    m_perHost.clear();
    m_nextToSend = m_nextToReport = 0;
    m_inFlight = m_counted = m_done = 0;
    m_stopped = false;

    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    if (scope == LinkCheckScope::Questionable && !rs.SetFilter(QStringLiteral("StatusCode >= 400")))
        return false;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        if (!rs.Field(QStringLiteral("PostData")).toByteArray().isEmpty())
            continue;
        Entry e;
        LinkReportFields &f = e.fields;
        f.bookmark = rs.Bookmark();
        const QString address = rs.Field(QStringLiteral("URL")).toString().trimmed();
        f.keywords = rs.Field(QStringLiteral("Keywords")).toString();
        f.title = rs.Field(QStringLiteral("Title")).toString();
        f.description = rs.Field(QStringLiteral("Description")).toString();
        f.docKeywords = rs.Field(QStringLiteral("DocKeywords")).toString();
        f.notes = rs.Field(QStringLiteral("Notes")).toString();
        const QString accesses = rs.Field(QStringLiteral("Accesses")).toString();
        f.downloads = accesses.isEmpty() ? QStringLiteral("0") : accesses;
        const QString accessed = dateText(rs.Field(QStringLiteral("DateAccessed")));
        f.lastDownload = accessed.contains(QLatin1Char('/')) ? accessed : QStringLiteral("Never");
        f.dateCreated = dateText(rs.Field(QStringLiteral("DateCreated")));
        f.previousCode = rs.Field(QStringLiteral("StatusCode")).toString();
        f.currentCode = f.previousCode;
        if (startsWithCi(address, "http://") || startsWithCi(address, "https://")) {
            e.url = QUrl(address);
            e.host = e.url.host().toLower();
            f.address = address.endsWith(QLatin1Char('/')) ? address.chopped(1) : address;
        } else if (startsWithCi(address, "file://")) {
            const QString path = QUrl(address).toLocalFile();
            if (!path.isEmpty() && QFileInfo::exists(path)) {
                ++m_counted; // counted, all is well: no entry
                continue;
            }
            e.local = true;
            f.address = path.isEmpty() ? address : path;
        } else if (address.isEmpty()) {
            e.local = true;
        } else {
            continue;
        }
        ++m_counted;
        m_entries.push_back(std::move(e));
    }

    m_running = true;
    m_clock.start();
    m_sinceSave.start();
    if (m_out.showMenu)
        m_out.showMenu(LinkCheckRunningMenu());
    if (m_out.writePage)
        m_out.writePage(QStringLiteral(
            "<head><META HTTP-EQUIV='MSThemeCompatible' CONTENT='Yes'><style>.C0{color:#66A000}"
            ".C3{color:#005500}.C4{color:#FF0000}.C5{color:#880000}</style><title>Checking "
            "Links</title></head><body></body>"));
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].local) {
            m_entries[i].done = true;
            ++m_done;
        }
    pump();
    flush();
    return true;
}

void LinkChecker::stop()
{
    if (!m_running || m_stopped)
        return;
    m_stopped = true;
    for (Entry &e : m_entries) {
        if (e.sent && !e.done)
            m_http.abort(e.request); // its callback marks it done, unchanged
        else if (!e.sent && !e.done)
            e.done = true;
    }
    flush();
}

void LinkChecker::pump()
{
    while (!m_stopped && m_inFlight < maxInFlight && m_nextToSend < m_entries.size()) {
        // The next entry whose host has room; a busy host does not hold back the others.
        size_t pick = m_entries.size();
        for (size_t i = m_nextToSend; i < m_entries.size(); ++i) {
            const Entry &e = m_entries[i];
            if (!e.sent && !e.done && m_perHost.value(e.host) < maxPerHost) {
                pick = i;
                break;
            }
        }
        if (pick == m_entries.size())
            return;
        Entry &e = m_entries[pick];
        e.sent = true;
        ++m_inFlight;
        ++m_perHost[e.host];
        send(pick, false);
        while (m_nextToSend < m_entries.size() &&
               (m_entries[m_nextToSend].sent || m_entries[m_nextToSend].done))
            ++m_nextToSend;
    }
}

void LinkChecker::send(size_t index, bool get)
{
    Entry &e = m_entries[index];
    HttpRequest request;
    request.url = e.url;
    request.method = get ? HttpMethod::Get : HttpMethod::Head;
    request.followRedirects = false;
    request.timeoutMs = timeoutMs;
    request.maxBodyBytes = 256 * 1024; // the status is all a check needs
    if (!m_ctx.gsUserAgent.isEmpty())
        request.headers.append({"User-Agent", m_ctx.gsUserAgent.toUtf8()});
    e.request = m_http.request(
        request, [this, index, get](const HttpResponse &r) { answered(index, get, r); });
}

void LinkChecker::answered(size_t index, bool get, const HttpResponse &r)
{
    if (index >= m_entries.size())
        return;
    Entry &e = m_entries[index];
    if (r.aborted || m_stopped) {
        settle(index);
        return;
    }
    const int status = r.statusCode;
    // Servers that refuse HEAD, or close on it, are asked again with GET.
    if (!get &&
        (status == 405 || status == 501 ||
         (status == 0 && !r.timedOut && r.networkError != 0 &&
          r.networkError != 1 /* ConnectionRefused */ && r.networkError != 3 /* HostNotFound */))) {
        send(index, true);
        return;
    }
    if (status >= 300 && status < 400 && r.redirectTo.isValid() && e.hops < kMaxRedirects) {
        if (e.firstStatus < 0)
            e.firstStatus = status;
        ++e.hops;
        e.url = r.redirectTo;
        send(index, get);
        return;
    }
    const int code = e.firstStatus >= 0 ? e.firstStatus : status;
    e.fields.currentCode = QString::number(code);
    if (e.hops > 0)
        e.fields.finalAddress =
            e.url.toString() + (status ? QStringLiteral(" (%1)").arg(status) : QString());
    if (status == 0)
        e.fields.error = r.errorText.isEmpty() ? QStringLiteral("no answer") : r.errorText;
    e.changed = true;
    // Written as it comes: a run cut short by an exit or a crash keeps what it found.
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    if (rs.SetBookmark(e.fields.bookmark)) {
        (void)rs.SetField(QStringLiteral("StatusCode"), code);
        rs.Update();
    }
    settle(index);
}

void LinkChecker::settle(size_t index)
{
    Entry &e = m_entries[index];
    if (!e.done) {
        e.done = true;
        ++m_done;
        --m_inFlight;
        --m_perHost[e.host];
    }
    if (saveFavorites && m_sinceSave.elapsed() >= kSaveEveryMs) {
        m_sinceSave.restart();
        saveFavorites();
    }
    pump();
    flush();
}

void LinkChecker::flush()
{
    if (!m_running)
        return;
    QString html;
    while (m_nextToReport < m_entries.size() && m_entries[m_nextToReport].done) {
        const Entry &e = m_entries[m_nextToReport++];
        if (e.local || e.changed)
            html += LinkReportEntry(e.fields, LinkStatusClass(e.fields.currentCode, e.local));
    }
    if (!html.isEmpty() && m_out.append)
        m_out.append(html);
    if (m_out.progress)
        m_out.progress(QStringLiteral("Checked %1 of %2").arg(m_done).arg(m_entries.size()));
    if (m_nextToReport == m_entries.size() && m_inFlight == 0)
        finish();
}

void LinkChecker::finish()
{
    m_running = false;
    const double minutes = std::round(m_clock.elapsed() / 600.0) / 100.0;
    QString html = QStringLiteral("<p>Number of links checked = <b>%1</b><p>Total time = <b>%2 "
                                  "minutes</b>")
                       .arg(m_counted)
                       .arg(minutes);
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    QStringList gone;
    for (const Entry &e : m_entries) {
        if (!e.local || !rs.SetBookmark(e.fields.bookmark))
            continue;
        gone << e.fields.address;
        (void)rs.Delete();
    }
    if (!gone.isEmpty()) {
        html += QStringLiteral("The following links point to files on your computer that do not "
                               "exist or the Favorite had no URL, and thus, were deleted "
                               "automatically.<ol><b>");
        for (const QString &path : gone)
            html += QStringLiteral("<li>") + esc(path);
        html += QStringLiteral("</b></ol>");
    }
    html += QStringLiteral("<p class=help><b>Note: NEVER edit or delete a Favorite while the Link "
                           "Checker is running! If you edit a Favorite by clicking the Edit link, "
                           "and you make changes to the Favorite, the changes will be saved to "
                           "the database, but will not be visible on this page.</b></p>");
    if (m_out.append)
        m_out.append(html);
    if (m_out.showMenu)
        m_out.showMenu(LinkCheckResultMenu());
    if (saveFavorites)
        saveFavorites();
    if (m_out.finished)
        m_out.finished();
}
