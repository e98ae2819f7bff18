#include "reader/LoadingQueue.h"

#include "platform/Document.h"
#include "platform/PageWriter.h"
#include "platform/Ui.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/CWinInet_URL.h"
#include "store/DateValue.h"
#include "store/Stores.h"

#include <QFileInfo>

namespace {
const QString kCrLf = QStringLiteral("\r\n");

// Clears the busy flag on every way out.
class BusyGuard
{
public:
    explicit BusyGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~BusyGuard() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

LoadingQueue::LoadingQueue(Reader &reader) : m_reader(reader)
{}

const QStringList &LoadingQueue::ownAgentSites()
{
    // Sites that shut out browsers they do not know get the engine's own user agent.
    static const QStringList sites{QStringLiteral("microsoft.com"), QStringLiteral("ebay.com")};
    return sites;
}

QString LoadingQueue::headersFor(const QString &url, const QString &extra) const
{
    AppContext &ctx = m_reader.ctx;
    const URLParts parts = m_reader.urlParts(url);
    const QString hostAndPath = parts.hostAndPath.isEmpty() ? url : parts.hostAndPath;
    QString headers = ctx.gsExtraHeaders;
    for (const QString &site : ownAgentSites()) {
        if (hostAndPath.contains(site, Qt::CaseInsensitive)) {
            headers = ctx.gsDefaultUserAgent.isEmpty()
                          ? QString()
                          : QStringLiteral("User-agent: ") + ctx.gsDefaultUserAgent + kCrLf;
            break;
        }
    }
    if (!extra.isEmpty()) {
        headers += extra;
        if (!extra.endsWith(kCrLf))
            headers += kCrLf;
    }
    return headers;
}

namespace {
bool isNoDocumentAddress(const QString &url)
{
    const QUrl u(url);
    const QString scheme = u.scheme();
    return ProgramPages::isCommandLink(u) ||
           scheme.compare(QLatin1String("javascript"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("vbscript"), Qt::CaseInsensitive) == 0;
}
} // namespace

LoadOutcome LoadingQueue::LoadDocument(const QString &url, LoadWhere where, bool bQuiet)
{
    LoadRequest r;
    r.url = url;
    r.where = where;
    r.bQuiet = bQuiet;
    return LoadDocument(r);
}

LoadOutcome LoadingQueue::LoadDocument(LoadRequest &request)
{
    BusyGuard busy(m_reader.ctx.gbLoadBusy);
    return load(request);
}

bool LoadingQueue::takeQueued(LoadRequest &request, double &record, int &order)
{
    Recordset rs = m_reader.log.cursor();
    if (!rs.State() || !rs.SetFilter(QStringLiteral("bRead = 0 AND bLoaded = 0")) ||
        !rs.SetSort(QStringLiteral("Order")))
        return false;
    if (rs.RecordCount() == 0) {
        m_reader.host.queueListClear();
        return false;
    }
    rs.MoveFirst();
    record = rs.Bookmark();
    request.url = rs.Field(QStringLiteral("URL")).toString();
    request.postData = rs.Field(QStringLiteral("PostData")).toByteArray();
    request.headers = rs.Field(QStringLiteral("Headers")).toString();
    request.bookmark = rs.Field(QStringLiteral("Bookmark")).toDouble();
    request.title = rs.Field(QStringLiteral("Title")).toString();
    order = rs.Field(QStringLiteral("Order")).toInt();
    m_reader.host.queueListRemove(record);
    return true;
}

bool LoadingQueue::takeFavorite(LoadRequest &request, bool &repost)
{
    AppContext &ctx = m_reader.ctx;
    if (!ctx.stores || !ctx.stores->rsFavorites.State())
        return false;
    Recordset fav = ctx.stores->rsFavorites.Clone();
    if (!fav.SetBookmark(request.bookmark) || fav.isEOF())
        return false;
    request.url = fav.Field(QStringLiteral("URL")).toString();
    if (fav.Field(QStringLiteral("bfFav")).toInt() & 2) {
        m_reader.host.openFeedViewer(request.url, request.bookmark);
        if (!request.bQuiet && ctx.ui)
            ctx.ui->beep();
        return false;
    }
    request.title = fav.Field(QStringLiteral("Title")).toString();
    (void)fav.SetField(QStringLiteral("Accesses"),
                       fav.Field(QStringLiteral("Accesses")).toInt() + 1);
    (void)fav.SetField(QStringLiteral("DateAccessed"), DateValue::now());
    fav.Update();
    request.postData = fav.Field(QStringLiteral("PostData")).toByteArray();
    if (!request.postData.isEmpty()) {
        const QString extra = fav.Field(QStringLiteral("Extra")).toString();
        if (extra.isEmpty()) {
            request.headers = fav.Field(QStringLiteral("Headers")).toString();
        } else {
            // A captured form: its page loads first, the window posts the form after it.
            request.url = extra;
            request.postData.clear();
            repost = true;
        }
    }
    return true;
}

LoadOutcome LoadingQueue::load(LoadRequest &request)
{
    AppContext &ctx = m_reader.ctx;
    ReaderHost &host = m_reader.host;
    WindowPool &pool = m_reader.pool;
    SessionLog &log = m_reader.log;

    double record = 0;
    int order = 0;
    bool repost = false;
    switch (request.source) {
    case LoadSource::NextQueued:
        if (ctx.giLoadingCount >= kMaxDownloads)
            return LoadOutcome::Nothing;
        if (!takeQueued(request, record, order))
            return LoadOutcome::Nothing;
        break;
    case LoadSource::Favorite:
        if (!takeFavorite(request, repost))
            return request.url.isEmpty() ? LoadOutcome::Nothing : LoadOutcome::FeedViewer;
        break;
    case LoadSource::Url:
        break;
    }

    // An empty address has nothing to load or read later. A command link is no document
    // either: its window would wait for ever for a load that never starts, holding one of
    // the downloads. A script address would run in whatever page the chosen window still
    // shows (an address handed over by another program, a .url file).
    if (request.url.isEmpty() || isNoDocumentAddress(request.url)) {
        if (record != 0)
            log.remove(record);
        return LoadOutcome::Nothing;
    }

    const URLParts parts = m_reader.urlParts(request.url);
    if (parts.feed) {
        if (record != 0)
            log.remove(record);
        host.openFeedViewer(request.url, 0);
        return LoadOutcome::FeedViewer;
    }

    if (request.source != LoadSource::NextQueued) {
        if (request.where == LoadWhere::Background)
            order = ++ctx.giLaterOrder;
        else if (request.where == LoadWhere::Next)
            order = ++ctx.giNextOrder;
        if (request.title.isEmpty())
            request.title = request.url;
        const int read = request.where == LoadWhere::Here ? 1 : 0;
        record = log.add({{"Order", order},
                          {"Date", DateValue::now()},
                          {"bRead", read},
                          {"bLoaded", 0},
                          {"Title", request.title},
                          {"URL", request.url},
                          {"Headers", request.headers},
                          {"Bookmark", request.bookmark},
                          {"scrolltop", request.scrollTop > 0 ? request.scrollTop : 0}});
        if (!request.postData.isEmpty() && record != 0)
            log.update(record, {{"PostData", request.postData}});
        if (!request.bQuiet && ctx.ui)
            ctx.ui->beep();
        if (request.where != LoadWhere::Here && ctx.giLoadingCount >= kMaxDownloads) {
            if (!request.bQuiet)
                host.setStatusText(3, QStringLiteral("Queuing ") + request.url);
            host.queueListAdd(record, request.title);
            return LoadOutcome::Queued;
        }
    }

    int slot = -1;
    if (request.where == LoadWhere::Here) {
        slot = pool.window(ctx.giCurrentWindow) ? ctx.giCurrentWindow : -1;
    } else {
        slot = pool.ChooseWindow(request.where == LoadWhere::Next, false);
    }
    DocumentWindow *w = pool.window(slot);
    if (!w || !w->brwWebBrowser) {
        if (!request.bQuiet)
            host.setStatusText(3, QStringLiteral("Queuing ") + request.url);
        host.queueListAdd(record, request.title);
        return LoadOutcome::Queued;
    }

    const bool isCurrent = slot == ctx.giCurrentWindow;
    if (!w->countsAsDownload()) {
        w->setCountsAsDownload(true);
        ++ctx.giLoadingCount;
    }
    pool.setOrder(slot, order);
    // The window being read stays "a": only windows in the background load for later, and
    // Next Window must never pick the window the user is in.
    if (!isCurrent) {
        pool.setState(slot, QStringLiteral("b"));
    } else {
        pool.setState(slot, QStringLiteral("a"));
        request.where = LoadWhere::Here;
    }

    w->mdCurrentSessionBookmark = record;
    if (record != 0) {
        if (isCurrent)
            log.update(record, {{"bLoaded", 1}, {"bRead", 1}});
        else
            log.update(record, {{"bLoaded", 1}});
        if (request.scrollTop == 0)
            request.scrollTop = log.field(record, "scrolltop").toInt();
    }
    w->msReadyState = QStringLiteral("b");

    const QString headers = headersFor(request.url, request.headers);
    w->mlInitialScrollTop = std::max(0, request.scrollTop);
    if (!w->navigateHere(QUrl(request.url), headers, request.postData)) {
        // Nothing is loading: the window and the record are free again.
        releaseDownload(*w);
        if (!isCurrent)
            pool.setState(slot, QStringLiteral("f"));
        w->mdCurrentSessionBookmark = 0;
        if (record != 0)
            log.update(record, {{"bLoaded", 0}, {"bRead", 2}});
        m_reader.report.gcolNavErrors.append(
            SessionReport::NavErrorLine(request.url, NavErrorCode::InvalidUrl));
        return LoadOutcome::Failed;
    }
    host.setStatusText(3, QStringLiteral("Loading ") + request.url);
    // The document remembers the favorite it came from (Edit/Delete This Favorite, the top
    // bar's favorite cells); a saved form is sent again once its page is there.
    w->mfdTempBookMark = request.bookmark;
    w->mbFormSubmit = repost;
    return LoadOutcome::Loading;
}

int LoadingQueue::newWindowFor(const QString &url, bool bNext)
{
    AppContext &ctx = m_reader.ctx;
    WindowPool &pool = m_reader.pool;
    // A blank pop-up that its opener writes into is no download and has no address to log.
    if (url.isEmpty() || url.startsWith(QLatin1String("about:"), Qt::CaseInsensitive) ||
        isNoDocumentAddress(url))
        return pool.ChooseWindow(bNext, false);
    const auto queued = [&] {
        LoadRequest r;
        r.url = url;
        r.where = LoadWhere::Next;
        r.bQuiet = true;
        (void)LoadDocument(r);
        return -1;
    };
    if (ctx.giLoadingCount >= kMaxDownloads)
        return queued();
    const int slot = pool.ChooseWindow(bNext, false);
    DocumentWindow *w = pool.window(slot);
    if (!w || !w->brwWebBrowser)
        return queued();
    const int order = ++ctx.giNextOrder;
    const double record = m_reader.log.add({{"Order", order},
                                            {"Date", DateValue::now()},
                                            {"bRead", 0},
                                            {"bLoaded", 1},
                                            {"Title", url},
                                            {"URL", url},
                                            {"Bookmark", 0},
                                            {"scrolltop", 0}});
    pool.setOrder(slot, order);
    w->mdCurrentSessionBookmark = record;
    w->msReadyState = QStringLiteral("b");
    if (!w->countsAsDownload()) {
        w->setCountsAsDownload(true);
        ++ctx.giLoadingCount;
    }
    return slot;
}

int LoadingQueue::startQueued()
{
    AppContext &ctx = m_reader.ctx;
    int started = 0;
    while (ctx.giLoadingCount < kMaxDownloads && !ctx.gbLoadBusy) {
        LoadRequest r;
        r.source = LoadSource::NextQueued;
        r.bQuiet = true;
        const LoadOutcome out = LoadDocument(r);
        if (out == LoadOutcome::Loading)
            ++started;
        else if (out != LoadOutcome::Failed && out != LoadOutcome::FeedViewer)
            break; // the queue is empty or no window is free
    }
    return started;
}

int LoadingQueue::queuedCount() const
{
    Recordset rs = m_reader.log.cursor();
    if (!rs.State() || !rs.SetFilter(QStringLiteral("bRead = 0 AND bLoaded = 0")))
        return 0;
    return rs.RecordCount();
}

void LoadingQueue::releaseDownload(DocumentWindow &window)
{
    if (!window.countsAsDownload())
        return;
    window.setCountsAsDownload(false);
    AppContext &ctx = m_reader.ctx;
    if (ctx.giLoadingCount > 0)
        --ctx.giLoadingCount;
}

void LoadingQueue::LogNavigation(double &oldBookmark, double &currentBookmark, const QString &url,
                                 int slot)
{
    AppContext &ctx = m_reader.ctx;
    SessionLog &log = m_reader.log;
    if (oldBookmark != 0)
        log.update(oldBookmark, {{"bLoaded", 0}, {"bRead", 1}});
    double record = currentBookmark;
    if (record == 0) {
        Recordset rs = log.cursor();
        if (rs.State() &&
            rs.Find(QStringLiteral("URL = '") + FilterText(url) + QLatin1Char('\''))) {
            record = rs.Bookmark();
        } else {
            const int order = ++ctx.giNextOrder;
            m_reader.pool.setOrder(slot, order);
            record = log.add(
                {{"Order", order}, {"Date", DateValue::now()}, {"URL", url}, {"Title", url}});
        }
    }
    if (record == 0)
        return;
    const int read = slot == ctx.giCurrentWindow ? 1 : 0;
    log.update(record, {{"bRead", read}, {"bLoaded", 1}});
    currentBookmark = record;
}

int LoadingQueue::continueAbortedSession()
{
    AppContext &ctx = m_reader.ctx;
    if (!ctx.stores)
        return 0;
    Stores &st = *ctx.stores;
    if (st.rsTempSession.State())
        (void)st.rsTempSession.SetSort(QStringLiteral("Order"));
    int n = 0;
    ContinueAbortedSession(
        st,
        [this, &n](const QString &url, const QByteArray &postData, const QString &headers) {
            if (url.isEmpty())
                return;
            LoadRequest r;
            r.url = url;
            r.postData = postData;
            r.headers = headers;
            r.bQuiet = true;
            (void)LoadDocument(r);
            ++n;
        },
        [this] { return m_reader.log.flush(); });
    return n;
}

void LoadingQueue::mnuOL_LastSession_Click(int index, const QString &sessionFile)
{
    AppContext &ctx = m_reader.ctx;
    if (!ctx.stores || index < 0 || index > 2)
        return;
    auto past =
        Recordset::Open(sessionFile.isEmpty() ? ctx.stores->gsPastSessionFile : sessionFile);
    if (!past)
        return;
    const QString filter = index == 0 ? QStringLiteral("bLoaded = 1") : QStringLiteral("bRead = 0");
    if (!past->SetFilter(filter) || !past->SetSort(QStringLiteral("Order")))
        return;
    struct Entry
    {
        QString url;
        QByteArray postData;
        QString headers;
    };
    QList<Entry> entries;
    for (past->MoveFirst(); !past->isEOF(); past->MoveNext())
        entries.append({past->Field(QStringLiteral("URL")).toString(),
                        past->Field(QStringLiteral("PostData")).toByteArray(),
                        past->Field(QStringLiteral("Headers")).toString()});
    past->Close();
    for (const Entry &e : std::as_const(entries)) {
        DocumentWindow *cur = m_reader.pool.current();
        const QString here =
            cur && cur->brwWebBrowser ? cur->brwWebBrowser->locationUrl().toString() : QString();
        if (e.url.isEmpty() || e.url == QLatin1String("about:blank") ||
            e.url == QLatin1String("http:///") || e.url == here)
            continue;
        LoadRequest r;
        r.url = e.url;
        r.postData = e.postData;
        r.headers = e.headers;
        r.bQuiet = true;
        r.scrollTop = -1;
        (void)LoadDocument(r);
    }
    if (index == 2)
        m_reader.host.loadScheduledPages(1);
}

void LoadingQueue::SaveNextSessionURL(int iAction)
{
    AppContext &ctx = m_reader.ctx;
    if (!ctx.stores || !ctx.stores->rsOptions.State())
        return;
    Recordset &opt = ctx.stores->rsOptions;
    const QString key = QStringLiteral("nextsessionurl");
    if (iAction == 0) {
        DocumentWindow *cur = m_reader.pool.current();
        if (!cur || !cur->brwWebBrowser)
            return;
        const int scrollTop = cur->brwWebBrowser->document().snapshot().scrollTop;
        const QString url = cur->brwWebBrowser->locationUrl().toString();
        if (url.isEmpty())
            return;
        Recordset rs = opt.Clone();
        (void)rs.AddNew({QStringLiteral("key"), QStringLiteral("value")},
                        {key, QString::number(scrollTop) + QLatin1Char('`') + url});
        if (!rs.Save())
            ctx.errorLog.LogError(rs.lastError(), QStringLiteral(" Saving the next session page"));
        return;
    }
    if (iAction != 1)
        return;
    Recordset rs = opt.Clone();
    QList<QPair<int, QString>> pages;
    if (DeleteMatching(rs, QStringLiteral("key = 'nextsessionurl'"), [&pages](const Recordset &r) {
            const QString value = r.Field(QStringLiteral("value")).toString();
            const int grave = value.indexOf(QLatin1Char('`'));
            pages.append({grave > 0 ? value.left(grave).toInt() : 0,
                          grave >= 0 ? value.mid(grave + 1) : value});
        }) < 0)
        return;
    if (!rs.Save())
        ctx.errorLog.LogError(rs.lastError(), QStringLiteral(" Saving the next session page"));
    for (const auto &[scrollTop, url] : std::as_const(pages)) {
        LoadRequest r;
        r.url = url;
        r.scrollTop = scrollTop > 0 ? scrollTop : -1;
        r.bQuiet = true;
        (void)LoadDocument(r);
    }
}

void LoadingQueue::mnuRefresh_Click()
{
    DocumentWindow *w = m_reader.pool.current();
    if (!w || !w->brwWebBrowser || w->mbDocWritten)
        return;
    w->mbDontAddToHistory = true;
    w->navigateHere(DocumentWindow::HistoryStep::Reload);
    if (DocumentWindow *cur = m_reader.pool.current())
        cur->LargestFrame_SetFocus();
}

void LoadingQueue::mnuBack_Click()
{
    if (DocumentWindow *w = m_reader.pool.current())
        w->navigateHere(DocumentWindow::HistoryStep::Back);
}

void LoadingQueue::mnuForward_Click()
{
    if (DocumentWindow *w = m_reader.pool.current())
        w->navigateHere(DocumentWindow::HistoryStep::Forward);
}

void LoadingQueue::GoSearch()
{
    if (DocumentWindow *w = m_reader.pool.current())
        (void)w->navigateHere(ProgramPages::url(QStringLiteral("sklSearch.htm")));
}

void LoadingQueue::mnuNav_Stop_Click()
{
    if (DocumentWindow *w = m_reader.pool.current(); w && w->brwWebBrowser) {
        w->brwWebBrowser->stop();
        releaseDownload(*w);
    }
}

void LoadingQueue::mnuOL_Start_Click()
{
    if (DocumentWindow *w = m_reader.pool.current())
        (void)w->navigateHere(ProgramPages::url(QStringLiteral("Start.htm")));
}

void LoadingQueue::mnuOffline_Click()
{
    AppContext &ctx = m_reader.ctx;
    ctx.gbOffline = !ctx.gbOffline;
    if (DocumentWindow *w = m_reader.pool.current(); w && w->brwWebBrowser)
        w->brwWebBrowser->setOffline(ctx.gbOffline);
    m_reader.host.setMenuItem(QStringLiteral("mnuOffline"), true, ctx.gbOffline);
}
