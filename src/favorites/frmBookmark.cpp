#include "favorites/frmBookmark.h"

#include "platform/PageWriter.h"
#include "reader/AppContext.h"
#include "reader/LoadingQueue.h"
#include "reader/Reader.h"
#include "store/DateValue.h"
#include "store/Stores.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcut>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QColor kYellow(255, 255, 0);
// The node key of a link dragged inside the tree.
const QString kDragFormat = QStringLiteral("application/x-skimline-favorite-node");
const QColor kCyan(0, 255, 255);

struct Command
{
    int number;
    const char *caption;
    const char *shortcut;
};

// The Actions menu; 0..2 are the views' too and live in the Show menu.
const Command kActions[] = {
    {3, "Copy", "F5"},
    {4, "Move", "F6"},
    {5, "Edit", "F7"},
    {6, "Cancel Selection", "F8"},
    {7, "Delete", "F12"},
    {8, "New Favorite", "F9"},
    {9, "New Folder", "F11"},
    {10, "Undo Last Delete", "Ctrl+F12"},
    {11, "Close                                               Esc", ""},
};

const Command kViews[] = {
    {0, "Select Organize Mode", "F2"},
    {1, "Show Quick Links", ""},
    {2, "Show All", "F3"},
    {3, "Show 1st Level", "F4"},
    {4, "Show Scheduled Links", ""},
    {5, "Show Local Links to Files on your Computer", ""},
    {6, "Show RSS Feeds", "Ctrl+F4"},
};

const char *const kPopup[] = {
    "Rename",
    "Edit",
    "Delete",
    "New Favorite",
    "Move Selected Links Here",
    "Copy Selected Links Here",
    "New Folder - Create Here and Move or Copy Selected Links to New Folder",
    "Add Folder to Quick Folder List",
};

double bookmarkOf(const QTreeWidgetItem *node)
{
    return FavoritesTree::key(node).mid(1).toDouble();
}

bool isLink(const QTreeWidgetItem *node)
{
    return FavoritesTree::key(node).startsWith(QLatin1Char('L'));
}

QColor backColor(const QTreeWidgetItem *node)
{
    const QBrush b = node->background(0);
    return b.style() == Qt::NoBrush ? QColor(Qt::white) : b.color();
}

// The navigation keys the page hands to the tree (their DOM key codes).
int treeKeyFor(int keyCode)
{
    switch (keyCode) {
    case 33:
        return Qt::Key_PageUp;
    case 34:
        return Qt::Key_PageDown;
    case 35:
        return Qt::Key_End;
    case 36:
        return Qt::Key_Home;
    case 38:
        return Qt::Key_Up;
    case 40:
        return Qt::Key_Down;
    default:
        return 0;
    }
}

} // namespace

frmBookmark::frmBookmark(AppContext &ctx, State mode, Hooks hooks, QWidget *parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_hooks(std::move(hooks)), m_view(new QTreeWidget),
      m_tree(m_view), m_state(mode), m_openMode(mode)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Favorites"));
    resize(760, 600);
    m_saveTimer.setSingleShot(true);
    // An edit is on the disk within a second, its write included.
    m_saveTimer.setInterval(500);
    connect(&m_saveTimer, &QTimer::timeout, this, &frmBookmark::save);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *split = new QSplitter(this);
    layout->addWidget(split);
    m_view->setHeaderHidden(true);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setUniformRowHeights(true); // 10,000 rows lay out without measuring each
    m_view->setContextMenuPolicy(Qt::PreventContextMenu);
    m_view->viewport()->installEventFilter(this);
    m_view->viewport()->setAcceptDrops(true);
    split->addWidget(m_view);
    connect(m_view, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        // Ctrl and Shift clicks have their own handlers on press and release.
        if (!(QGuiApplication::keyboardModifiers() & (Qt::ControlModifier | Qt::ShiftModifier)))
            NodeClick(item);
    });
    connect(m_view->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        QTreeWidgetItem *node = m_editing;
        m_editing = nullptr;
        if (node)
            AfterLabelEdit(node, node->text(0));
    });
    buildMenus();

    FavoritesTree::folderCounter = 20000;
    if (ctx.stores && ctx.stores->rsFavorites.State()) {
        m_rs = ctx.stores->rsFavorites.Clone();
        (void)m_rs.SetSort(QStringLiteral("Keywords, Title"));
    }
    rebuild();

    if (ctx.browsers)
        m_page = ctx.browsers->createControl();
    if (m_page) {
        m_page->setListener(this);
        m_page->document().setListener(this);
        QList<EventRule> rules;
        for (int code : {33, 34, 35, 36, 38, 40}) {
            EventRule r;
            r.type = DomEventType::KeyDown;
            r.keyCode = code;
            rules << r;
        }
        m_page->document().setEventRules(rules);
        split->addWidget(m_page->widget());
        (void)m_page->navigate(ProgramPages::url(QStringLiteral("frmBookmarks.htm")));
    }
    split->setSizes({460, 300});
}

frmBookmark::~frmBookmark()
{
    if (m_page) {
        m_page->setListener(nullptr);
        m_page->document().setListener(nullptr);
    }
}

void frmBookmark::buildMenus()
{
    auto *bar = new QMenuBar(this);
    layout()->setMenuBar(bar);
    QMenu *actions = bar->addMenu(QStringLiteral("&Actions"));
    QMenu *show = bar->addMenu(QStringLiteral("&Show"));
    QAction *add = bar->addAction(QStringLiteral("Add to Favorites"));
    add->setObjectName(QStringLiteral("mnuFavAdd"));
    add->setEnabled(bool(m_hooks.openEditor));
    connect(add, &QAction::triggered, this, [this] { runCommand(8); });
    for (const Command &c : kViews) {
        QAction *a = show->addAction(QString::fromUtf8(c.caption));
        a->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
        const int view = c.number;
        connect(a, &QAction::triggered, this, [this, view] { showView(view); });
        m_views << a;
    }
    m_actions.resize(12);
    for (const Command &c : kActions) {
        QAction *a = actions->addAction(QString::fromUtf8(c.caption));
        a->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
        const int number = c.number;
        connect(a, &QAction::triggered, this, [this, number] { runCommand(number); });
        m_actions[number] = a;
        // Delete, New Favorite and Close from the start; the rest when there is work for them.
        a->setVisible(number == 7 || number == 8 || number == 11 || number == 10);
    }
    m_actions[10]->setEnabled(false);
    if (!m_hooks.openEditor) {
        for (QAction *a : {m_actions[5], m_actions[8]}) {
            a->setEnabled(false);
            a->setToolTip(a->text() +
                          QStringLiteral(": the favorite editor is not in the program yet"));
        }
        actions->setToolTipsVisible(true);
    }
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, [this] {
        if (m_editing)
            m_view->setFocus(); // ends the label edit; the window stays
        else
            runCommand(11);
    });

    m_popup = new QMenu(this);
    for (int i = 0; i < 8; ++i) {
        QAction *a = m_popup->addAction(QString::fromUtf8(kPopup[i]));
        a->setVisible(i <= 2);
        m_popupItems << a;
    }
    if (!m_hooks.openEditor) {
        m_popupItems[1]->setEnabled(false);
        m_popupItems[3]->setEnabled(false);
    }
}

QAction *frmBookmark::actionItem(int number) const
{
    return m_actions.value(number);
}

QAction *frmBookmark::viewItem(int view) const
{
    return m_views.value(view);
}

QAction *frmBookmark::popupItem(int index) const
{
    return m_popupItems.value(index);
}

void frmBookmark::rebuild()
{
    if (!m_rs.State()) {
        m_tree.clear();
        return;
    }
    const QString filter = m_lastFilter;
    if (!filter.isEmpty())
        (void)m_rs.SetFilter(filter);
    BuildFavoritesTree(m_tree, m_rs, 0);
}

// ---------------------------------------------------------------------------------- the page

bool frmBookmark::beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info)
{
    return !info.isTopFrame || info.url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) !=
                                   ProgramPages::url(QStringLiteral("frmBookmarks.htm"));
}

void frmBookmark::documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame)
{
    if (!isTopFrame || m_ready ||
        url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) !=
            ProgramPages::url(QStringLiteral("frmBookmarks.htm")))
        return;
    for (int i = 3; i <= 10; ++i)
        setButton(i, false);
    if (m_openMode == DownloadMode)
        zOrganizeModeDownload();
    else
        zOrganizeModeSelect();
    m_ready = true;
    Q_EMIT ready();
}

void frmBookmark::domEvent(const DomEvent &event)
{
    const QString id = event.source.id;
    switch (event.type) {
    case DomEventType::Click:
        if (id.startsWith(QLatin1String("cb"))) {
            bool ok = false;
            const int number = id.mid(2).toInt(&ok);
            if (!ok)
                return;
            if (number == 1 || number == 2)
                showView(number + 1); // the buttons' views: Show All, Show 1st Level
            else
                runCommand(number);
        }
        return;
    case DomEventType::FocusIn:
        if (id == QLatin1String("tbxFilter")) {
            setProgramFieldFocused(m_ctx, true);
            m_page->document().setValue(id, QString());
        }
        return;
    case DomEventType::FocusOut:
        if (id == QLatin1String("tbxFilter"))
            setProgramFieldFocused(m_ctx, false);
        return;
    case DomEventType::KeyUp:
        // The value holds the key's character only once it is up.
        if (id == QLatin1String("tbxFilter") && event.source.value != m_lastFilterText)
            ApplyTextFilter(event.source.value);
        return;
    case DomEventType::KeyDown:
        if (const int key = treeKeyFor(event.keyCode)) {
            m_view->setFocus();
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
            QCoreApplication::sendEvent(m_view, &press);
            QCoreApplication::sendEvent(m_view, &release);
        }
        return;
    default:
        return;
    }
}

void frmBookmark::setInstruction(const QString &text)
{
    if (m_page)
        m_page->document().setInnerText(QStringLiteral("dm"), text);
    Q_EMIT instruction(text);
}

void frmBookmark::setButton(int number, bool enabled)
{
    if (!m_page)
        return;
    if (!m_hooks.openEditor && (number == 5 || number == 8))
        enabled = false;
    m_page->document().setAttribute(QStringLiteral("cb") + QString::number(number),
                                    QStringLiteral("disabled"),
                                    enabled ? QString() : QStringLiteral("disabled"));
}

// --------------------------------------------------------------------------------- the modes

void frmBookmark::zOrganizeModeSelect()
{
    m_state = OrganizeMode;
    CancelSelection(3);
    const QString other = QStringLiteral("Select Download Mode");
    if (m_page)
        m_page->document().setInnerText(QStringLiteral("cb0"), other);
    m_views[0]->setText(other);
    setWindowTitle(QStringLiteral("Favorites - Organize Mode"));
    setInstruction(QStringLiteral(
        "Click links or folders to select. Clicking a folder will select all links in that "
        "folder, but not subfolders. Ctrl+clicking a folder will select all links in that folder "
        "and all subfolders."));
}

void frmBookmark::zOrganizeModeDownload()
{
    m_state = DownloadMode;
    CancelSelection(1);
    const QString other = QStringLiteral("Select Organize Mode");
    if (m_page)
        m_page->document().setInnerText(QStringLiteral("cb0"), other);
    m_views[0]->setText(other);
    setWindowTitle(QStringLiteral("Favorites - Download Mode"));
    setInstruction(QStringLiteral(
        "Click on any number of links to download in separate browser windows. Click a folder "
        "to download all the links in that folder. CTRL+click a folder to download all links in "
        "that folder and all subfolders."));
    EnableOrganizeCommands(false);
}

void frmBookmark::EnableOrganizeCommands(bool enable)
{
    for (int i = 3; i <= 7; ++i) {
        setButton(i, enable);
        m_actions[i]->setVisible(enable || i == 7);
    }
    m_popupItems[4]->setVisible(enable);
    m_popupItems[5]->setVisible(enable);
    setButton(8, enable);
    setButton(9, m_state == WaitingForMove || m_state == WaitingForCopy);
}

bool frmBookmark::hasSelection()
{
    if (!m_rs.State() || !m_rs.SetFilter(QStringLiteral("Selected = 1")))
        return false;
    const bool any = m_rs.RecordCount() > 0;
    m_rs.ClearFilter();
    return any;
}

void frmBookmark::CancelSelection(int mark)
{
    if (!m_rs.State())
        return;
    if (m_rs.SetFilter(QStringLiteral("Selected = ") + QString::number(mark))) {
        for (m_rs.MoveFirst(); !m_rs.isEOF(); m_rs.MoveNext()) {
            if (QTreeWidgetItem *n = m_tree.node(FavoritesTree::linkKey(m_rs.Bookmark())))
                n->setBackground(0, QBrush(Qt::white));
            (void)m_rs.SetField(QStringLiteral("Selected"), 0);
        }
    }
    m_rs.ClearFilter();
    scheduleSave();
}

// -------------------------------------------------------------------------------- commands

void frmBookmark::runCommand(int number)
{
    switch (number) {
    case 0:
        if (m_state == DownloadMode)
            zOrganizeModeSelect();
        else
            zOrganizeModeDownload();
        return;
    case 3:
    case 4:
        m_state = number == 3 ? WaitingForCopy : WaitingForMove;
        setInstruction(number == 3 ? QStringLiteral("Click the folder that you want to copy to. "
                                                    "Click Cancel Selection to cancel.")
                                   : QStringLiteral("Click the folder that you want to move the "
                                                    "selected links to. Click Cancel Selection "
                                                    "to cancel."));
        setButton(9, true);
        m_actions[9]->setVisible(true);
        m_popupItems[4]->setVisible(false);
        m_popupItems[5]->setVisible(false);
        m_popupItems[6]->setVisible(true);
        return;
    case 5:
        if (!m_hooks.openEditor)
            return;
        UnhighlightSelectedNodes(m_tree, m_rs);
        m_hooks.openEditor(1, QString());
        EnableOrganizeCommands(hasSelection());
        return;
    case 6:
        CancelSelection(1);
        m_state = OrganizeMode;
        EnableOrganizeCommands(false);
        return;
    case 7:
        deleteSelection();
        return;
    case 8:
        if (m_hooks.openEditor)
            m_hooks.openEditor(0, QString());
        return;
    case 9:
        m_newFolderPending = true;
        setInstruction(QStringLiteral(
            "Click the folder where you want to create a new subfolder. Type the name of the new "
            "folder, then press ENTER. After pressing, ENTER, the selected links will be copied "
            "or moved to the new folder."));
        return;
    case 10:
        undoLastDelete();
        return;
    case 11:
        close();
        return;
    default:
        return;
    }
}

void frmBookmark::showView(int view)
{
    static const QString filters[] = {
        QString(),
        QStringLiteral("bfFav = 1"),
        QString(),
        QString(),
        QStringLiteral("Period > 0 or DayOfWeek > 0"),
        QStringLiteral("URL LIKE 'file://*'"),
        QStringLiteral("bfFav > 1"),
    };
    if (view == 0) {
        runCommand(0);
        return;
    }
    if (view < 0 || view > 6)
        return;
    m_lastFilter = filters[view];
    if (view == 2 && m_page)
        m_page->document().setValue(QStringLiteral("tbxFilter"), QString());
    rebuild();
    if (view == 3) {
        QTreeWidgetItem *root = m_tree.root();
        for (int i = root->childCount() - 1; i >= 0; --i)
            if (FavoritesTree::isFolder(root->child(i)))
                root->child(i)->setExpanded(false);
    }
}

void frmBookmark::ApplyTextFilter(const QString &text)
{
    m_lastFilterText = text;
    const QString t = FilterText(text);
    if (t.isEmpty() || t == QLatin1String("*"))
        m_lastFilter.clear();
    else if (!t.contains(QLatin1Char('*')))
        m_lastFilter =
            QStringLiteral("Title LIKE '*%1*' OR URL LIKE '*%1*' OR Keywords LIKE '*%1*'").arg(t);
    else
        m_lastFilter =
            QStringLiteral("Title LIKE '%1' OR URL LIKE '%1' OR Keywords LIKE '%1'").arg(t);
    rebuild();
}

// ------------------------------------------------------------------------------ node clicks

void frmBookmark::markLink(QTreeWidgetItem *node, bool organize)
{
    if (!m_rs.SetBookmark(bookmarkOf(node)))
        return;
    (void)m_rs.SetField(QStringLiteral("Selected"), organize ? 1 : 3);
    m_rs.Update();
    node->setBackground(0, QBrush(organize ? kYellow : kCyan));
    if (!organize)
        load(bookmarkOf(node));
    scheduleSave();
}

void frmBookmark::load(double bookmark)
{
    if (!m_ctx.reader)
        return;
    LoadRequest r;
    r.source = LoadSource::Favorite;
    r.bookmark = bookmark;
    (void)m_ctx.reader->queue.LoadDocument(r);
}

void frmBookmark::NodeClick(QTreeWidgetItem *node)
{
    if (!node || !m_rs.State())
        return;
    if (m_newFolderPending) {
        Organize_CreateNewFolder(node);
        return;
    }
    if (m_state == WaitingForMove || m_state == WaitingForCopy) {
        if (FavoritesTree::isFolder(node))
            Organize_MoveCopy(node);
        else
            setInstruction(QStringLiteral(
                "You must select a folder as a destination. Folders are shown in red."));
        return;
    }
    const bool organize = m_state == OrganizeMode;
    if (FavoritesTree::isFolder(node)) {
        if (node->childCount() == 0) {
            // A folder exists only through its records.
            m_tree.remove(node);
            return;
        }
        if (!organize)
            setInstruction(QStringLiteral("Downloading all URLs in ") + node->text(0));
        for (int i = 0; i < node->childCount(); ++i)
            if (isLink(node->child(i)))
                markLink(node->child(i), organize);
    } else if (organize) {
        const bool selected = backColor(node) == kYellow;
        if (m_rs.SetBookmark(bookmarkOf(node))) {
            (void)m_rs.SetField(QStringLiteral("Selected"), selected ? 0 : 1);
            m_rs.Update();
            node->setBackground(0, QBrush(selected ? QColor(Qt::white) : kYellow));
            scheduleSave();
        }
    } else {
        markLink(node, false);
        setInstruction(QStringLiteral("Downloading ") + node->text(0));
    }
    if (organize)
        EnableOrganizeCommands(hasSelection());
}

void frmBookmark::ctrlClickFolder(QTreeWidgetItem *node)
{
    if (!FavoritesTree::isFolder(node) || !m_rs.State() ||
        (m_state != DownloadMode && m_state != OrganizeMode))
        return;
    const QString path = NodeFolderPath(node);
    // A prefix: the folder, its subfolders, and siblings that begin with the same text.
    const QString filter = path.isEmpty()
                               ? QStringLiteral("Keywords = ''")
                               : QStringLiteral("Keywords LIKE '") + FilterText(path) + "*'";
    const bool organize = m_state == OrganizeMode;
    QList<double> found;
    if (m_rs.SetFilter(filter))
        for (m_rs.MoveFirst(); !m_rs.isEOF(); m_rs.MoveNext())
            found << m_rs.Bookmark();
    m_rs.ClearFilter();
    for (double b : found) {
        if (!m_rs.SetBookmark(b))
            continue;
        (void)m_rs.SetField(QStringLiteral("Selected"), organize ? 1 : 3);
        m_rs.Update();
        if (QTreeWidgetItem *n = m_tree.node(FavoritesTree::linkKey(b)))
            n->setBackground(0, QBrush(organize ? kYellow : kCyan));
        if (!organize)
            load(b);
    }
    scheduleSave();
    if (organize)
        EnableOrganizeCommands(hasSelection());
    else
        setInstruction(QStringLiteral("Downloading URLs"));
}

void frmBookmark::shiftClickLink(QTreeWidgetItem *node)
{
    if (!isLink(node) || (m_state != DownloadMode && m_state != OrganizeMode))
        return;
    const bool organize = m_state == OrganizeMode;
    const QColor mark = organize ? kYellow : kCyan;
    QTreeWidgetItem *parent = node->parent();
    for (int i = parent->indexOfChild(node); i >= 0; --i) {
        QTreeWidgetItem *n = parent->child(i);
        if (i < parent->indexOfChild(node) && backColor(n) == mark)
            break;
        if (isLink(n))
            markLink(n, organize);
    }
    if (organize)
        EnableOrganizeCommands(hasSelection());
    else
        setInstruction(QStringLiteral("Downloading URLs"));
}

bool frmBookmark::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_view->viewport())
        return QWidget::eventFilter(watched, event);
    if (dragEvent(event))
        return true;
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    QTreeWidgetItem *node = m_view->itemAt(mouse->position().toPoint());
    if (!node)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        if (mouse->button() == Qt::RightButton) {
            m_view->setCurrentItem(node);
            showPopup(node, mouse->globalPosition().toPoint());
            return true;
        }
        if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ControlModifier)) {
            ctrlClickFolder(node);
            return true;
        }
    } else if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ShiftModifier)) {
        shiftClickLink(node);
        return true;
    }
    return false;
}

bool frmBookmark::dragEvent(QEvent *event)
{
    const auto folderAt = [this](const QPoint &at) -> QTreeWidgetItem * {
        QTreeWidgetItem *n = m_view->itemAt(at);
        return n && FavoritesTree::isFolder(n) ? n : nullptr;
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        QTreeWidgetItem *n = m_view->itemAt(mouse->position().toPoint());
        const bool mayDrag = m_state == OrganizeMode && mouse->button() == Qt::LeftButton &&
                             !(mouse->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) &&
                             n && isLink(n);
        m_dragKey = mayDrag ? FavoritesTree::key(n) : QString();
        m_dragStart = mouse->position().toPoint();
        return false;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_dragKey.isEmpty() || !(mouse->buttons() & Qt::LeftButton) ||
            (mouse->position().toPoint() - m_dragStart).manhattanLength() <
                QApplication::startDragDistance())
            return false;
        auto *data = new QMimeData;
        data->setData(kDragFormat, std::exchange(m_dragKey, QString()).toUtf8());
        auto *drag = new QDrag(m_view);
        drag->setMimeData(data);
        (void)drag->exec(Qt::MoveAction);
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragKey.clear();
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        QTreeWidgetItem *folder = folderAt(drag->position().toPoint());
        const bool ours = drag->mimeData()->hasFormat(kDragFormat) && m_state == OrganizeMode;
        if (ours && (folder || event->type() == QEvent::DragEnter)) {
            if (folder)
                m_view->setCurrentItem(folder);
            drag->acceptProposedAction();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        QTreeWidgetItem *link = m_tree.node(QString::fromUtf8(drop->mimeData()->data(kDragFormat)));
        if (dropLink(link, folderAt(drop->position().toPoint())))
            drop->acceptProposedAction();
        else
            drop->ignore();
        return true;
    }
    default:
        return false;
    }
}

bool frmBookmark::dropLink(QTreeWidgetItem *link, QTreeWidgetItem *folder)
{
    if (!link || !isLink(link) || !folder || !FavoritesTree::isFolder(folder) ||
        m_state != OrganizeMode || !m_rs.State())
        return false;
    if (backColor(link) != kYellow) {
        CancelSelection(1);
        markLink(link, true);
    }
    m_state = WaitingForMove;
    Organize_MoveCopy(folder);
    return true;
}

void frmBookmark::showPopup(QTreeWidgetItem *node, const QPoint &globalPos)
{
    const bool folder = FavoritesTree::isFolder(node);
    m_popupItems[3]->setVisible(folder);
    m_popupItems[7]->setVisible(folder);
    // Tree items are no QObjects: the node is found again by its key after the menu's loop.
    const QString key = FavoritesTree::key(node);
    QAction *chosen = m_popup->exec(globalPos);
    const int index = int(m_popupItems.indexOf(chosen));
    if (index >= 0)
        if (QTreeWidgetItem *again = m_tree.node(key))
            popupCommand(index, again);
}

void frmBookmark::popupCommand(int index, QTreeWidgetItem *node)
{
    if (!node || !m_rs.State())
        return;
    const bool folder = FavoritesTree::isFolder(node);
    if (!folder && index != 0) {
        markLink(node, true);
    } else if (folder && (index == 1 || index == 2)) {
        const QString filter =
            QStringLiteral("Keywords = '") + FilterText(NodeFolderPath(node)) + QLatin1Char('\'');
        QList<double> found;
        if (m_rs.SetFilter(filter))
            for (m_rs.MoveFirst(); !m_rs.isEOF(); m_rs.MoveNext())
                found << m_rs.Bookmark();
        m_rs.ClearFilter();
        for (double b : found)
            if (QTreeWidgetItem *n = m_tree.node(FavoritesTree::linkKey(b)))
                markLink(n, true);
    }
    switch (index) {
    case 0:
        m_editOldText = node->text(0);
        m_editing = node;
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        m_view->editItem(node);
        return;
    case 1:
        if (m_hooks.openEditor) {
            UnhighlightSelectedNodes(m_tree, m_rs);
            m_hooks.openEditor(1, QString());
        }
        return;
    case 2:
        deleteSelection();
        EnableOrganizeCommands(hasSelection());
        return;
    case 3:
        if (folder && m_hooks.openEditor)
            m_hooks.openEditor(0, NodeFolderPath(node));
        return;
    case 4:
    case 5:
        if (folder) {
            m_state = index == 4 ? WaitingForMove : WaitingForCopy;
            Organize_MoveCopy(node);
        }
        return;
    case 6:
        if (folder)
            Organize_CreateNewFolder(node);
        return;
    case 7:
        if (folder && m_ctx.stores && m_ctx.stores->rsOptions.State()) {
            Recordset options = m_ctx.stores->rsOptions.Clone();
            (void)options.AddNew({QStringLiteral("key"), QStringLiteral("value")},
                                 {QStringLiteral("qf"), NodeFolderPath(node)});
            options.Update();
            if (!options.Save())
                m_ctx.errorLog.LogError(options.lastError(), QStringLiteral(" Saving Options"));
            if (m_hooks.quickFoldersChanged)
                m_hooks.quickFoldersChanged();
        }
        return;
    default:
        return;
    }
}

// ------------------------------------------------------------------- delete, move and copy

void frmBookmark::removeLinkNode(QTreeWidgetItem *node)
{
    QTreeWidgetItem *parent = node->parent();
    m_tree.remove(node);
    if (parent && parent != m_tree.root() && parent->childCount() == 0)
        m_tree.remove(parent);
}

void frmBookmark::deleteSelection()
{
    if (!m_rs.State())
        return;
    (void)m_rs.SetSort(QString());
    QList<double> deleted;
    if (m_rs.SetFilter(QStringLiteral("Selected = 1"))) {
        for (m_rs.MoveFirst(); !m_rs.isEOF(); m_rs.MoveNext()) {
            const double b = m_rs.Bookmark();
            if (QTreeWidgetItem *n = m_tree.node(FavoritesTree::linkKey(b)))
                removeLinkNode(n);
            (void)MoveToTrash(m_rs);
            deleted << b;
        }
    }
    m_rs.ClearFilter();
    (void)m_rs.SetSort(QStringLiteral("Keywords, Title"));
    AddMarkedRecordsToTree(m_tree, m_rs, 1);
    // The deleted records are no longer a selection another command could act on.
    CancelSelection(1);
    setInstruction(QString());
    if (!deleted.isEmpty())
        m_lastDelete = deleted;
    setButton(10, !m_lastDelete.isEmpty());
    m_actions[10]->setEnabled(!m_lastDelete.isEmpty());
    scheduleSave();
}

void frmBookmark::undoLastDelete()
{
    if (!m_rs.State() || m_lastDelete.isEmpty())
        return;
    for (double b : std::as_const(m_lastDelete)) {
        if (!m_rs.SetBookmark(b))
            continue;
        const QString k = m_rs.Field(QStringLiteral("Keywords")).toString();
        if (k.startsWith(QLatin1String("Delete\\")))
            (void)m_rs.SetField(QStringLiteral("Keywords"), k.mid(7));
    }
    m_rs.Update();
    m_lastDelete.clear();
    setButton(10, false);
    m_actions[10]->setEnabled(false);
    (void)m_rs.SetSort(QStringLiteral("Keywords, Title"));
    rebuild();
    scheduleSave();
}

double frmBookmark::CopySelectedRecord(const QString &destination)
{
    static const char *const fields[] = {"Title",       "URL",   "PostData", "Description",
                                         "DocKeywords", "Notes", "FavIcon"};
    QVariantList values;
    for (const char *f : fields)
        values << m_rs.Field(QString::fromLatin1(f));
    const double from = m_rs.Bookmark();
    m_rs.AddNew();
    for (int i = 0; i < int(std::size(fields)); ++i)
        (void)m_rs.SetField(QString::fromLatin1(fields[i]), values[i]);
    (void)m_rs.SetField(QStringLiteral("Keywords"), destination);
    (void)m_rs.SetField(QStringLiteral("DateCreated"), DateValue::now());
    m_rs.Update();
    const double copy = m_rs.Bookmark();
    (void)m_rs.SetBookmark(from);
    return copy;
}

void frmBookmark::ChangeSelectedRecords(const QString &field, const QVariant &value)
{
    if (m_rs.SetFilter(QStringLiteral("Selected = 1")))
        for (m_rs.MoveFirst(); !m_rs.isEOF(); m_rs.MoveNext())
            (void)m_rs.SetField(field, value);
    m_rs.ClearFilter();
}

void frmBookmark::Organize_MoveCopy(QTreeWidgetItem *destination)
{
    const QString path = NodeFolderPath(destination);
    const bool copy = m_state == WaitingForCopy;
    const QString destKey = FavoritesTree::key(destination);
    (void)m_rs.SetSort(QString());
    QList<double> selected;
    if (m_rs.SetFilter(QStringLiteral("Selected = 1")))
        for (m_rs.MoveFirst(); !m_rs.isEOF(); m_rs.MoveNext())
            selected << m_rs.Bookmark();
    m_rs.ClearFilter();
    for (double b : std::as_const(selected)) {
        QTreeWidgetItem *dest = m_tree.node(destKey);
        if (!dest || !m_rs.SetBookmark(b))
            break;
        const QString title = m_rs.Field(QStringLiteral("Title")).toString().trimmed();
        if (copy) {
            m_tree.addLink(dest, CopySelectedRecord(path), title);
        } else {
            QTreeWidgetItem *old = m_tree.node(FavoritesTree::linkKey(b));
            if (old && old->parent() == dest)
                continue; // already there
            if (old)
                removeLinkNode(old);
            // The destination may have been the emptied parent.
            if (!(dest = m_tree.node(destKey)))
                break;
            m_tree.addLink(dest, b, title);
        }
    }
    (void)m_rs.SetSort(QStringLiteral("Keywords, Title"));
    if (!copy)
        ChangeSelectedRecords(QStringLiteral("Keywords"), path);
    m_state = OrganizeMode;
    CancelSelection(1);
    EnableOrganizeCommands(false);
    setInstruction(QString());
    scheduleSave();
}

void frmBookmark::Organize_CreateNewFolder(QTreeWidgetItem *node)
{
    if (!FavoritesTree::isFolder(node)) {
        setInstruction(QStringLiteral(
            "You must click a keyword node to create a new node to move or copy to."));
        return;
    }
    m_newFolderPending = true;
    QTreeWidgetItem *folder = m_tree.addFolder(node, QStringLiteral("   "));
    folder->setFlags(folder->flags() | Qt::ItemIsEditable);
    m_view->setCurrentItem(folder);
    m_editing = folder;
    m_editOldText.clear();
    m_view->editItem(folder);
}

void frmBookmark::AfterLabelEdit(QTreeWidgetItem *node, const QString &text)
{
    node->setFlags(node->flags() & ~Qt::ItemIsEditable);
    const QString name = text.trimmed();
    if (m_newFolderPending) {
        m_newFolderPending = false;
        if (name.isEmpty()) {
            m_tree.remove(node);
            return;
        }
        node->setText(0, name);
        if (m_state != WaitingForCopy)
            m_state = WaitingForMove;
        Organize_MoveCopy(node);
        return;
    }
    if (!m_rs.State())
        return;
    if (isLink(node)) {
        if (m_rs.SetBookmark(bookmarkOf(node))) {
            (void)m_rs.SetField(QStringLiteral("Title"), text);
            m_rs.Update();
            scheduleSave();
        }
        return;
    }
    if (node == m_tree.root() || name.isEmpty() || name.contains(QLatin1Char('\\'))) {
        // A folder's name is one part of its path.
        node->setText(0, m_editOldText);
        return;
    }
    node->setText(0, name);
    renameFolder(node, m_editOldText);
}

void frmBookmark::renameFolder(QTreeWidgetItem *node, const QString &oldText)
{
    const QString parentPath = NodeFolderPath(node->parent());
    const QString prefix = parentPath.isEmpty() ? QString() : parentPath + QLatin1Char('\\');
    const QString oldPath = prefix + oldText;
    const QString newPath = prefix + node->text(0);
    if (oldPath == newPath)
        return;
    const QString lowerOld = oldPath.toLower();
    if (m_rs.SetFilter(QStringLiteral("Keywords LIKE '") + FilterText(oldPath) + "*'")) {
        for (m_rs.MoveFirst(); !m_rs.isEOF(); m_rs.MoveNext()) {
            const QString k = m_rs.Field(QStringLiteral("Keywords")).toString();
            const QString lower = k.toLower();
            if (lower != lowerOld && !lower.startsWith(lowerOld + QLatin1Char('\\')))
                continue; // AB when A is renamed
            (void)m_rs.SetField(QStringLiteral("Keywords"), newPath + k.mid(oldPath.size()));
        }
    }
    m_rs.ClearFilter();
    (void)m_rs.SetSort(QStringLiteral("Keywords, Title"));
    scheduleSave();
}

// ---------------------------------------------------------------------------------- saving

void frmBookmark::scheduleSave()
{
    // Not restarted by later edits: a steady stream of them must not keep the first from the
    // disk.
    if (!m_saveTimer.isActive())
        m_saveTimer.start();
}

void frmBookmark::save()
{
    m_saveTimer.stop();
    if (m_ctx.stores)
        (void)SaveFavorites(*m_ctx.stores);
}

void frmBookmark::closeEvent(QCloseEvent *event)
{
    if (m_editing) {
        m_view->closePersistentEditor(m_editing);
        m_editing = nullptr;
    }
    if (m_rs.State()) {
        // The marks are this window's: none of them outlives it.
        CancelSelection(1);
        CancelSelection(3);
        m_rs.ClearFilter();
        m_rs.Close();
    }
    save();
    setProgramFieldFocused(m_ctx, false);
    QWidget::closeEvent(event);
}
