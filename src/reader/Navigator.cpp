#include "reader/Navigator.h"

#include "platform/PageWriter.h"
#include "platform/Shell.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/DownloadPath.h"
#include "reader/Reader.h"
#include "store/CWinInet_URL.h"
#include "store/cFile.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>

namespace {

bool isFieldTag(const QString &tag)
{
    return tag == QLatin1String("INPUT") || tag == QLatin1String("TEXTAREA") ||
           tag == QLatin1String("SELECT");
}

QString closedWindowMessage()
{
    return QStringLiteral("This browser window has been closed, and is no longer in memory.");
}

} // namespace

// The document's events of one window, handed to the navigator with the window.
class Navigator::DocSink : public DocumentListener
{
public:
    DocSink(Navigator &nav, DocumentWindow &w) : m_nav(nav), m_w(w) {}
    void domEvent(const DomEvent &event) override { m_nav.domEvent(m_w, event); }
    void frameDocumentComplete(const FrameDocumentInfo &frame) override
    {
        m_w.frameDocumentComplete(frame);
    }
    void snapshotChanged(const DocumentSnapshot &s) override
    {
        m_nav.m_wheel.snapshotChanged(m_w, s);
    }

private:
    Navigator &m_nav;
    DocumentWindow &m_w;
};

Navigator::Navigator(Reader &reader)
    : m_reader(reader), m_wheel(reader, *this), m_menus(reader, *this)
{
    registerOwnCommands();
}

Navigator::~Navigator()
{
    for (auto &[w, sink] : m_sinks) {
        (void)sink;
        if (w->brwWebBrowser)
            w->brwWebBrowser->document().setListener(nullptr);
    }
}

void Navigator::attach(DocumentWindow &w)
{
    if (!w.brwWebBrowser)
        return;
    auto sink = std::make_unique<DocSink>(*this, w);
    w.brwWebBrowser->document().setListener(sink.get());
    m_sinks[&w] = std::move(sink);
}

void Navigator::detach(DocumentWindow &w)
{
    if (m_sinks.erase(&w) && w.brwWebBrowser)
        w.brwWebBrowser->document().setListener(nullptr);
    m_flags.remove(&w);
    m_wheel.forget(w);
    m_menus.forget(w);
    pageFieldGone(w);
}

Navigator::WindowFlags &Navigator::flags(const DocumentWindow &w)
{
    return m_flags[&w];
}

bool Navigator::linkClicked(const DocumentWindow &w) const
{
    return m_flags.value(&w).mbLinkClicked;
}

bool Navigator::cancelNextNavigation(const DocumentWindow &w) const
{
    return m_flags.value(&w).mbCancelNextNavigation;
}

DocumentWindow *Navigator::current() const
{
    return m_reader.pool.current();
}

void Navigator::showStatusBriefly(const QString &text, int ms)
{
    m_reader.host.setStatusText(3, text);
    if (Ui *ui = m_reader.ctx.ui) {
        ReaderHost *host = &m_reader.host;
        ui->singleShot(ms, &m_guard, [host] { host->setStatusText(3, QString()); });
    }
}

// ---------------------------------------------------------------- interception

bool Navigator::brwWebBrowser_BeforeNavigate2(DocumentWindow &w, const BeforeNavigateInfo &info)
{
    AppContext &ctx = m_reader.ctx;
    WindowFlags &f = flags(w);

    NavInput in;
    in.url = info.url.toString();
    in.isTopFrame = info.isTopFrame;
    in.targetFrameName = info.targetFrameName;
    in.kind = info.kind;
    in.isPost = info.isPost || !info.postData.isEmpty();
    in.modifiers = info.modifiers;
    in.button = info.button;
    in.disposition = info.disposition;
    in.linkClicked =
        info.linkClicked || (f.mbLinkClicked && info.kind == NavigationKind::FormSubmitted);
    in.bActiveForm = w.bActiveForm;
    in.mbClosing = w.isClosing();
    in.mbCancelNextNavigation = f.mbCancelNextNavigation;
    in.bNavigateInOtherWindow = w.bNavigateInOtherWindow;
    in.bOpenInSameWindow = w.bOpenInSameWindow;
    in.gbExiting = ctx.gbExiting;
    in.giBrowsingMode = ctx.giBrowsingMode;
    in.formCapturePending = hooks.formCapturePending && hooks.formCapturePending();
    in.secureLinksInPlace =
        ctx.gFile && ctx.gFile->GetOption(QStringLiteral("SecureLinksInPlace"), false).toBool();

    const NavDecision d = decideNavigation(in);
    if (d.clearCancelNext)
        f.mbCancelNextNavigation = false;
    if (d.captureForm && hooks.captureForm)
        hooks.captureForm(w, info);

    switch (d.action) {
    case NavAction::Allow:
        if (d.rule == NavRule::Routing && info.disposition != WindowDisposition::CurrentWindow) {
            // A new-window request follows; NewWindow2 wants the click's modifiers.
            f.newWindowUrl = info.url;
            f.newWindowModifiers = info.modifiers;
        }
        return false;
    case NavAction::Cancel:
        return true;
    case NavAction::CancelFreeSlot:
        m_reader.pool.setState(w.miTag, QStringLiteral("f"));
        return true;
    case NavAction::OpenWithDesktop:
        if (ctx.shell)
            (void)ctx.shell->openUrl(info.url);
        return true;
    case NavAction::RunCommand:
        runCommand(w, in.url, info.source, info.modifiers);
        return true;
    case NavAction::FeedViewer:
        OpenFeedViewer(in.url);
        if (ctx.ui)
            ctx.ui->beep();
        return true;
    case NavAction::LoadElsewhere:
    case NavAction::CancelRouted:
        applyRouted(w, d, in.url, info.postData, info.headers);
        return true;
    }
    return false;
}

void Navigator::applyRouted(DocumentWindow &w, const NavDecision &d, const QString &url,
                            const QByteArray &postData, const QString &headers)
{
    AppContext &ctx = m_reader.ctx;
    if (d.restoreTabbedMode)
        ctx.giBrowsingMode = 4;
    if (d.consumeLinkClick)
        flags(w).mbLinkClicked = false;
    if (d.showUrlInStatus)
        showStatusBriefly(url, kRoutedStatusMs);
    if (d.action != NavAction::LoadElsewhere)
        return;
    LoadRequest r;
    r.url = url;
    r.where = d.where;
    r.postData = postData;
    r.headers = headers;
    (void)m_reader.queue.LoadDocument(r);
}

void Navigator::routeLikeClick(DocumentWindow &w, const QString &url,
                               Qt::KeyboardModifiers modifiers, NavigationSource source,
                               const QByteArray &postData, const QString &headers)
{
    if (source != NavigationSource::ProgramPage && ProgramPages::hasProgramScheme(QUrl(url)))
        return;
    BeforeNavigateInfo info;
    info.url = QUrl(url);
    info.kind = NavigationKind::LinkClicked;
    info.linkClicked = true;
    info.modifiers = modifiers;
    info.button = Qt::LeftButton;
    info.postData = postData;
    info.isPost = !postData.isEmpty();
    info.headers = headers;
    info.source = source;
    if (brwWebBrowser_BeforeNavigate2(w, info))
        return;
    // Stays here: the window's own navigation, not routed again.
    (void)w.navigateHere(QUrl(url), headers, postData);
}

BrowserControl *Navigator::brwWebBrowser_NewWindow2(DocumentWindow &w, const NewWindowInfo &info)
{
    AppContext &ctx = m_reader.ctx;
    WindowFlags &f = flags(w);

    NewWindowInput in;
    in.mbClosing = w.isClosing();
    in.gbExiting = ctx.gbExiting;
    in.bActiveForm = w.bActiveForm;
    in.bAllowOpenInNewWindow = w.bAllowOpenInNewWindow;
    in.modifiers = (f.newWindowUrl == info.url) ? f.newWindowModifiers
                   : ctx.ui                     ? ctx.ui->keyboardModifiers()
                                                : Qt::NoModifier;
    f.newWindowUrl.clear();
    f.newWindowModifiers = Qt::NoModifier;

    const NewWindowDecision d = decideNewWindow(in);
    if (d.action == NewWindowAction::Cancel)
        return nullptr;
    if (d.action == NewWindowAction::CancelAndNextToo) {
        f.mbCancelNextNavigation = true;
        return nullptr;
    }
    if (ctx.ui)
        ctx.ui->beep();
    showStatusBriefly(newWindowStatusText(), kNewWindowStatusMs);
    const int slot = m_reader.queue.newWindowFor(info.url.toString(), d.bNext);
    DocumentWindow *target = slot < 0 ? nullptr : m_reader.pool.window(slot);
    // No window now: the page waits in the queue.
    return target ? target->brwWebBrowser : nullptr;
}

void Navigator::OpenFeedViewer(const QString &url)
{
    m_reader.host.openFeedViewer(url, 0);
}

void Navigator::SetOfflineMode(bool bOffline)
{
    AppContext &ctx = m_reader.ctx;
    ctx.gbOffline = bOffline;
    for (int i = 0; i < m_reader.pool.slotCount(); ++i) {
        if (DocumentWindow *w = m_reader.pool.window(i); w && w->brwWebBrowser)
            w->brwWebBrowser->setOffline(bOffline);
    }
}

QString Navigator::downloadFolder()
{
    const QString home = qEnvironmentVariable("SKIMLINE_HOME");
    if (!home.isEmpty())
        return QDir(home).filePath(QStringLiteral("Downloads"));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::home().filePath(QStringLiteral("Downloads"));
    return folder;
}

QString Navigator::downloadRequested(DocumentWindow &w, const QUrl &url,
                                     const QString &suggestedName)
{
    const QString folder = downloadFolder();
    if (!QDir().mkpath(folder))
        return QString();
    const QString path = downloadPath(folder, url, suggestedName,
                                      [](const QString &p) { return QFileInfo::exists(p); });
    if (w.bActiveForm)
        m_reader.host.setStatusText(3, QStringLiteral("Downloading to ") + path);
    return path;
}

void Navigator::downloadFinished(DocumentWindow &w, const QString &path, bool ok)
{
    Q_UNUSED(w);
    m_reader.host.setStatusText(
        3, (ok ? QStringLiteral("Downloaded to ") : QStringLiteral("Download failed: ")) + path);
}

// ---------------------------------------------------------------- command links

void Navigator::runCommand(DocumentWindow &w, const QString &url, NavigationSource source,
                           Qt::KeyboardModifiers modifiers)
{
    CommandContext c;
    c.slot = w.miTag;
    c.modifiers = modifiers;
    c.source = source;
    (void)m_commands.run(url, c);
}

void Navigator::registerOwnCommands()
{
    (void)m_commands.registerHandler(
        QStringLiteral("rpt"),
        [this](const QString &, const CommandContext &) { m_reader.report.mnuReport_Click(); });
    (void)m_commands.registerHandler(QStringLiteral("frm"),
                                     [](const QString &, const CommandContext &) {});
    (void)m_commands.registerHandler(QStringLiteral("ldf"), [this](const QString &arg,
                                                                   const CommandContext &) {
        bool ok = false;
        const int slot = arg.trimmed().toInt(&ok);
        if (ok && slot >= 0 && !m_reader.pool.state(slot).isEmpty() && m_reader.pool.window(slot)) {
            m_reader.pool.ActivateWindow(slot);
            return;
        }
        if (m_reader.ctx.ui)
            (void)m_reader.ctx.ui->messageBox(closedWindowMessage(), QStringLiteral("Skimline"));
    });
    (void)m_commands.registerHandler(
        QStringLiteral("loc"), [this](const QString &arg, const CommandContext &c) {
            QString url = arg;
            if (!url.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
                // A local path or a bare host becomes a full address.
                if (QDir::isAbsolutePath(url))
                    url = QUrl::fromLocalFile(url).toString();
                else if (!url.contains(QLatin1String("://")))
                    url = QStringLiteral("http://") + url;
                CWinInet_URL parts;
                const URLParts p = parts.URLparts(url);
                if (!p.valid)
                    return;
                url = p.url;
            }
            // An address to load, never a script to run in the program's page.
            const QString scheme = QUrl(url).scheme().toLower();
            if (scheme == QLatin1String("javascript") || scheme == QLatin1String("vbscript"))
                return;
            DocumentWindow *w = m_reader.pool.window(c.slot);
            if (!w)
                w = current();
            if (w)
                routeLikeClick(*w, url, c.modifiers, NavigationSource::ProgramPage);
        });
    // A favorite by its bookmark, to be read next (as a favorite: its visit is counted).
    (void)m_commands.registerHandler(QStringLiteral("ubm"),
                                     [this](const QString &arg, const CommandContext &) {
                                         bool ok = false;
                                         const double bookmark = arg.trimmed().toDouble(&ok);
                                         if (!ok || bookmark == 0)
                                             return;
                                         LoadRequest r;
                                         r.source = LoadSource::Favorite;
                                         r.bookmark = bookmark;
                                         r.where = LoadWhere::Next;
                                         (void)m_reader.queue.LoadDocument(r);
                                     });
    (void)m_commands.registerHandler(QStringLiteral("str"),
                                     [this](const QString &arg, const CommandContext &) {
                                         bool ok = false;
                                         const int option = arg.trimmed().toInt(&ok);
                                         if (ok)
                                             zStartPageOptions(option);
                                     });
}

void Navigator::zStartPageOptions(int option)
{
    switch (option) {
    case 2:
        m_reader.host.loadScheduledPages(0);
        return;
    case 4:
        m_reader.queue.mnuOL_LastSession_Click(0);
        return;
    case 5:
        m_reader.queue.mnuOL_LastSession_Click(2);
        return;
    case 10:
        m_reader.queue.mnuOL_LastSession_Click(1);
        return;
    case 11:
        m_reader.queue.SaveNextSessionURL(1);
        return;
    default:
        if (option >= 0 && option <= 11 && hooks.startPageOption)
            (void)hooks.startPageOption(option);
        return;
    }
}

// ---------------------------------------------------------------- keys

bool Navigator::Form_KeyDown(DocumentWindow &w, const KeyInfo &key)
{
    KeyState state;
    state.textEntry = m_reader.ctx.gbTextEntry;
    state.mbNavigateBack = w.mbNavigateBack;
    const KeyCommand cmd = keyDownCommand(key.virtualKey, key.modifiers, state);
    switch (cmd) {
    case KeyCommand::None: {
        // A key that acts on its release is the program's from its press on: the page must
        // not act on it too. Ctrl on its own stays everybody's.
        const KeyCommand up = keyUpCommand(key.virtualKey, key.modifiers, state);
        return up != KeyCommand::None && up != KeyCommand::FocusLargestFrame;
    }
    case KeyCommand::PageTop:
        if (DocumentWindow *cur = current(); cur && cur->brwWebBrowser)
            cur->brwWebBrowser->document().scrollTo(0, 0);
        return true;
    case KeyCommand::PageEnd:
        if (DocumentWindow *cur = current(); cur && cur->brwWebBrowser) {
            Document &doc = cur->brwWebBrowser->document();
            const DocumentSnapshot s = doc.snapshot();
            // Clamped to the page's end.
            doc.scrollTo(s.scrollLeft, qMax(s.scrollHeight, 1 << 24));
        }
        return true;
    case KeyCommand::Refresh:
        m_reader.queue.mnuRefresh_Click();
        return true;
    default:
        return hooks.frameCommand && hooks.frameCommand(cmd, w);
    }
}

bool Navigator::Form_KeyUp(DocumentWindow &w, const KeyInfo &key)
{
    if (key.isAutoRepeat)
        return false;
    AppContext &ctx = m_reader.ctx;
    WindowPool &pool = m_reader.pool;
    KeyState state;
    state.textEntry = ctx.gbTextEntry;
    state.mbNavigateBack = w.mbNavigateBack;
    const KeyCommand cmd = keyUpCommand(key.virtualKey, key.modifiers, state);
    switch (cmd) {
    case KeyCommand::None:
        return false;
    case KeyCommand::NextWindow:
        pool.mnuNextDoc_Click();
        return true;
    case KeyCommand::PreviousWindow:
        pool.mnuPreviousDoc_Click();
        return true;
    case KeyCommand::CycleBrowseMode:
        pool.zBrowseMode(4);
        return true;
    case KeyCommand::KeepAndNext:
        pool.zKeepInMemory(w.miTag, true);
        return true;
    case KeyCommand::MarkForClosing:
        pool.zMarkForClosing();
        return true;
    case KeyCommand::BackToPreviousWindow:
        pool.mnuNav_PrevWin_Click();
        return true;
    case KeyCommand::GoBack:
        m_reader.queue.mnuBack_Click();
        return true;
    case KeyCommand::FocusLargestFrame:
        if (DocumentWindow *cur = current())
            cur->LargestFrame_SetFocus();
        return false; // Ctrl's release is everybody's
    case KeyCommand::FocusDiagnostic:
        m_reader.host.setStatusText(
            1, QStringLiteral("Focus set. Window=") + QString::number(w.miTag) +
                   QStringLiteral("; Active Window = ") + QString::number(ctx.giCurrentWindow));
        if (DocumentWindow *cur = current())
            cur->zSetFocus();
        return true;
    case KeyCommand::SaveForm:
        m_reader.form.SaveForm(w);
        return true;
    case KeyCommand::FillForm:
        m_reader.form.FillForm(w);
        return true;
    case KeyCommand::ResetForms:
        m_reader.form.ResetForms(w);
        return true;
    default:
        return hooks.frameCommand && hooks.frameCommand(cmd, w);
    }
}

// ---------------------------------------------------------------- document events

void Navigator::domEvent(DocumentWindow &w, const DomEvent &event)
{
    if (w.isClosing())
        return;
    switch (event.type) {
    case DomEventType::Click:
        Doc_onclick(w, event);
        break;
    case DomEventType::DblClick:
        Doc_ondblclick(w, event);
        break;
    case DomEventType::FocusIn:
        Doc_onfocusin(w, event);
        break;
    case DomEventType::FocusOut:
        Doc_onfocusout(w, event);
        break;
    case DomEventType::KeyDown:
        Doc_onkeydown(w, event);
        break;
    case DomEventType::MouseDown:
        Doc_onmousedown(w, event);
        break;
    case DomEventType::MouseOver:
        Doc_onmouseover(w, event);
        break;
    case DomEventType::ContextMenu:
        Doc_oncontextmenu(w, event);
        break;
    default:
        break;
    }
}

void Navigator::Doc_onclick(DocumentWindow &w, const DomEvent &event)
{
    const ElementSnapshot &src = event.source;
    Document *doc = w.DocumentObject();
    const bool detailsToggle =
        src.id == QLatin1String("HShow") ||
        src.className.split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(QLatin1String("HShow"));
    if (doc && detailsToggle) {
        // The details belong to the toggle by its name, or by its id when it has no name.
        const QString related = src.name.isEmpty() ? src.id : src.name;
        doc->setStyle(src.ref(), QStringLiteral("display"), QStringLiteral("none"));
        if (!related.isEmpty())
            doc->setStyle(ElementRef(related + QStringLiteral("HD")), QStringLiteral("display"),
                          QStringLiteral("block"));
    }
    // A click in a frame has given that frame the focus; taking it to the top would stop
    // its keys.
    if ((src.tagName == QLatin1String("BODY") || !src.linkHref.isEmpty()) && w.bActiveForm &&
        !m_reader.ctx.gbTextEntry && event.frameIndex < 0)
        w.LargestFrame_SetFocus();
    flags(w).mbLinkClicked = true;
}

void Navigator::Doc_ondblclick(DocumentWindow &w, const DomEvent &event)
{
    if (event.buttons & 2) {
        gbSuppressContextMenu = true;
        return;
    }
    const QString &tag = event.source.tagName;
    if ((tag == QLatin1String("INPUT") || tag == QLatin1String("TEXTAREA")) &&
        hooks.formFieldDoubleClick)
        hooks.formFieldDoubleClick(w, event.source);
}

bool Navigator::textEntryElement(const ElementSnapshot &e) const
{
    return isFieldTag(e.tagName) || e.isEditable;
}

void Navigator::Doc_onfocusin(DocumentWindow &w, const DomEvent &event)
{
    if (!w.bActiveForm) {
        // A background page took the focus (a script, a loading page): give it back.
        if (DocumentWindow *cur = current(); cur && cur != &w)
            cur->LargestFrame_SetFocus();
        return;
    }
    if (textEntryElement(event.source)) {
        m_textEntryWindow = &w;
        updateTextEntry();
    }
}

void Navigator::Doc_onfocusout(DocumentWindow &w, const DomEvent &event)
{
    // Also when the window is no longer the active one: the report of a field left comes
    // after the switch to another window.
    if (textEntryElement(event.source))
        pageFieldGone(w);
}

void Navigator::pageFieldGone(DocumentWindow &w)
{
    if (m_textEntryWindow != &w)
        return;
    m_textEntryWindow = nullptr;
    updateTextEntry();
}

void Navigator::setProgramFieldFocused(bool focused)
{
    m_programFieldFocused = focused;
    updateTextEntry();
}

void Navigator::updateTextEntry()
{
    m_reader.ctx.gbTextEntry = m_programFieldFocused || m_textEntryWindow != nullptr;
}

void Navigator::scrollPage(DocumentWindow &w, int direction)
{
    if (!w.brwWebBrowser)
        return;
    Document &doc = w.brwWebBrowser->document();
    const DocumentSnapshot s = doc.snapshot();
    doc.scrollTo(s.scrollLeft, pageKeyTarget(s.scrollTop, s.clientHeight, direction));
}

void Navigator::Doc_onkeydown(DocumentWindow &w, const DomEvent &event)
{
    if (textEntryElement(event.source))
        return;
    KeyState state;
    state.textEntry = m_reader.ctx.gbTextEntry;
    const KeyCommand cmd = pageKeyCommand(event.keyCode, event.modifiers, state);
    if (event.frameIndex >= 0) {
        // A frame's key pages that frame; Space does so already, the frame having the focus.
        if ((cmd == KeyCommand::PageDown || cmd == KeyCommand::PageUp) && w.brwWebBrowser)
            w.brwWebBrowser->document().scrollFramePage(cmd == KeyCommand::PageDown ? 1 : -1,
                                                        kPageOverlap, std::nullopt);
        return;
    }
    switch (cmd) {
    case KeyCommand::FocusDocument:
        w.zSetFocus();
        break;
    case KeyCommand::PageDown:
        scrollPage(w, 1);
        break;
    case KeyCommand::PageUp:
        scrollPage(w, -1);
        break;
    default:
        break;
    }
}

void Navigator::Doc_onmousedown(DocumentWindow &w, const DomEvent &event)
{
    if (event.button != 1 || !(event.modifiers & Qt::ControlModifier))
        return;
    if (Document *doc = w.DocumentObject()) {
        // A frameset's zoom is the view's (the wheel zoomed it there).
        if (doc->snapshot().isFrameset && w.brwWebBrowser)
            w.brwWebBrowser->setZoomFactor(1.0);
        else
            w.setDocumentZoom(QString());
    }
    miZoom = 100;
}

void Navigator::focusFrame(DocumentWindow &w, int frameIndex)
{
    if (!w.brwWebBrowser || frameIndex < 0)
        return;
    w.brwWebBrowser->setFocus();
    Document *doc = &w.brwWebBrowser->document();
    const quint64 generation = doc->snapshot().generation;
    // The top document's frame elements are in the order of window.frames; focusing one
    // puts the keyboard into its document.
    doc->querySelectorAll(QStringLiteral("frame, iframe"),
                          [doc, frameIndex, generation](const QList<ElementSnapshot> &frames) {
                              if (frameIndex < frames.size() &&
                                  doc->snapshot().generation == generation)
                                  doc->focus(frames.at(frameIndex).ref());
                          });
}

void Navigator::Doc_onmouseover(DocumentWindow &w, const DomEvent &event)
{
    if (event.source.tagName != QLatin1String("BODY") || m_reader.ctx.gbTextEntry ||
        !w.bActiveForm || !m_reader.host.isInForeground())
        return;
    if (event.frameIndex >= 0)
        focusFrame(w, event.frameIndex);
    else
        w.zSetFocus();
}

void Navigator::Doc_oncontextmenu(DocumentWindow &w, const DomEvent &event)
{
    m_menus.pageReported(w, event);
}

// ---------------------------------------------------------------- wheel and menus

bool Navigator::OnMouseWheel(DocumentWindow &w, const WheelInfo &wheel)
{
    return m_wheel.turn(w, wheel);
}

bool Navigator::mouseButtonPressed(DocumentWindow &, const MouseInfo &mouse)
{
    m_menus.buttonPressed(mouse);
    return false;
}

bool Navigator::mouseButtonReleased(DocumentWindow &, const MouseInfo &mouse)
{
    m_menus.buttonReleased(mouse);
    return false;
}

bool Navigator::OnContextMenu(DocumentWindow &w, const ContextMenuInfo &info)
{
    return m_menus.menuRequested(w, info);
}

void Navigator::contextMenuClosed()
{
    m_menus.menuClosed();
}

void Navigator::FormFieldCommand(const QString &command)
{
    m_menus.formFieldCommand(command);
}

void Navigator::SetActiveStyle(Document &doc, const ElementSnapshot &element)
{
    m_menus.setActiveStyle(doc, element);
}

void Navigator::ResetStyle(Document &doc)
{
    m_menus.resetStyle(doc);
}

// ---------------------------------------------------------------- open all links

void Navigator::mnuOL_OpenAllLinks_Click(int index)
{
    if (index < 0 || index > 4)
        return;
    DocumentWindow *w = current();
    if (!w || !w->brwWebBrowser)
        return;
    Reader *reader = &m_reader;
    QPointer<QObject> guard(&m_guard);
    openAllLinks(w->brwWebBrowser->document(), OpenLinksKind(index), w->msURL, w->intFrames > 0,
                 [reader, guard](const QString &address) {
                     if (!guard)
                         return;
                     LoadRequest r;
                     r.url = address;
                     r.where = LoadWhere::Next;
                     r.bQuiet = true;
                     (void)reader->queue.LoadDocument(r);
                 });
}

bool Navigator::mnuOpenLinks_Click() const
{
    DocumentWindow *w = current();
    return w && w->brwWebBrowser && w->brwWebBrowser->queryCommandEnabled(BrowserCommand::Copy);
}
