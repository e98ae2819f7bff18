#pragma once

#include "platform/Document.h"
#include "store/Recordset.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class MDIForm1;
class QMenu;
struct AppContext;
struct WindowStyle;

// Writes a long list into an element piece by piece: the first screenful at once, the rest in
// slices of a few milliseconds each, so the frame stays responsive while thousands of entries
// go into the pane. Starting a new list, or cancel(), drops the one under way.
class ListFeed : public QObject
{
    Q_OBJECT
public:
    // Appends the next entry's markup to html; false once there is none left.
    using Next = std::function<bool(QString &html)>;

    ListFeed() = default;
    void start(Document &doc, const ElementRef &target, Next next, const QString &tail,
               std::function<void()> finished = {});
    void cancel();
    bool running() const { return bool(m_next); }

    int firstEntries = 60; // a screenful
    int sliceMs = 8;       // work per later turn of the event loop
    // Entries made while the page takes in the last write, at most (characters).
    int maxPendingBytes = 1 << 18;
    static constexpr int kEntryHeightPx = 17;

private:
    void slice();
    void sent();
    void pump();
    void finish();
    void flush();
    QString takePending();
    int fill(QString &html, int maxEntries, int maxMs);

    Document *m_doc = nullptr;
    int m_inFlight = 0;
    bool m_scheduled = false;
    QString m_pending;
    int m_pendingEntries = 0;
    ElementRef m_target;
    Next m_next;
    QString m_tail;
    std::function<void()> m_finished;
    quint64 m_generation = 0;
};

// Everything the sidebar pane shows and does: the tabs' views, the link lists, the headings of
// the current page, the open windows and the queue, its clicks, link commands and menus.
class Sidebar : public QObject
{
    Q_OBJECT
public:
    // The "menu" element's text, shown (the link checker's menus).
    void showMenuHtml(const QString &html);
    Sidebar(AppContext &ctx, MDIForm1 &frame);
    ~Sidebar() override;

    // The lists go into this page from now on.
    void attach(Document &pane);
    // Its page is complete: the start-up view (Quick Links and the open windows).
    void paneReady();
    Document *pane() const { return m_pane; }

    // What the sidebar reads and marks in the top bar.
    struct TopBar
    {
        std::function<QString()> searchBoxText;
        std::function<void(const QString &)> setSearchBoxText;
        // Gives or takes the selected look of a cell of the top bar.
        std::function<void(const QString &cellId, bool selected)> markCell;
        // The selected search tab (4: history).
        std::function<int()> selectedTab;
    } topBar;

    void xShowSidebarTab(const QString &sNewMenuItem, int iFlag);
    void SidebarLinks(int iFilterType);
    void zShowWindows();
    // One window's entry: its colours, or its title.
    void showWindowState(int slot, const WindowStyle &style);
    void setWindowTitle(int slot, const QString &title);
    // The queue list "qul".
    void queueListAdd(double bookmark, const QString &title);
    void queueListRemove(double bookmark);
    void queueListClear();
    // The current window's page changed or another window became current: the headings tab
    // follows it while it is on.
    void currentDocumentChanged();
    // The page information of the current window into the list (tab m7).
    void zShowPageInfo();
    bool pageInfoShown() const { return mbShowPageInfo; }

    // The pane's DOM events and its before-navigate (true: cancel).
    void domEvent(const DomEvent &event);
    void chDoc_onclick(const DomEvent &event);
    void chDoc_oncontextmenu(const DomEvent &event);
    void chDoc_onkeydown(const DomEvent &event);
    bool cWB_BeforeNavigate2(const QString &url);
    // The rules that keep the pane's own default actions from running where the program acts.
    static QList<EventRule> eventRules();

    // Popup commands.
    void mnuPopSB_Click(int index);
    void cmQF_Click(int index);
    void cmGroups_Click(int index);
    // Window groups of the favorites: list them in the sidebar, open one, delete one.
    void listGroups();
    void openGroup(const QString &name);
    void deleteGroup(const QString &name);
    // The favorites of a quick folder, listed in the sidebar.
    void listQuickFolder(const QString &folder);

    // The history page in the active window and its menu here; iSort: HistoryPage::Sort.
    void zHistoryShow(int iSort, bool bNoFilter);
    // Another page replaced the history page.
    void zHistoryDone();
    // The history page is the active window's page (just written or shown).
    bool historyShown() const;
    // An item of the history menu (class "H").
    void historyMenuClick(const ElementSnapshot &item);
    static const QString &noHistoryMessage();

    // Alt+Left / Alt+Right: the sidebar's width changes by this many twips.
    static constexpr int kResizeStepTwips = 50;

    // The headings switch: 0 off; any other value builds the headings list.
    int giHeadings = 0;
    int listType() const { return m_listType; }
    QString msIdSidebarLinks;
    bool mbShowPageInfo = false;
    QString mhchElem;

    // A list finished going into the pane (benchmarks and tests wait for it).
    Q_SIGNAL void listWritten();

private:
    // The bookmarks of the favorites in the window group of that name.
    QList<double> groupMembers(const QString &name) const;
    void showView(const QString &id, bool show);
    void showHeadings();
    void showCheckLinksMenu();
    void writeFavorites(Recordset rs, const QString &filter, const QString &sort);
    void writeList(const QString &html);
    QString boxText() const;
    void popup(const QString &menuName);
    void showWindowMenu(int slot);
    bool favoriteAt(double bookmark);
    void saveFavorites();

    AppContext &m_ctx;
    MDIForm1 &m_frame;
    Document *m_pane = nullptr;
    QPointer<QObject> m_paneGuard;
    ListFeed m_feed;
    Recordset m_listCursor; // the cursor a long list is read from while it is written
    int m_listType = 0;
    int m_headingsQuery = 0;
    // What the last right click was on.
    double m_popupBookmark = 0;
    ElementRef m_popupElement;
    QString m_popupText;
    std::unique_ptr<QMenu> m_windowMenu;
};
