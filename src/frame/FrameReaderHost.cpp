#include "frame/FrameReaderHost.h"

#include "frame/MDIForm1.h"
#include "frame/Sidebar.h"
#include "frame/TopBar.h"
#include "frame/cPopup.h"
#include "reader/AppContext.h"
#include "reader/frmBrowser.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {
QIcon colourIcon(const QString &colour, const QString &background)
{
    QPixmap pm(12, 12);
    pm.fill(QColor(background.isEmpty() ? QStringLiteral("#ffffee") : background));
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(colour.isEmpty() ? QStringLiteral("gray") : colour));
    p.drawEllipse(2, 2, 8, 8);
    return QIcon(pm);
}
} // namespace

FrameReaderHost::FrameReaderHost(AppContext &ctx, MDIForm1 &frame) : m_ctx(ctx), m_frame(frame)
{
    connect(&m_frame, &MDIForm1::documentWindowActivated, this, &FrameReaderHost::frameActivated);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { focusChanged(now); });
    // The window switching commands head the Window menu too (their keys stay on the
    // Navigation menu's items).
    QMenu *menu = m_frame.subMenu(QStringLiteral("mnuWindow"));
    QAction *first = menu ? menu->actions().value(0) : nullptr;
    for (const char *name : {"mnuNextDoc", "mnuPreviousDoc"}) {
        QAction *command = m_frame.menuItem(QString::fromLatin1(name));
        if (!menu || !command)
            continue;
        auto *item = new QAction(menu);
        item->setObjectName(QString::fromLatin1(name) + QStringLiteral("_Window"));
        QString caption = command->text();
        if (caption.startsWith(QLatin1String("X  ")))
            caption = caption.mid(3);
        item->setText(caption + QLatin1Char('\t') +
                      command->shortcut().toString(QKeySequence::NativeText));
        connect(item, &QAction::triggered, command, &QAction::trigger);
        menu->insertAction(first, item);
    }
}

FrameReaderHost::~FrameReaderHost() = default;

frmBrowser *FrameReaderHost::form(int slot) const
{
    return m_ctx.gBrowsers.value(slot, nullptr);
}

frmBrowser *FrameReaderHost::adoptWindow(int slot, std::unique_ptr<BrowserControl> control)
{
    if (!control || !m_ctx.reader)
        return nullptr;
    if (!m_userAgent.isEmpty())
        control->setUserAgent(m_userAgent);
    if (m_ctx.gBrowsers.size() <= slot)
        m_ctx.gBrowsers.resize(slot + 1, nullptr);
    auto *f = new frmBrowser(m_ctx, std::move(control));
    f->miTag = slot;
    m_ctx.gBrowsers[slot] = f;
    connect(f, &frmBrowser::documentCompleted, this, [this, f](const QString &url) {
        if (onDocumentCompleted)
            onDocumentCompleted(url);
        if (Sidebar *sb = m_frame.sidebar();
            sb && m_ctx.gBrowsers.value(m_ctx.giCurrentWindow) == f)
            sb->currentDocumentChanged();
    });
    // A window made for a background download must not take the front.
    // The current one, not the active one: that is none while another program is in front.
    QMdiSubWindow *before = m_frame.mdiArea()->currentSubWindow();
    m_adding = true;
    m_frame.addDocumentWindow(f);
    if (before)
        m_frame.mdiArea()->setActiveSubWindow(before);
    m_adding = false;
    windowListChanged();
    return f;
}

DocumentWindow *FrameReaderHost::loadWindow(int slot)
{
    if (!m_ctx.browsers)
        return nullptr;
    return adoptWindow(slot, m_ctx.browsers->createControl());
}

DocumentWindow *FrameReaderHost::window(int slot) const
{
    return form(slot);
}

void FrameReaderHost::destroyWindow(int slot)
{
    frmBrowser *f = form(slot);
    if (!f)
        return;
    m_ctx.gBrowsers[slot] = nullptr;
    if (QAction *item = m_listItems.take(slot))
        item->deleteLater();
    auto *sub = qobject_cast<QMdiSubWindow *>(f->parentWidget());
    if (sub) {
        m_frame.mdiArea()->removeSubWindow(sub);
        sub->hide();
        sub->deleteLater();
    } else {
        f->hide();
        f->deleteLater();
    }
}

void FrameReaderHost::showWindow(DocumentWindow &w)
{
    auto *f = static_cast<frmBrowser *>(&w);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(f->parentWidget())) {
        m_frame.mdiArea()->setActiveSubWindow(sub);
        if (!sub->isMaximized())
            sub->showMaximized();
    }
}

void FrameReaderHost::frameActivated(frmBrowser *f)
{
    if (m_adding || !f || !m_ctx.reader || m_ctx.gbExiting)
        return;
    const int slot = m_ctx.gBrowsers.indexOf(f);
    if (slot >= 0)
        m_ctx.reader->pool.windowActivated(slot);
    // The window left behind loses the current window's look, whichever way it was left.
    if (Sidebar *sb = m_frame.sidebar()) {
        sb->zShowWindows();
        sb->currentDocumentChanged();
    }
}

void FrameReaderHost::activeDocumentCompleted(DocumentWindow &)
{
    if (Sidebar *sb = m_frame.sidebar(); sb && sb->pageInfoShown())
        sb->zShowPageInfo();
}

void FrameReaderHost::openFeedViewer(const QString &url, double bookmark)
{
    if (m_ctx.favoriteCommands.OpenFeedViewer)
        m_ctx.favoriteCommands.OpenFeedViewer(url, bookmark, -1);
}

bool FrameReaderHost::hasFeedViewer() const
{
    return bool(m_ctx.favoriteCommands.OpenFeedViewer);
}

void FrameReaderHost::loadScheduledPages(int index)
{
    if (m_ctx.favoriteCommands.DownloadList)
        m_ctx.favoriteCommands.DownloadList(index);
}

void FrameReaderHost::setStatusText(int panel, const QString &text)
{
    m_frame.SetStatusText(panel, text);
}

QString FrameReaderHost::listCaption(int slot) const
{
    const frmBrowser *f = form(slot);
    QString title = f ? f->strDocumentTitle : QString();
    if (title.isEmpty())
        title = QStringLiteral("(blank)");
    if (title.size() > 80)
        title = title.left(77) + QStringLiteral("...");
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const int number = f ? f->miWindowNumber : 0;
    return number > 0 && number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                     : QStringLiteral("%1 %2").arg(number).arg(title);
}

void FrameReaderHost::setWindowCaption(DocumentWindow &w, const QString &)
{
    auto *f = static_cast<frmBrowser *>(&w);
    const int slot = m_ctx.gBrowsers.indexOf(f);
    if (QAction *item = m_listItems.value(slot))
        item->setText(listCaption(slot));
    if (Sidebar *sb = m_frame.sidebar(); sb && slot >= 0)
        sb->setWindowTitle(slot, f->strDocumentTitle.isEmpty() ? f->msURL : f->strDocumentTitle);
}

void FrameReaderHost::windowListChanged()
{
    if (Sidebar *sb = m_frame.sidebar())
        sb->zShowWindows();
    QMenu *menu = m_frame.subMenu(QStringLiteral("mnuWindow"));
    if (!menu)
        return;
    for (int slot = 0; slot < m_ctx.gBrowsers.size(); ++slot) {
        frmBrowser *f = form(slot);
        QAction *item = m_listItems.value(slot);
        if (!f) {
            if (item)
                m_listItems.take(slot)->deleteLater();
            continue;
        }
        if (!item) {
            item = new QAction(menu);
            item->setObjectName(QStringLiteral("mnuWindowList(%1)").arg(slot));
            item->setCheckable(true);
            connect(item, &QAction::triggered, this, [this, slot] {
                if (m_ctx.reader)
                    m_ctx.reader->pool.mnuWindowList_Click(slot);
            });
            m_listItems.insert(slot, item);
        }
        item->setText(listCaption(slot));
    }
    // In slot order after the menu's own items.
    for (QAction *a : menu->actions()) {
        if (a->objectName().startsWith(QLatin1String("mnuWindowList(")) &&
            m_listItems.key(a, -1) >= 0)
            menu->removeAction(a);
    }
    QList<int> slots = m_listItems.keys();
    std::sort(slots.begin(), slots.end());
    for (int slot : std::as_const(slots))
        menu->addAction(m_listItems.value(slot));
}

void FrameReaderHost::queueListAdd(double bookmark, const QString &title)
{
    if (Sidebar *sb = m_frame.sidebar())
        sb->queueListAdd(bookmark, title);
}

void FrameReaderHost::queueListRemove(double bookmark)
{
    if (Sidebar *sb = m_frame.sidebar())
        sb->queueListRemove(bookmark);
}

void FrameReaderHost::queueListClear()
{
    if (Sidebar *sb = m_frame.sidebar())
        sb->queueListClear();
}

void FrameReaderHost::showWindowState(int slot, const WindowStyle &style)
{
    if (Sidebar *sb = m_frame.sidebar())
        sb->showWindowState(slot, style);
    QAction *item = m_listItems.value(slot);
    if (!item)
        return;
    QFont font = item->font();
    font.setBold(style.bold);
    font.setStrikeOut(style.strikeThrough);
    item->setFont(font);
    item->setIcon(colourIcon(style.color, style.background));
    item->setText(listCaption(slot));
    // Only the window being read carries the check mark.
    for (auto it = m_listItems.cbegin(); it != m_listItems.cend(); ++it)
        it.value()->setChecked(it.key() == m_ctx.giCurrentWindow);
}

void FrameReaderHost::setToolButton(const QString &key, bool enabled, bool pressed)
{
    QAction *button = m_frame.toolButton(key);
    if (!button || !m_frame.isCommandAvailable(QStringLiteral("tb:") + key))
        return;
    button->setEnabled(enabled);
    if (button->isCheckable())
        button->setChecked(pressed);
}

void FrameReaderHost::setMenuItem(const QString &name, bool enabled, bool checked)
{
    QAction *item = m_frame.menuItem(name);
    if (!item)
        return;
    item->setEnabled(enabled && m_frame.isCommandAvailable(name));
    if (item->isCheckable())
        item->setChecked(checked);
}

bool FrameReaderHost::isInForeground() const
{
    return QApplication::activeWindow() == &m_frame;
}

void FrameReaderHost::setAddressText(const QString &text)
{
    if (cPopup *box = m_frame.addressBox())
        box->showAddress(text);
}

void FrameReaderHost::showBrowseMode(const QString &letter, const QString &tooltip)
{
    if (TopBar *bar = m_frame.topBar())
        bar->showBrowseMode(letter, tooltip);
}

HighlightWords FrameReaderHost::highlightWords() const
{
    TopBar *bar = m_frame.topBar();
    return bar ? bar->highlightWords() : HighlightWords();
}

void FrameReaderHost::zTopBar()
{
    if (TopBar *bar = m_frame.topBar())
        bar->zTopBar();
    m_frame.ZoomFactorButtons();
}

void FrameReaderHost::focusChanged(QWidget *now)
{
    // The program's own text fields (the address box, a pane's search box) are typed into:
    // single keys must not switch windows meanwhile. The document views are no such fields.
    bool field = false;
    if (auto *line = qobject_cast<QLineEdit *>(now))
        field = !line->isReadOnly();
    else if (auto *text = qobject_cast<QTextEdit *>(now))
        field = !text->isReadOnly();
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(now))
        field = !plain->isReadOnly();
    else if (auto *combo = qobject_cast<QComboBox *>(now))
        field = combo->isEditable();
    else
        field = qobject_cast<QAbstractSpinBox *>(now) != nullptr;
    if (m_ctx.reader)
        m_ctx.reader->nav.setProgramFieldFocused(field);
}
