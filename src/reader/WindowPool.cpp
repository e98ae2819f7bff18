#include "reader/WindowPool.h"

#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/cFile.h"

#include <QPointer>

namespace {
const QString kA = QStringLiteral("a");
const QString kB = QStringLiteral("b");
const QString kF = QStringLiteral("f");
const QString kX = QStringLiteral("x");
constexpr int kNeverChosenOrder = 32000;
} // namespace

WindowPool::WindowPool(Reader &reader) : m_reader(reader)
{}

DocumentWindow *WindowPool::window(int slot) const
{
    if (slot < 0 || slot >= slotCount())
        return nullptr;
    return m_reader.host.window(slot);
}

QString WindowPool::state(int slot) const
{
    return m_reader.ctx.gsWindowState.value(slot);
}

void WindowPool::setState(int slot, const QString &letter)
{
    if (slot < 0)
        return;
    growTo(slot + 1);
    if (m_reader.ctx.gsWindowState[slot] == letter)
        return;
    m_reader.ctx.gsWindowState[slot] = letter;
    // Every change shows in the window lists at once, whoever made it.
    if (!letter.isEmpty())
        ShowWindowState(slot);
}

int WindowPool::order(int slot) const
{
    return m_reader.ctx.giWindowOrder.value(slot);
}

void WindowPool::setOrder(int slot, int order)
{
    if (slot < 0)
        return;
    growTo(slot + 1);
    m_reader.ctx.giWindowOrder[slot] = order;
}

int WindowPool::slotCount() const
{
    return int(m_reader.ctx.gsWindowState.size());
}

DocumentWindow *WindowPool::current() const
{
    return window(m_reader.ctx.giCurrentWindow);
}

void WindowPool::growTo(int slots)
{
    AppContext &ctx = m_reader.ctx;
    if (ctx.gsWindowState.size() < slots) {
        while (ctx.gsWindowState.size() < slots)
            ctx.gsWindowState.append(QString());
    }
    if (ctx.giWindowOrder.size() < slots)
        ctx.giWindowOrder.resize(slots);
    if (ctx.gBrowsers.size() < slots)
        ctx.gBrowsers.resize(slots, nullptr);
    ctx.giLastWindow = std::max(ctx.giLastWindow, int(ctx.gsWindowState.size()) - 1);
}

int WindowPool::loadInto(int slot, bool bNext)
{
    growTo(slot + 1);
    DocumentWindow *w = m_reader.host.loadWindow(slot);
    if (!w)
        return -1;
    w->InitializeForm(slot, bNext);
    return slot;
}

int WindowPool::ChooseWindow(bool bNext, bool bForceNew)
{
    AppContext &ctx = m_reader.ctx;
    ctx.giLastWindow = slotCount() - 1;
    const bool altHeld = ctx.ui && (ctx.ui->keyboardModifiers() & Qt::AltModifier);
    const bool noReuse =
        altHeld || (ctx.giBrowsingMode & (BrowseMode::Research | BrowseMode::Tabbed));
    for (int i = 0; i <= ctx.giLastWindow; ++i) {
        const QString s = state(i);
        DocumentWindow *w = window(i);
        if (!noReuse && s == kF && w && !w->bKeep) {
            setState(i, kB);
            w->mbNext = bNext;
            // A sleeping window stays asleep: the navigation that follows wakes it, without
            // loading its old page first.
            return i;
        }
        if (s.isEmpty() && !w)
            return loadInto(i, bNext);
    }
    if (ctx.giLastWindow + 1 < ctx.giMaxWindows || noReuse || bForceNew)
        return loadInto(ctx.giLastWindow + 1, bNext);
    return -1;
}

void WindowPool::ActivateWindow(int iTag)
{
    DocumentWindow *w = window(iTag);
    if (!w)
        return;
    m_reader.host.showWindow(*w);
    windowActivated(iTag);
}

void WindowPool::windowActivated(int slot)
{
    AppContext &ctx = m_reader.ctx;
    DocumentWindow *w = window(slot);
    if (!w)
        return;
    if (slot == ctx.giCurrentWindow && w->bActiveForm && state(slot) == kA)
        return;
    if (slot != ctx.giCurrentWindow) {
        if (DocumentWindow *old = window(ctx.giCurrentWindow)) {
            m_activating = slot;
            if (old->bActiveForm)
                old->Form_Deactivate();
            m_activating = -1;
            old->bActiveForm = false;
            m_reader.host.hideWindow(*old);
        }
        ctx.giCurrentWindow = slot;
    }
    w->Form_Activate();
}

WindowStyle WindowPool::styleFor(const QString &state, bool keep, bool next, bool current)
{
    WindowStyle s;
    s.background = QStringLiteral("#ffffee");
    if (state == QLatin1String("b"))
        s.color = QStringLiteral("black");
    else if (state == QLatin1String("i"))
        s.color = QStringLiteral("#0000aa");
    else if (state == QLatin1String("c"))
        s.color = QStringLiteral("blue");
    else if (state == QLatin1String("f") || state == QLatin1String("a") ||
             state == QLatin1String("p"))
        s.color = QStringLiteral("red");
    else if (state == QLatin1String("x")) {
        s.color = QStringLiteral("red");
        s.strikeThrough = true;
    }
    s.bold = keep;
    if (next)
        s.background = QStringLiteral("white");
    if (current)
        s.background = QStringLiteral("#eeeeee");
    return s;
}

void WindowPool::ShowWindowState(int iTag)
{
    DocumentWindow *w = window(iTag);
    if (!w)
        return;
    m_reader.host.showWindowState(
        iTag, styleFor(state(iTag), w->bKeep, w->mbNext, iTag == m_reader.ctx.giCurrentWindow));
}

void WindowPool::UpdateWindowCount()
{
    AppContext &ctx = m_reader.ctx;
    ctx.giWindowsOpen = 0;
    for (int i = 0; i < slotCount(); ++i) {
        if (state(i).isEmpty())
            continue;
        ++ctx.giWindowsOpen;
        if (DocumentWindow *w = window(i))
            w->miWindowNumber = ctx.giWindowsOpen;
    }
    const DocumentWindow *cur = current();
    m_reader.host.setStatusText(2, QString::number(cur ? cur->miWindowNumber : 0) +
                                       QStringLiteral(" of ") + QString::number(ctx.giWindowsOpen));
}

int WindowPool::nextUnreadSlot() const
{
    for (const char *letter : {"n", "c", "i", "b"}) {
        int best = -1;
        for (int i = 0; i < slotCount(); ++i) {
            if (state(i) != QLatin1String(letter) || !window(i) || order(i) >= kNeverChosenOrder)
                continue;
            if (best < 0 || order(i) < order(best))
                best = i;
        }
        if (best >= 0)
            return best;
    }
    return -1;
}

void WindowPool::activateByCycle(int from, int step)
{
    const int n = slotCount();
    for (int k = 1; k < n; ++k) {
        const int i = ((from + step * k) % n + n) % n;
        const QString s = state(i);
        if (!s.isEmpty() && s != kX && window(i)) {
            ActivateWindow(i);
            return;
        }
    }
}

void WindowPool::mnuNextDoc_Click()
{
    AppContext &ctx = m_reader.ctx;
    const int cur = ctx.giCurrentWindow;
    const int next = nextUnreadSlot();
    if (next >= 0) {
        mbReportAfterLast = true;
        ActivateWindow(next);
        return;
    }
    if (ctx.giBrowsingMode == BrowseMode::Skimline && mbReportAfterLast) {
        DocumentWindow *w = window(cur);
        if (!state(cur).isEmpty() && w && !w->bKeep) {
            m_reader.report.mnuReport_Click();
            mbReportAfterLast = false;
            return;
        }
    }
    activateByCycle(cur, +1);
}

void WindowPool::mnuPreviousDoc_Click()
{
    activateByCycle(m_reader.ctx.giCurrentWindow, -1);
}

void WindowPool::mnuNav_PrevWin_Click()
{
    const int prev = m_reader.ctx.giPreviousWindow;
    if (prev == m_reader.ctx.giCurrentWindow || !window(prev) || state(prev).isEmpty())
        return;
    setState(prev, kF);
    ActivateWindow(prev);
}

void WindowPool::mnuKeepInMemory_Click()
{
    zKeepInMemory(m_reader.ctx.giCurrentWindow, true);
}

void WindowPool::zKeepInMemory(int iTag, bool bThenNext)
{
    DocumentWindow *w = window(iTag);
    if (!w)
        return;
    w->bKeep = !w->bKeep;
    if (iTag == m_reader.ctx.giCurrentWindow) {
        m_reader.host.setMenuItem(QStringLiteral("mnuKeepInMemory"), true, w->bKeep);
        m_reader.host.setToolButton(QStringLiteral("MK"), true, w->bKeep);
    }
    if (!w->bKeep && state(iTag) == kF)
        scheduleSleep(iTag);
    ShowWindowState(iTag);
    if (bThenNext)
        mnuNextDoc_Click();
}

void WindowPool::mnuNav_Win_Click(int index, int slot)
{
    if (index == 0)
        unloadWindow(slot);
    else if (index == 1)
        zKeepInMemory(slot, false);
}

void WindowPool::zMarkForClosing()
{
    const int cur = m_reader.ctx.giCurrentWindow;
    if (!window(cur))
        return;
    setState(cur, kX);
    ShowWindowState(cur);
    mnuNextDoc_Click();
}

int WindowPool::cancelQueued()
{
    Recordset rs = m_reader.log.cursor();
    if (!rs.State() || !rs.SetFilter(QStringLiteral("bRead = 0")))
        return 0;
    QList<double> unread;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
        unread << rs.Bookmark();
    rs.ClearFilter();
    int n = 0;
    for (double b : std::as_const(unread)) {
        if (m_reader.log.update(b, {{"bRead", 2}}))
            ++n;
    }
    m_reader.host.queueListClear();
    return n;
}

void WindowPool::mnuNav_WinManSub_Click(int index)
{
    AppContext &ctx = m_reader.ctx;
    switch (index) {
    case 0:
        for (int i = 0; i < slotCount(); ++i) {
            DocumentWindow *w = window(i);
            const QString s = state(i);
            if (w && i != ctx.giCurrentWindow &&
                (s == kF || s == QLatin1String("p") || (s == kX && !w->bKeep)))
                unloadWindow(i);
        }
        break;
    case 1: {
        cancelQueued();
        for (int i = 0; i < slotCount(); ++i) {
            if (i != ctx.giCurrentWindow && window(i))
                unloadWindow(i);
        }
        break;
    }
    case 2:
        for (int i = 0; i < slotCount(); ++i) {
            DocumentWindow *w = window(i);
            if (!w || !w->brwWebBrowser)
                continue;
            w->brwWebBrowser->stop();
            if (w->countsAsDownload())
                m_reader.queue.releaseDownload(*w);
            if (w->mdCurrentSessionBookmark != 0 &&
                m_reader.log.field(w->mdCurrentSessionBookmark, "bRead").toInt() == 0)
                m_reader.log.update(w->mdCurrentSessionBookmark, {{"bRead", 2}});
        }
        break;
    case 3:
        cancelQueued();
        break;
    default:
        return;
    }
    if (DocumentWindow *cur = current())
        cur->LargestFrame_SetFocus();
}

void WindowPool::mnuWindow_Click()
{
    for (int i = 0; i < slotCount(); ++i) {
        if (DocumentWindow *w = window(i); w && !state(i).isEmpty())
            m_reader.host.setWindowCaption(*w, w->strDocumentTitle);
    }
}

void WindowPool::mnuWindowList_Click(int index)
{
    if (index != m_reader.ctx.giCurrentWindow)
        ActivateWindow(index);
}

void WindowPool::mnuOpenInSameWindow_Click()
{
    DocumentWindow *w = current();
    if (!w)
        return;
    w->bOpenInSameWindow = !w->bOpenInSameWindow;
    m_reader.host.setMenuItem(QStringLiteral("mnuOpenInSameWindow"), true, w->bOpenInSameWindow);
    m_reader.host.setToolButton(QStringLiteral("FS"), true, w->bOpenInSameWindow);
}

QString WindowPool::modeLetter(int mode)
{
    switch (mode) {
    case BrowseMode::Research:
        return QStringLiteral("R");
    case BrowseMode::Tabbed:
    case BrowseMode::TabbedOnce:
        return QStringLiteral("T");
    default:
        return QStringLiteral("W");
    }
}

QString WindowPool::modeTooltip(int mode)
{
    switch (mode) {
    case BrowseMode::Research:
        return QStringLiteral("Research mode. Like Skimline mode, but read documents are not "
                              "replaced; most links download in new window. When you are finished "
                              "with the window, unload it. Click here to change.");
    case BrowseMode::Tabbed:
    case BrowseMode::TabbedOnce:
        return QStringLiteral("Tabbed Browser mode. Works like most tabbed browsers; most links "
                              "download in same window; opens in new window if shift-clicked or "
                              "right-clicked. Click here to change.");
    default:
        return QStringLiteral("Skimline mode. Most links download in background; read documents "
                              "are replaced. Click here to change.");
    }
}

void WindowPool::zBrowseMode(int iAction)
{
    AppContext &ctx = m_reader.ctx;
    int mode = ctx.giBrowsingMode;
    switch (iAction) {
    case 0:
        mode = BrowseMode::Skimline;
        break;
    case 1:
        mode = BrowseMode::Research;
        break;
    case 2:
        mode = BrowseMode::Tabbed;
        break;
    case 3:
        mode = ctx.gFile ? ctx.gFile->GetOption(QStringLiteral("Mode"), 1).toInt() : mode;
        break;
    case 4:
        mode = (mode == BrowseMode::TabbedOnce ? BrowseMode::Tabbed : mode) * 2;
        if (mode > BrowseMode::Tabbed)
            mode = BrowseMode::Skimline;
        break;
    default:
        return;
    }
    if (mode != BrowseMode::Skimline && mode != BrowseMode::Research && mode != BrowseMode::Tabbed)
        mode = BrowseMode::Skimline;
    ctx.giBrowsingMode = mode;
    m_reader.host.showBrowseMode(modeLetter(mode), modeTooltip(mode));
    m_reader.host.setMenuItem(QStringLiteral("mnuBrowseMode(0)"), true,
                              mode == BrowseMode::Skimline);
    m_reader.host.setMenuItem(QStringLiteral("mnuBrowseMode(1)"), true,
                              mode == BrowseMode::Research);
    m_reader.host.setMenuItem(QStringLiteral("mnuBrowseMode(2)"), true, mode == BrowseMode::Tabbed);
    if (ctx.gFile && iAction != 3)
        (void)ctx.gFile->SetOption(QStringLiteral("mode"), mode);
    if (DocumentWindow *cur = current())
        cur->LargestFrame_SetFocus();
}

bool WindowPool::unloadWindow(int slot)
{
    DocumentWindow *w = window(slot);
    if (!w || w->isClosing())
        return false;
    if (w->Form_QueryUnload())
        return false;
    w->Form_Unload();
    m_reader.host.destroyWindow(slot);
    if (m_reader.ctx.gBrowsers.size() > slot)
        m_reader.ctx.gBrowsers[slot] = nullptr;
    return true;
}

void WindowPool::scheduleSleep(int slot)
{
    AppContext &ctx = m_reader.ctx;
    DocumentWindow *w = window(slot);
    if (!m_reader.sleepReadWindows || !w || w->bKeep || !ctx.ui || !w->brwWebBrowser)
        return;
    BrowserControl *control = w->brwWebBrowser;
    ctx.ui->singleShot(m_reader.sleepDelayMs, &m_reader.log, [this, slot, control] {
        // The slot may hold another window by now, or this one may be in use again.
        DocumentWindow *now = window(slot);
        if (!now || now->brwWebBrowser != control || now->bKeep || now->bActiveForm ||
            state(slot) != kF || control->isAsleep())
            return;
        control->sleep(m_reader.sleepMode);
    });
}
