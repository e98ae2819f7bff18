#include "frame/Sidebar.h"

#include "frame/MDIForm1.h"
#include "frame/Notes.h"
#include "frame/PageInfo.h"
#include "frame/SidebarHtml.h"
#include "platform/PageWriter.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/History.h"
#include "reader/Reader.h"
#include "store/DateValue.h"
#include "store/Stores.h"

#include <QAction>
#include <QCursor>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <limits>

using namespace SidebarHtml;

namespace {
const QString kLB = QStringLiteral("LB");
const QString kMW = QStringLiteral("MW");
const QString kHeadings = QStringLiteral("Headings");
const QString kMenu = QStringLiteral("menu");
const QString kQueue = QStringLiteral("qul");
constexpr int kHistorySearchTab = 4;
const QString kNoHistory =
    QStringLiteral("History is not being maintained. Select Tools - Skimline Options and check "
                   "Maintain History checkbox to start saving history.");

bool isTab(const QString &id, char first, char last)
{
    return id.size() == 2 && id.at(0) == QLatin1Char('m') && id.at(1) >= QLatin1Char(first) &&
           id.at(1) <= QLatin1Char(last);
}

// The slot of an entry of the open-windows list ("K3"), or -1.
int windowSlot(const QString &id)
{
    if (!id.startsWith(QLatin1Char('K')))
        return -1;
    bool ok = false;
    const int slot = id.mid(1).toInt(&ok);
    return ok ? slot : -1;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// ListFeed

void ListFeed::start(Document &doc, const ElementRef &target, Next next, const QString &tail,
                     std::function<void()> finished)
{
    cancel();
    m_doc = &doc;
    m_target = target;
    m_next = std::move(next);
    m_tail = tail;
    m_finished = std::move(finished);
    QString html;
    fill(html, firstEntries, sliceMs);
    if (!m_next) {
        // Everything fitted into the first screenful.
        doc.setInnerHTML(target, html + tail);
        finish();
        return;
    }
    doc.setInnerHTML(target, html);
    sent();
    pump();
}

void ListFeed::cancel()
{
    ++m_generation;
    m_next = {};
    m_finished = {};
    m_inFlight = 0;
    m_scheduled = false;
    m_pending.clear();
    m_pendingEntries = 0;
}

void ListFeed::finish()
{
    auto done = std::move(m_finished);
    m_finished = {};
    m_doc = nullptr; // nothing more goes in
    if (done)
        done();
}

int ListFeed::fill(QString &html, int maxEntries, int maxMs)
{
    QElapsedTimer clock;
    clock.start();
    int n = 0;
    while (m_next && n < maxEntries && html.size() < maxPendingBytes) {
        if (!m_next(html)) {
            m_next = {};
            break;
        }
        // The clock is read now and then: reading it costs more than one entry.
        if ((++n & 63) == 0 && clock.elapsed() >= maxMs)
            break;
    }
    return n;
}

void ListFeed::sent()
{
    // The page answers a query only after the writes sent before it: the answer says the
    // slice is in. Until then the entries made meanwhile wait and go in as one write, so a
    // slow page gets fewer, larger writes and draws between them.
    ++m_inFlight;
    const quint64 generation = m_generation;
    QPointer<ListFeed> self(this);
    m_doc->queryMeta([self, generation](const QList<MetaInfo> &) {
        if (!self || generation != self->m_generation)
            return;
        --self->m_inFlight;
        self->flush();
        self->pump();
    });
}

void ListFeed::pump()
{
    if (!m_next || m_scheduled || m_pending.size() >= maxPendingBytes)
        return;
    m_scheduled = true;
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != m_generation)
            return;
        m_scheduled = false;
        slice();
    });
}

void ListFeed::slice()
{
    if (!m_doc)
        return;
    if (m_next)
        m_pendingEntries += fill(m_pending, std::numeric_limits<int>::max(), sliceMs);
    flush();
    pump();
}

void ListFeed::flush()
{
    if (!m_doc || m_inFlight > 0)
        return;
    if (!m_next) {
        m_doc->insertAdjacentHTML(m_target, QStringLiteral("beforeEnd"), takePending() + m_tail);
        finish();
        return;
    }
    if (m_pending.isEmpty())
        return;
    m_doc->insertAdjacentHTML(m_target, QStringLiteral("beforeEnd"), takePending());
    sent();
}

QString ListFeed::takePending()
{
    if (m_pending.isEmpty())
        return QString();
    // The engine lays out and draws a block only while it is on screen: without this every
    // write would lay out the whole list again, ten times slower for 100,000 entries. The
    // estimate is the block's height until it is first drawn.
    const QString html =
        QStringLiteral("<div style='content-visibility:auto;contain-intrinsic-size:"
                       "auto %1px'>")
            .arg(m_pendingEntries * kEntryHeightPx) +
        m_pending + QStringLiteral("</div>");
    m_pending.clear();
    m_pendingEntries = 0;
    return html;
}

// ---------------------------------------------------------------------------------------------
// Sidebar

Sidebar::Sidebar(AppContext &ctx, MDIForm1 &frame) : m_ctx(ctx), m_frame(frame)
{
    m_ctx.zHistoryDone = [this] { zHistoryDone(); };
}

Sidebar::~Sidebar()
{
    m_ctx.zHistoryDone = nullptr;
}

void Sidebar::attach(Document &pane)
{
    // Writes made before the page is complete are applied once it is.
    m_pane = &pane;
}

void Sidebar::paneReady()
{
    if (!m_pane)
        return;
    m_pane->setEventRules(eventRules());
    xShowSidebarTab(QStringLiteral("m2"), 1);
    zShowWindows();
}

QList<EventRule> Sidebar::eventRules()
{
    QList<EventRule> rules;
    // Local files open through the program; the pane itself never goes anywhere.
    EventRule local;
    local.type = DomEventType::Click;
    local.selector = QStringLiteral("a[href^='skl:X']");
    rules << local;
    // The program's menus replace the engine's on everything the sidebar lists.
    EventRule menu;
    menu.type = DomEventType::ContextMenu;
    menu.selector = QStringLiteral("a, .W, .qf, .gr, .dNote, .QL");
    rules << menu;
    // Alt+Left/Right resize the sidebar instead of going back and forth.
    for (int key : {37, 39}) {
        EventRule resize;
        resize.type = DomEventType::KeyDown;
        resize.keyCode = key;
        resize.modifiers = Qt::AltModifier;
        rules << resize;
    }
    return rules + Notes::eventRules();
}

QString Sidebar::boxText() const
{
    return topBar.searchBoxText ? topBar.searchBoxText() : QString();
}

void Sidebar::showView(const QString &id, bool show)
{
    if (m_pane)
        m_pane->setStyle(id, QStringLiteral("display"),
                         show ? QStringLiteral("block") : QStringLiteral("none"));
}

void Sidebar::xShowSidebarTab(const QString &sNewMenuItem, int /*iFlag*/)
{
    if (!m_pane)
        return;
    const QString &id = sNewMenuItem;
    if (isTab(id, '2', '8') || id == QLatin1String("s3") || id == QLatin1String("s4")) {
        showView(kLB, true);
        showView(kMW, true);
        mbShowPageInfo = false;
    }
    if (id == QLatin1String("m0")) {
        showHeadings();
    } else if (id == QLatin1String("m1")) {
        showCheckLinksMenu();
    } else if (id == QLatin1String("m2")) {
        SidebarLinks(ListType::QuickLinks);
    } else if (id == QLatin1String("m3")) {
        m_feed.cancel();
        showView(kLB, false);
        m_listType = ListType::OpenWindows;
        zShowWindows();
    } else if (id == QLatin1String("m4")) {
        SidebarLinks(ListType::Scheduled);
    } else if (id == QLatin1String("m5")) {
        SidebarLinks(ListType::QuickFolders);
    } else if (id == QLatin1String("m6")) {
        SidebarLinks(ListType::Feeds);
    } else if (id == QLatin1String("m7")) {
        mbShowPageInfo = true;
        m_feed.cancel();
        zShowPageInfo();
    } else if (id == QLatin1String("m8")) {
        listGroups();
    } else if (id == QLatin1String("s3")) {
        SidebarLinks(ListType::FavoritesFilter);
    } else if (id == QLatin1String("s4")) {
        SidebarLinks(ListType::HistoryFilter);
    }
    static const QStringList listTabs = {QStringLiteral("m2"), QStringLiteral("m4"),
                                         QStringLiteral("m5"), QStringLiteral("m6"),
                                         QStringLiteral("s3"), QStringLiteral("s4")};
    if (listTabs.contains(id))
        msIdSidebarLinks = id;
    if (isTab(id, '2', '8')) {
        if (topBar.markCell) {
            if (!mhchElem.isEmpty() && mhchElem != id)
                topBar.markCell(mhchElem, false);
            topBar.markCell(id, true);
        }
        mhchElem = id;
    }
}

void Sidebar::writeList(const QString &html)
{
    if (!m_pane)
        return;
    m_pane->setInnerHTML(kLB, html);
    showView(kLB, true);
    Q_EMIT listWritten();
}

void Sidebar::SidebarLinks(int iFilterType)
{
    if (!m_pane || !m_ctx.stores)
        return;
    const QString text = boxText();
    const bool filter =
        iFilterType == ListType::FavoritesFilter || iFilterType == ListType::HistoryFilter ||
        (iFilterType == ListType::Current &&
         (m_listType == ListType::FavoritesFilter || m_listType == ListType::HistoryFilter));
    if (filter && boxTextMissing(text)) {
        m_feed.cancel();
        writeList(QStringLiteral("<div>") + escape(kEmptyBoxMessage) + QStringLiteral("</div>"));
        if (topBar.setSearchBoxText)
            topBar.setSearchBoxText(QString());
        return;
    }
    if (iFilterType != ListType::Current)
        m_listType = iFilterType;
    const int type = m_listType;
    if (type == ListType::OpenWindows)
        return;
    const std::optional<ListQuery> q = listQuery(type, text);
    if (!q)
        return;
    m_feed.cancel();
    Stores &st = *m_ctx.stores;
    switch (q->store) {
    case ListStore::Favorites:
        writeFavorites(st.rsFavorites.State() ? st.rsFavorites.Clone() : Recordset(), q->filter,
                       q->sort);
        return;
    case ListStore::History: {
        if (!st.rsHistory.State()) {
            writeList(QStringLiteral("<div>") + escape(kNoHistory) + QStringLiteral("</div>"));
            return;
        }
        // A cursor of its own: the list is read while other code uses the store.
        m_listCursor = st.rsHistory.Clone();
        if (!m_listCursor.SetFilter(q->filter) || !m_listCursor.SetSort(q->sort))
            return;
        Recordset *rs = &m_listCursor;
        rs->MoveFirst();
        showView(kLB, true);
        m_feed.start(
            *m_pane, kLB,
            [rs](QString &html) {
                if (rs->isEOF())
                    return false;
                html += historyEntry(rs->Field(QStringLiteral("Title")).toString(),
                                     rs->Field(QStringLiteral("URL")).toString());
                rs->MoveNext();
                return true;
            },
            kListEnd,
            [this] {
                m_listCursor.Close();
                Q_EMIT listWritten();
            });
        return;
    }
    case ListStore::Options: {
        QString html;
        if (st.rsOptions.State()) {
            Recordset rs = st.rsOptions.Clone();
            if (rs.SetFilter(q->filter) && rs.SetSort(q->sort)) {
                for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
                    html += quickFolderEntry(rs.Field(QStringLiteral("value")).toString());
            }
        }
        writeList(html + kListEnd);
        return;
    }
    }
}

void Sidebar::writeFavorites(Recordset rs, const QString &filter, const QString &sort)
{
    m_listCursor = std::move(rs);
    if (!m_listCursor.State() || !m_listCursor.SetFilter(filter) || !m_listCursor.SetSort(sort)) {
        m_listCursor.Close();
        writeList(kListEnd);
        return;
    }
    Recordset *cursor = &m_listCursor;
    cursor->MoveFirst();
    showView(kLB, true);
    m_feed.start(
        *m_pane, kLB,
        [cursor](QString &html) {
            while (!cursor->isEOF() &&
                   isTrashed(cursor->Field(QStringLiteral("Keywords")).toString()))
                cursor->MoveNext();
            if (cursor->isEOF())
                return false;
            html +=
                favoriteEntry(cursor->Bookmark(), cursor->Field(QStringLiteral("Title")).toString(),
                              cursor->Field(QStringLiteral("URL")).toString());
            cursor->MoveNext();
            return true;
        },
        kListEnd,
        [this] {
            m_listCursor.Close();
            Q_EMIT listWritten();
        });
}

void Sidebar::listQuickFolder(const QString &folder)
{
    if (!m_pane || !m_ctx.stores || !m_ctx.stores->rsFavorites.State())
        return;
    m_feed.cancel();
    writeFavorites(m_ctx.stores->rsFavorites.Clone(),
                   QStringLiteral("Keywords = '") + FilterText(folder.trimmed()) +
                       QLatin1Char('\''),
                   QStringLiteral("Title"));
}

void Sidebar::listGroups()
{
    if (!m_pane)
        return;
    m_feed.cancel();
    QStringList keywords;
    if (m_ctx.stores && m_ctx.stores->rsFavorites.State()) {
        Recordset rs = m_ctx.stores->rsFavorites.Clone();
        if (rs.SetFilter(QStringLiteral("keywords LIKE '!skl\\Groups\\*'")) &&
            rs.SetSort(QStringLiteral("Keywords"))) {
            for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
                keywords << rs.Field(QStringLiteral("Keywords")).toString();
        }
    }
    QString html = kListEnd;
    for (const QString &name : groupNames(keywords))
        html += groupEntry(name);
    writeList(html);
}

QList<double> Sidebar::groupMembers(const QString &name) const
{
    QList<double> members;
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    if (rs.SetFilter(QStringLiteral("keywords LIKE '") + FilterText(kGroupPrefix + name) +
                     QLatin1Char('\'')))
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
            members << rs.Bookmark();
    rs.Close();
    return members;
}

void Sidebar::openGroup(const QString &name)
{
    if (name.isEmpty() || !m_ctx.stores || !m_ctx.stores->rsFavorites.State() || !m_ctx.reader)
        return;
    for (double b : groupMembers(name)) {
        LoadRequest r;
        r.source = LoadSource::Favorite;
        r.bookmark = b;
        (void)m_ctx.reader->queue.LoadDocument(r);
    }
}

void Sidebar::deleteGroup(const QString &name)
{
    if (name.isEmpty() || !m_ctx.stores || !m_ctx.stores->rsFavorites.State())
        return;
    (void)TrashFavorites(*m_ctx.stores, groupMembers(name));
    listGroups();
}

// ---------------------------------------------------------------------------------------------
// Open windows and the queue

void Sidebar::zShowWindows()
{
    if (!m_pane || !m_ctx.reader)
        return;
    WindowPool &pool = m_ctx.reader->pool;
    QString html;
    for (int i = 0; i < pool.slotCount(); ++i) {
        DocumentWindow *w = pool.window(i);
        if (!w || pool.state(i).isEmpty())
            continue;
        QString title = w->strDocumentTitle;
        if (title.isEmpty())
            title = w->msURL.isEmpty() ? QStringLiteral("(blank)") : w->msURL;
        html += windowEntry(
            i, title,
            WindowPool::styleFor(pool.state(i), w->bKeep, w->mbNext, i == m_ctx.giCurrentWindow));
    }
    m_pane->setInnerHTML(kMW, html);
}

void Sidebar::showWindowState(int slot, const WindowStyle &style)
{
    if (!m_pane)
        return;
    const QString id = QStringLiteral("K") + QString::number(slot);
    for (const auto &p : windowStyleProperties(style))
        m_pane->setStyle(id, p.first, p.second);
}

void Sidebar::setWindowTitle(int slot, const QString &title)
{
    if (m_pane)
        m_pane->setInnerText(QStringLiteral("K") + QString::number(slot),
                             title.isEmpty() ? QStringLiteral("(blank)") : title);
}

void Sidebar::queueListAdd(double bookmark, const QString &title)
{
    if (m_pane)
        m_pane->insertAdjacentHTML(kQueue, QStringLiteral("beforeEnd"),
                                   queueEntry(bookmark, title));
}

void Sidebar::queueListRemove(double bookmark)
{
    if (m_pane)
        m_pane->setOuterHTML(queueEntryId(bookmark), QString());
}

void Sidebar::queueListClear()
{
    if (m_pane)
        m_pane->setInnerHTML(kQueue, QString());
}

// ---------------------------------------------------------------------------------------------
// Headings and the check-links menu

void Sidebar::showHeadings()
{
    if (!m_pane)
        return;
    if (giHeadings == 0) {
        showView(kHeadings, false);
        if (topBar.markCell)
            topBar.markCell(QStringLiteral("m0"), false);
        return;
    }
    if (topBar.markCell)
        topBar.markCell(QStringLiteral("m0"), true);
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    if (!w || !w->brwWebBrowser) {
        m_pane->setInnerHTML(kHeadings, QStringLiteral("<hr>"));
        showView(kHeadings, true);
        return;
    }
    Document &doc = w->brwWebBrowser->document();
    const int query = ++m_headingsQuery;
    QPointer<Sidebar> self(this);
    doc.queryHeadings([self, query, &doc, w](const QList<HeadingInfo> &headings) {
        if (!self || query != self->m_headingsQuery || !self->m_pane || !self->m_ctx.reader ||
            self->m_ctx.reader->pool.current() != w)
            return;
        QString html;
        int unnamed = 0;
        for (const HeadingInfo &h : headings) {
            QString id = h.id;
            if (id.isEmpty()) {
                id = headingId(++unnamed);
                if (h.handle)
                    doc.setAttribute(ElementRef::fromHandle(h.handle), QStringLiteral("id"), id);
            }
            html += headingEntry(h.level, id, h.text.simplified());
        }
        self->m_pane->setInnerHTML(kHeadings, html + QStringLiteral("<hr>"));
        self->showView(kHeadings, true);
        Q_EMIT self->listWritten();
    });
}

void Sidebar::currentDocumentChanged()
{
    if (giHeadings != 0)
        showHeadings();
    if (mbShowPageInfo)
        zShowPageInfo();
}

void Sidebar::zShowPageInfo()
{
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    Document *doc = w ? w->DocumentObject() : nullptr;
    if (!doc) {
        writeList(QStringLiteral("No page is shown.<HR>"));
        return;
    }
    // The text a reader sees, not the source's: scripts and styles are no reading.
    QPointer<Sidebar> self(this);
    doc->queryBodyText([self, doc, w](const QString &text) {
        if (!self || !self->mbShowPageInfo || !self->m_ctx.reader ||
            self->m_ctx.reader->pool.current() != w || w->DocumentObject() != doc)
            return;
        const qsizetype characters = text.size();
        doc->queryCookie([self, doc, w, characters](const QString &cookie) {
            if (!self || !self->mbShowPageInfo || !self->m_ctx.reader ||
                self->m_ctx.reader->pool.current() != w || w->DocumentObject() != doc)
                return;
            self->writeList(PageInfo::html(doc->snapshot(), characters, cookie));
        });
    });
}

void Sidebar::showMenuHtml(const QString &html)
{
    if (!m_pane)
        return;
    m_pane->setInnerHTML(kMenu, html);
    showView(kMenu, true);
}

void Sidebar::showCheckLinksMenu()
{
    if (!m_pane)
        return;
    m_pane->setInnerHTML(kMenu, checkLinksMenu(bool(m_ctx.favoriteCommands.LinkCheck)));
    showView(kMenu, true);
    if (m_ctx.reader) {
        if (DocumentWindow *w = m_ctx.reader->pool.current(); w && w->brwWebBrowser) {
            w->bNavigateInOtherWindow = false;
            (void)w->navigateHere(ProgramPages::url(QStringLiteral("sklHelp.htm#LC")));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Events

void Sidebar::domEvent(const DomEvent &event)
{
    switch (event.type) {
    case DomEventType::Click:
        chDoc_onclick(event);
        break;
    case DomEventType::ContextMenu:
        chDoc_oncontextmenu(event);
        break;
    case DomEventType::KeyDown:
        chDoc_onkeydown(event);
        break;
    default:
        break;
    }
}

void Sidebar::chDoc_onclick(const DomEvent &event)
{
    const ElementSnapshot &src = event.source;
    if (const int slot = windowSlot(src.id); slot >= 0) {
        if (!m_ctx.reader)
            return;
        if (m_ctx.ui && m_ctx.ui->isKeyDown(Qt::Key_K))
            m_ctx.reader->pool.zKeepInMemory(slot, false);
        else
            m_ctx.reader->pool.ActivateWindow(slot);
        return;
    }
    if (!src.linkHref.isEmpty()) {
        if (src.linkHref.startsWith(QLatin1String("skl:X"), Qt::CaseInsensitive) && m_ctx.reader) {
            const bool here = event.modifiers & Qt::ControlModifier;
            (void)m_ctx.reader->queue.LoadDocument(src.linkHref.mid(5),
                                                   here ? LoadWhere::Here : LoadWhere::Background);
        }
        return; // other links go on to the pane's before-navigate
    }
    const QStringList classes = src.className.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (classes.contains(QLatin1String("qf")))
        listQuickFolder(src.text);
    else if (classes.contains(QLatin1String("gr")))
        openGroup(src.text.trimmed());
    else if (classes.contains(QLatin1String("H")))
        historyMenuClick(src);
}

// ---------------------------------------------------------------------------------------------
// The history page

const QString &Sidebar::noHistoryMessage()
{
    return kNoHistory;
}

bool Sidebar::historyShown() const
{
    return m_ctx.giHistoryPage == 1 || m_ctx.giHistoryPage == 2;
}

void Sidebar::zHistoryShow(int iSort, bool bNoFilter)
{
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    if (!w || !w->brwWebBrowser || !m_ctx.stores || !m_ctx.stores->rsHistory.State())
        return;
    m_ctx.giHistoryPage = 1;
    if (bNoFilter && topBar.setSearchBoxText)
        topBar.setSearchBoxText(QString());
    const QString text = boxText();
    const bool filtered = !bNoFilter && !text.isEmpty() && topBar.selectedTab &&
                          topBar.selectedTab() == kHistorySearchTab;
    if (m_pane) {
        m_pane->setInnerHTML(kMenu, HistoryPage::menuHtml(filtered));
        showView(kMenu, true);
    }
    // Its own cursor: the sidebar's history list and the recording keep theirs.
    Recordset rs = m_ctx.stores->rsHistory.Clone();
    if (filtered)
        (void)rs.SetFilter(HistoryPage::filterExpression(text));
    // A screenful comes as the page; the rest follows in a few large writes, which the page
    // takes once it is there. One page of thousands of records would reach it far slower.
    const QStringList parts = HistoryPage::pageParts(rs, iSort, 120, 2500);
    const QString more = QStringLiteral("HMore");
    w->writeProgramPage(parts.constFirst() +
                            (parts.size() > 1
                                 ? QStringLiteral("<span id=%1></span></body>").arg(more)
                                 : QStringLiteral("</body>")),
                        QStringLiteral("History.htm"), HistoryPage::kTitle);
    for (qsizetype i = 1; i < parts.size(); ++i)
        w->brwWebBrowser->document().insertAdjacentHTML(more, QStringLiteral("beforeBegin"),
                                                        parts.at(i));
    w->msWrittenPageStatus = QStringLiteral("History has ") + QString::number(rs.RecordCount()) +
                             QStringLiteral(" entries.");
    m_frame.SetStatusText(3, w->msWrittenPageStatus);
    // The sidebar lists the page's date or domain headings for quick jumps.
    giHeadings = giHeadings < 4 ? 2 : 4;
    xShowSidebarTab(QStringLiteral("m0"), 1);
}

void Sidebar::zHistoryDone()
{
    m_ctx.giHistoryPage = giHeadings >= 4 ? 4 : 0;
    showView(kMenu, false);
    xShowSidebarTab(QStringLiteral("m3"), 1);
}

void Sidebar::historyMenuClick(const ElementSnapshot &item)
{
    const QString text = item.text.trimmed();
    const int sort = int(HistoryPage::kSortLabels.indexOf(text));
    if (sort >= 0) {
        zHistoryShow(sort, false);
    } else if (text == HistoryPage::kShowAll) {
        if (topBar.setSearchBoxText)
            topBar.setSearchBoxText(QString());
        zHistoryShow(HistoryPage::ByDate, false);
    } else if (text == HistoryPage::kHideDescriptions || text == HistoryPage::kShowDescriptions) {
        const bool hide = text == HistoryPage::kHideDescriptions;
        if (m_pane)
            m_pane->setInnerText(item.ref(), hide ? HistoryPage::kShowDescriptions
                                                  : HistoryPage::kHideDescriptions);
        DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
        if (w && w->brwWebBrowser && historyShown()) {
            Document &doc = w->brwWebBrowser->document();
            doc.addCssRule(QStringLiteral(".HDesc"),
                           hide ? QStringLiteral("display:none") : QStringLiteral("display:block"));
            doc.addCssRule(QStringLiteral(".HShow"),
                           hide ? QStringLiteral("display:block") : QStringLiteral("display:none"));
        }
    }
}

void Sidebar::chDoc_oncontextmenu(const DomEvent &event)
{
    const ElementSnapshot &src = event.source;
    if (const int slot = windowSlot(src.id); slot >= 0) {
        showWindowMenu(slot);
        return;
    }
    if (src.linkHref.startsWith(QLatin1String("skl:L"), Qt::CaseInsensitive)) {
        bool ok = false;
        const double b = src.linkHref.mid(5).toDouble(&ok);
        if (!ok || !favoriteAt(b))
            return;
        m_popupBookmark = b;
        m_popupElement = src.linkHandle ? ElementRef::fromHandle(src.linkHandle)
                                        : ElementRef(QStringLiteral("B") + bookmarkText(b));
        Recordset &fav = m_ctx.stores->rsFavorites;
        const bool quick = fav.Field(QStringLiteral("bfFav")).toInt() == 1;
        const bool scheduled = fav.Field(QStringLiteral("Period")).toInt() > 0 ||
                               fav.Field(QStringLiteral("DayOfWeek")).toInt() > 0;
        m_frame.menuItem(QStringLiteral("mnuPopSB(2)"))->setVisible(quick);
        m_frame.menuItem(QStringLiteral("mnuPopSB(3)"))->setVisible(scheduled);
        popup(QStringLiteral("mnuPopSidebar"));
        return;
    }
    const QStringList classes = src.className.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    m_popupText = src.text.trimmed();
    m_popupElement = src.ref();
    if (classes.contains(QLatin1String("qf")))
        popup(QStringLiteral("cmQF_"));
    else if (classes.contains(QLatin1String("gr")))
        popup(QStringLiteral("cmGroups_"));
}

void Sidebar::chDoc_onkeydown(const DomEvent &event)
{
    if (!(event.modifiers & Qt::AltModifier))
        return;
    if (event.keyCode == 39)
        m_frame.setSidebarWidthTwips(m_frame.sidebarWidthTwips() + kResizeStepTwips);
    else if (event.keyCode == 37)
        m_frame.setSidebarWidthTwips(m_frame.sidebarWidthTwips() - kResizeStepTwips);
}

bool Sidebar::cWB_BeforeNavigate2(const QString &url)
{
    const std::optional<PaneCommand> cmd = parsePaneCommand(url);
    if (!cmd) {
        // Whatever is followed in the pane is read in a document window.
        if (m_ctx.reader && !url.isEmpty())
            (void)m_ctx.reader->queue.LoadDocument(url);
        return true;
    }
    switch (cmd->code.unicode()) {
    case 'H': {
        DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
        if (w && w->brwWebBrowser)
            w->brwWebBrowser->document().scrollIntoView(
                QUrl::fromPercentEncoding(cmd->argument.toUtf8()));
        m_frame.raise();
        m_frame.activateWindow();
        break;
    }
    case 'L': {
        bool ok = false;
        const double b = cmd->argument.toDouble(&ok);
        if (ok && m_ctx.reader) {
            LoadRequest r;
            r.source = LoadSource::Favorite;
            r.bookmark = b;
            (void)m_ctx.reader->queue.LoadDocument(r);
        }
        break;
    }
    case 'X':
        if (m_ctx.reader)
            (void)m_ctx.reader->queue.LoadDocument(cmd->argument);
        break;
    case 'Z':
        showView(kMenu, false);
        break;
    case 'A':
    case 'B':
    case 'C':
    case 'R':
    case 'S':
        if (m_ctx.favoriteCommands.LinkCheck)
            m_ctx.favoriteCommands.LinkCheck(QString(cmd->code));
        break;
    default:
        break;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Menus

void Sidebar::popup(const QString &menuName)
{
    if (QMenu *menu = m_frame.subMenu(menuName))
        menu->popup(QCursor::pos());
}

void Sidebar::showWindowMenu(int slot)
{
    if (!m_ctx.reader)
        return;
    m_windowMenu = std::make_unique<QMenu>();
    m_windowMenu->setObjectName(QStringLiteral("mhDivWin"));
    for (int i = 0; i <= 1; ++i) {
        QAction *model = m_frame.menuItem(QStringLiteral("mnuNav_Win(%1)").arg(i));
        QAction *a = m_windowMenu->addAction(model ? model->text() : QString());
        a->setObjectName(QStringLiteral("mnuNav_Win(%1)").arg(i));
        if (i == 1 && m_ctx.reader->pool.window(slot)) {
            a->setCheckable(true);
            a->setChecked(m_ctx.reader->pool.window(slot)->bKeep);
        }
        connect(a, &QAction::triggered, this, [this, i, slot] {
            if (m_ctx.reader)
                m_ctx.reader->pool.mnuNav_Win_Click(i, slot);
        });
    }
    m_windowMenu->popup(QCursor::pos());
}

bool Sidebar::favoriteAt(double bookmark)
{
    if (!m_ctx.stores || !m_ctx.stores->rsFavorites.State())
        return false;
    Recordset &fav = m_ctx.stores->rsFavorites;
    fav.ClearFilter();
    return fav.SetBookmark(bookmark);
}

void Sidebar::saveFavorites()
{
    if (m_ctx.stores)
        (void)SaveFavorites(*m_ctx.stores);
}

void Sidebar::mnuPopSB_Click(int index)
{
    if (index < 1 || index > 3 || !favoriteAt(m_popupBookmark))
        return;
    Recordset &fav = m_ctx.stores->rsFavorites;
    switch (index) {
    case 1:
        (void)MoveToTrash(fav);
        if (m_pane)
            m_pane->setOuterHTML(m_popupElement, QString());
        break;
    case 2:
        (void)fav.SetField(QStringLiteral("bfFav"), 0);
        break;
    case 3:
        (void)fav.SetField(QStringLiteral("Period"), 0);
        (void)fav.SetField(QStringLiteral("DayOfWeek"), 0);
        (void)fav.SetField(QStringLiteral("WeekOfMonth"), 0);
        break;
    }
    (void)fav.SetField(QStringLiteral("Selected"), 0);
    fav.Update();
    saveFavorites();
    // The entry no longer belongs to the list it was in.
    if ((index == 2 && m_listType == ListType::QuickLinks) ||
        (index == 3 && m_listType == ListType::Scheduled))
        SidebarLinks(ListType::Current);
}

void Sidebar::cmQF_Click(int index)
{
    if (!m_ctx.stores || m_popupText.isEmpty())
        return;
    Stores &st = *m_ctx.stores;
    if (index == 0) {
        // The current page goes into the folder as a new favorite.
        DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
        if (!w || w->msURL.isEmpty() || !st.rsFavorites.State())
            return;
        const DocumentSnapshot snap =
            w->brwWebBrowser ? w->brwWebBrowser->document().snapshot() : DocumentSnapshot();
        Recordset rs = st.rsFavorites.Clone();
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("Keywords"), m_popupText);
        (void)rs.SetField(QStringLiteral("Title"), w->strDocumentTitle);
        (void)rs.SetField(QStringLiteral("URL"), w->msURL);
        (void)rs.SetField(QStringLiteral("Description"), snap.metaDescription);
        (void)rs.SetField(QStringLiteral("DocKeywords"), snap.metaKeywords);
        (void)rs.SetField(QStringLiteral("DateCreated"), DateValue::now());
        rs.Update();
        rs.Close();
        saveFavorites();
        m_frame.SetStatusText(3, QStringLiteral("This page added to Quick Folder."));
    } else if (index == 1) {
        if (!st.rsOptions.State())
            return;
        Recordset rs = st.rsOptions.Clone();
        if (rs.SetFilter(QStringLiteral("key = 'qf'")) &&
            rs.Find(QStringLiteral("value = '") + FilterText(m_popupText) + QLatin1Char('\'')))
            (void)rs.Delete();
        rs.ClearFilter();
        if (!rs.Save())
            m_ctx.errorLog.LogError(rs.lastError(), QStringLiteral(" Saving Options"));
        rs.Close();
        if (m_pane)
            m_pane->setOuterHTML(m_popupElement, QString());
    }
}

void Sidebar::cmGroups_Click(int index)
{
    if (index != 0 || m_popupText.isEmpty())
        return;
    deleteGroup(m_popupText);
}
