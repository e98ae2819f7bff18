#include "favorites/frmFavAdd.h"

#include "favorites/FavoriteForm.h"
#include "platform/PageWriter.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/DateValue.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kPage = QStringLiteral("AddtoFavs.htm");
const QString kSelected = QStringLiteral("Selected = 1");
const QString kContext = QStringLiteral(" Favorite editor");
// A Selected value nothing else uses: it marks the one record being placed into the tree.
constexpr int kPlacingMark = 255;

// The page's links (the record navigation) are commands here, not places to go.
EventRule linkRule()
{
    EventRule links;
    links.selector = QStringLiteral("a");
    return links;
}

QUrl withoutQuery(const QUrl &url)
{
    return url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery);
}

} // namespace

frmFavAdd::frmFavAdd(AppContext &ctx, int mode, Hooks hooks, const QString &keywords,
                     QWidget *parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_mode(mode), m_hooks(std::move(hooks)),
      m_keywords(keywords), m_pageUrl(ProgramPages::url(kPage)), FavAddTV(new QTreeWidget),
      m_tree(FavAddTV)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(
        QStringLiteral("Add to Favorites - All fields except title and URL are optional."));
    // Keys belong to the form while it loads, so a single-key command cannot fire meanwhile.
    setProgramFieldFocused(m_ctx, true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *menuBar = new QMenuBar(this);
    mnuActions = menuBar->addMenu(QStringLiteral("Actions"));
    mnuActions->setObjectName(QStringLiteral("mnuActions"));
    const char *const captions[] = {"First Record", "Previous Record", "Next Record",
                                    "Last Record"};
    for (int i = 0; i < 4; ++i) {
        QAction *a = mnuActions->addAction(QString::fromLatin1(captions[i]));
        a->setObjectName(QStringLiteral("mnuAct%1").arg(i));
        connect(a, &QAction::triggered, this, [this, i] { mnuAct_Click(i); });
    }
    layout->setMenuBar(menuBar);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(splitter);
    FavAddTV->setObjectName(QStringLiteral("FavAddTV"));
    FavAddTV->setHeaderHidden(true);
    connect(FavAddTV, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *node) { NodeClick(node); });

    if (m_ctx.stores)
        m_rs = m_ctx.stores->rsFavorites.Clone();
    const QString path = m_ctx.pagePath(kPage);
    if (m_ctx.browsers && m_ctx.stores && QFileInfo::exists(path))
        m_control = m_ctx.browsers->createControl();
    if (!m_control) {
        const QString shown = QDir::toNativeSeparators(path);
        if (m_ctx.ui)
            (void)m_ctx.ui->messageBox(QStringLiteral("Error: Missing ") + shown +
                                           QStringLiteral(". Cannot load Add to Favorites form. "),
                                       QStringLiteral("Add to Favorites"));
        m_ctx.errorLog.LogError(QStringLiteral("Missing ") + shown, kContext);
        close();
        return;
    }
    (void)m_rs.SetSort(QLatin1String(StoreOrder::FavoritesOrder));
    m_control->setListener(this);
    page().setListener(this);
    page().setEventRules({linkRule()});
    splitter->addWidget(m_control->widget());
    splitter->addWidget(FavAddTV);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    resize(900, 560);
    // The engine's view asks for no width of its own: without sizes the tree takes it all.
    splitter->setSizes({660, 240});
    (void)m_control->navigate(m_pageUrl);
    show();
}

frmFavAdd::~frmFavAdd()
{
    if (m_control) {
        m_control->setListener(nullptr);
        page().setListener(nullptr);
    }
    if (!m_closed)
        setProgramFieldFocused(m_ctx, false);
}

// ---------------------------------------------------------------------------------------------
// Loading

bool frmFavAdd::beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info)
{
    return info.isTopFrame && withoutQuery(info.url) != withoutQuery(m_pageUrl);
}

void frmFavAdd::documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame)
{
    if (isTopFrame && !m_loaded && !m_closed && withoutQuery(url) == withoutQuery(m_pageUrl))
        pageComplete();
}

void frmFavAdd::pageComplete()
{
    m_loaded = true;
    if (m_hooks.attachKeywordsDropDown) {
        QStringList entries;
        Recordset rs = sortedFavorites();
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            const QString k = rs.Field(QStringLiteral("Keywords")).toString().trimmed();
            if (!k.isEmpty())
                entries << k;
        }
        entries.removeDuplicates();
        const Hooks::DropDown dropDown =
            m_hooks.attachKeywordsDropDown(*this, *m_control, QStringLiteral("keywords"), entries);
        m_keywordsDropDown = dropDown.domEvent;
        page().setEventRules(QList<EventRule>{linkRule()} + dropDown.rules);
    }
    if (m_mode == 1) {
        EditMode();
        return;
    }
    page().setStyle(QStringLiteral("cb3"), QStringLiteral("display"), QStringLiteral("none"));
    page().setStyle(QStringLiteral("RecNav"), QStringLiteral("display"), QStringLiteral("none"));
    mnuActions->menuAction()->setVisible(false);
    Recordset all = sortedFavorites();
    BuildFavoritesTree(m_tree, all, 1);
    m_bookmark = 0;
    if (!m_keywords.isEmpty())
        page().setValue(QStringLiteral("keywords"), m_keywords);
    fillFromActiveWindow();
}

void frmFavAdd::fillFromActiveWindow()
{
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    AppContext::FormCapture &capture = m_ctx.formCapture;
    if (w)
        page().setValue(QStringLiteral("title"), w->strDocumentTitle);
    if (m_mode == 3)
        page().setChecked(QStringLiteral("ap1"), true);
    bool urlLater = false;
    if (capture.pending) {
        page().setValue(QStringLiteral("url"), capture.url);
    } else if (w && m_mode == 3 && w->brwWebBrowser) {
        urlLater = true;
        QPointer<frmFavAdd> self(this);
        w->brwWebBrowser->document().queryElement(
            QStringLiteral("skl-atf"), [self](const std::optional<ElementSnapshot> &link) {
                if (!self || self->m_closed)
                    return;
                if (link)
                    self->page().setValue(QStringLiteral("url"),
                                          link->linkHref.isEmpty() ? link->href : link->linkHref);
                self->markReady();
            });
    } else if (w) {
        page().setValue(QStringLiteral("url"), w->msURL);
    }
    if (w && w->brwWebBrowser) {
        const DocumentSnapshot snap = w->brwWebBrowser->document().snapshot();
        page().setValue(QStringLiteral("description"), snap.metaDescription);
        page().setValue(QStringLiteral("dockeywords"), snap.metaKeywords);
    }
    if (capture.pending) {
        page().setValue(QStringLiteral("postdata"), PostDataText(capture.postData));
        m_headers = capture.headers;
        m_extra = capture.page;
        capture = AppContext::FormCapture{};
    }
    page().focus(QStringLiteral("keywords"));
    if (!urlLater)
        markReady();
}

void frmFavAdd::markReady()
{
    // Writes land in order before a later query answers: ready once the filling is in the page.
    QPointer<frmFavAdd> self(this);
    page().queryElement(ElementRef(), [self](const auto &) {
        if (!self || self->m_ready || self->m_closed)
            return;
        self->m_ready = true;
        Q_EMIT self->ready();
    });
}

void frmFavAdd::EditMode()
{
    if (!m_rs.SetFilter(kSelected) || m_rs.RecordCount() == 0) {
        if (m_ctx.ui)
            (void)m_ctx.ui->messageBox(QStringLiteral("No records have been selected to edit."),
                                       QStringLiteral("Add to Favorites"));
        close();
        return;
    }
    m_editMode = true;
    BuildFavoritesTree(m_tree, m_rs, 0);
    (void)m_rs.SetFilter(kSelected);
    page().setStyle(QStringLiteral("RecNav"), QStringLiteral("display"),
                    m_rs.RecordCount() >= 2 ? QStringLiteral("block") : QStringLiteral("none"));
    m_rs.MoveFirst();
    ReadRecordIntoForm();
    SyncTV();
    markReady();
}

// ---------------------------------------------------------------------------------------------
// Form and record

void frmFavAdd::ReadRecordIntoForm()
{
    unhighlight();
    const FavoriteFormValues form = FormFromRecord(m_rs);
    WriteFormToPage(form, page());
    page().setStyle(QStringLiteral("cb3"), QStringLiteral("display"), QString());
    m_headers = form.headers;
    m_extra = form.extra;
    page().setInnerHTML(QStringLiteral("AdditionalInfo"), AdditionalInfoHtml(m_rs));
    m_bookmark = m_rs.Bookmark();
    m_current = m_bookmark;
}

bool frmFavAdd::ReadFormIntoRecord(const FavoriteFormValues &form)
{
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    if (m_bookmark == 0) {
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("DateCreated"), DateValue::now());
        (void)rs.SetField(QStringLiteral("Selected"), 4);
    } else if (!rs.SetBookmark(m_bookmark)) {
        m_ctx.errorLog.LogError(QStringLiteral("The favorite being edited is gone"), kContext);
        return false;
    }
    FavoriteFormValues values = form;
    values.headers = m_headers;
    values.extra = m_extra;
    const QStringList refused = WriteFormToRecord(values, rs);
    rs.Update();
    m_bookmark = rs.Bookmark();
    placeInTree(m_bookmark);
    saveStore();
    if (!refused.isEmpty()) {
        // What the store would not take must not vanish unnoticed.
        const QString text = QStringLiteral("Not saved: ") + refused.join(QStringLiteral("; "));
        m_ctx.errorLog.LogError(text, kContext);
        if (m_ctx.ui)
            (void)m_ctx.ui->messageBox(text, QStringLiteral("Add to Favorites"), MessageButtons::Ok,
                                       MessageIcon::Warning);
    }
    return true;
}

void frmFavAdd::ClearForm()
{
    unhighlight();
    m_headers.clear();
    // The captured page's address belongs to the favorite just saved, not to the next one.
    m_extra.clear();
    m_bookmark = 0;
    page().setStyle(QStringLiteral("cb3"), QStringLiteral("display"), QStringLiteral("none"));
    // The page's defaults are those of an empty favorite.
    WriteFormToPage(FavoriteFormValues{}, page());
    page().setInnerHTML(QStringLiteral("AdditionalInfo"), QString());
    page().focus(QStringLiteral("keywords"));
}

void frmFavAdd::SyncTV()
{
    m_bookmark = m_rs.Bookmark();
    if (QTreeWidgetItem *node = m_tree.node(FavoritesTree::linkKey(m_bookmark))) {
        FavAddTV->setCurrentItem(node);
        FavAddTV->scrollToItem(node);
    }
}

void frmFavAdd::unhighlight()
{
    if (QTreeWidgetItem *node = m_tree.node(FavoritesTree::linkKey(m_bookmark)))
        node->setSelected(false);
}

void frmFavAdd::placeInTree(double bookmark)
{
    m_tree.remove(m_tree.node(FavoritesTree::linkKey(bookmark)));
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    if (!rs.SetBookmark(bookmark))
        return;
    // Only this record is placed: another mark than 4 keeps the records of other windows out.
    const QVariant mark = rs.Field(QStringLiteral("Selected"));
    (void)rs.SetField(QStringLiteral("Selected"), kPlacingMark);
    rs.Update();
    AddMarkedRecordsToTree(m_tree, rs, kPlacingMark);
    if (rs.SetBookmark(bookmark)) {
        (void)rs.SetField(QStringLiteral("Selected"), mark);
        rs.Update();
    }
}

void frmFavAdd::saveStore()
{
    // Written at once, so a crash never loses an edit.
    (void)SaveFavorites(*m_ctx.stores);
}

Recordset frmFavAdd::sortedFavorites() const
{
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    (void)rs.SetSort(QLatin1String(StoreOrder::FavoritesOrder));
    return rs;
}

void frmFavAdd::withForm(std::function<void(const FavoriteFormValues &)> then)
{
    if (!m_loaded || m_reading || m_closed)
        return;
    m_reading = true;
    QPointer<frmFavAdd> self(this);
    page().querySelectorAll(QStringLiteral("input, textarea"),
                            [self, then = std::move(then)](const QList<ElementSnapshot> &fields) {
                                if (!self)
                                    return;
                                self->m_reading = false;
                                if (!self->m_closed && !fields.isEmpty())
                                    then(FormFromPage(fields));
                            });
}

bool frmFavAdd::reselectEdited()
{
    (void)m_rs.SetFilter(kSelected);
    if (m_rs.RecordCount() == 0)
        return false;
    if (m_current != 0)
        (void)m_rs.SetBookmark(m_current);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Commands

void frmFavAdd::mnuAct_Click(int index)
{
    if (!m_editMode)
        return;
    if (!reselectEdited()) {
        close();
        return;
    }
    withForm([this, index](const FavoriteFormValues &form) {
        (void)ReadFormIntoRecord(form);
        if (!reselectEdited()) {
            close();
            return;
        }
        switch (index) {
        case 0:
            m_rs.MoveFirst();
            break;
        case 1:
            m_rs.MovePrevious();
            if (m_rs.isBOF())
                m_rs.MoveFirst();
            break;
        case 2:
            m_rs.MoveNext();
            if (m_rs.isEOF())
                m_rs.MoveLast();
            break;
        default:
            m_rs.MoveLast();
            break;
        }
        ReadRecordIntoForm();
        SyncTV();
    });
}

void frmFavAdd::command(int number)
{
    switch (number) {
    case 0:
        withForm([this](const FavoriteFormValues &form) {
            (void)ReadFormIntoRecord(form);
            close();
        });
        break;
    case 1:
        close();
        break;
    case 2:
        withForm([this](const FavoriteFormValues &form) {
            (void)ReadFormIntoRecord(form);
            ClearForm();
        });
        break;
    case 3:
        if (m_editMode && m_bookmark != 0)
            withForm([this](const FavoriteFormValues &form) { deleteRecord(form.keywords); });
        break;
    case 4:
    case 5:
        showFeedFolders(number == 4);
        break;
    default:
        break;
    }
}

void frmFavAdd::deleteRecord(const QString &keywords)
{
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    if (!rs.SetBookmark(m_bookmark))
        return;
    // The neighbour takes the deleted record's place; after the last one, the new last.
    const int position = reselectEdited() ? m_rs.AbsolutePosition() : 1;
    m_tree.remove(m_tree.node(FavoritesTree::linkKey(m_bookmark)));
    (void)rs.SetField(QStringLiteral("Keywords"), kTrashFolder + keywords);
    (void)rs.SetField(QStringLiteral("Selected"), 0);
    rs.Update();
    saveStore();
    (void)m_rs.SetFilter(kSelected);
    const int left = m_rs.RecordCount();
    if (left == 0) {
        close();
        return;
    }
    (void)m_rs.SetAbsolutePosition(std::clamp(position, 1, left));
    if (left < 2)
        page().setStyle(QStringLiteral("RecNav"), QStringLiteral("display"),
                        QStringLiteral("none"));
    ReadRecordIntoForm();
    SyncTV();
}

void frmFavAdd::showFeedFolders(bool feedsOnly)
{
    Recordset rs = sortedFavorites();
    if (feedsOnly)
        (void)rs.SetFilter(QStringLiteral("bfFav > 1"));
    BuildFavoritesTree(m_tree, rs, 1);
    page().setStyle(QStringLiteral("cb4"), QStringLiteral("display"),
                    feedsOnly ? QStringLiteral("none") : QString());
    page().setStyle(QStringLiteral("cb5"), QStringLiteral("display"),
                    feedsOnly ? QString() : QStringLiteral("none"));
}

void frmFavAdd::NodeClick(QTreeWidgetItem *node)
{
    if (!m_loaded || !node || m_closed)
        return;
    if (!m_editMode) {
        if (FavoritesTree::isFolder(node)) {
            page().setValue(QStringLiteral("keywords"), NodeFolderPath(node));
            page().focus(QStringLiteral("keywords"));
        }
        return;
    }
    if (FavoritesTree::isFolder(node))
        return;
    const double target = FavoritesTree::key(node).mid(1).toDouble();
    withForm([this, target](const FavoriteFormValues &form) {
        (void)ReadFormIntoRecord(form);
        if (!reselectEdited()) {
            close();
            return;
        }
        // A record that is not among the edited ones (one added here) stays where it is.
        (void)m_rs.SetBookmark(target);
        ReadRecordIntoForm();
        SyncTV();
    });
}

// ---------------------------------------------------------------------------------------------
// Page events

void frmFavAdd::domEvent(const DomEvent &event)
{
    if (!m_loaded || m_closed)
        return;
    if (m_keywordsDropDown && m_keywordsDropDown(event))
        return;
    const ElementSnapshot &e = event.source;
    const QString tag = e.tagName;
    const bool field = tag == QLatin1String("INPUT") || tag == QLatin1String("TEXTAREA") ||
                       tag == QLatin1String("SELECT");
    switch (event.type) {
    case DomEventType::Click: { // Doc_onclick
        bool ok = false;
        const int number = e.id.mid(2).toInt(&ok);
        if (!ok)
            return;
        if (e.id.startsWith(QLatin1String("cb")))
            command(number);
        else if (e.id.startsWith(QLatin1String("RN")) && number >= 0 && number <= 3)
            mnuAct_Click(number);
        break;
    }
    case DomEventType::DblClick: // Doc_ondblclick
        if (tag == QLatin1String("TEXTAREA") ||
            (tag == QLatin1String("INPUT") && e.type == QLatin1String("text")))
            page().setValue(e.ref(), QString());
        break;
    case DomEventType::FocusIn: // Doc_onfocusin
        if (field)
            setProgramFieldFocused(m_ctx, true);
        break;
    case DomEventType::FocusOut: // Doc_onfocusout
        if (field)
            setProgramFieldFocused(m_ctx, false);
        break;
    default:
        break;
    }
}

void frmFavAdd::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        if (m_rs.State())
            m_rs.Update();
        if (m_ctx.stores) {
            Recordset rs = m_ctx.stores->rsFavorites.Clone();
            ClearSelection(rs);
        }
        if (m_hooks.closed)
            m_hooks.closed();
        if (m_ctx.reader)
            m_ctx.reader->host.setStatusText(3, QString());
        setProgramFieldFocused(m_ctx, false);
    }
    QWidget::closeEvent(event);
}
