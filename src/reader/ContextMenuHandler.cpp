#include "reader/ContextMenuHandler.h"

#include "platform/PageWriter.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Navigator.h"
#include "reader/Reader.h"
#include "reader/WheelGestures.h"

ContextMenuHandler::ContextMenuHandler(Reader &reader, Navigator &nav)
    : m_reader(reader), m_nav(nav)
{}

void ContextMenuHandler::forget(const DocumentWindow &w)
{
    if (m_activeStyleWindow == &w) {
        m_activeStyleWindow = nullptr;
        m_activeStyleHandle = 0;
    }
    if (m_lastContextWindow == &w)
        m_lastContextWindow = nullptr;
}

void ContextMenuHandler::buttonPressed(const MouseInfo &mouse)
{
    m_buttonsHeld = mouse.buttons;
    if (mouse.button == Qt::RightButton) {
        m_rightPressModifiers = mouse.modifiers;
        ++m_rightPresses;
    }
}

void ContextMenuHandler::buttonReleased(const MouseInfo &mouse)
{
    m_buttonsHeld = mouse.buttons;
}

void ContextMenuHandler::pageReported(const DocumentWindow &w, const DomEvent &event)
{
    m_lastContextElement = event.source;
    m_lastContextWord = event.word;
    m_lastContextWindow = &w;
    m_lastContextPress = m_rightPresses;
}

bool ContextMenuHandler::menuRequested(DocumentWindow &w, const ContextMenuInfo &info)
{
    AppContext &ctx = m_reader.ctx;
    ContextMenuInput in;
    in.suppress = m_nav.gbSuppressContextMenu;
    m_nav.gbSuppressContextMenu = false;
    in.modifiers = m_rightPressModifiers | (ctx.ui ? ctx.ui->keyboardModifiers() : Qt::NoModifier);
    m_rightPressModifiers = Qt::NoModifier;
    const Qt::MouseButtons held = m_buttonsHeld | (ctx.ui ? ctx.ui->mouseButtons() : Qt::NoButton);
    in.leftButtonHeld = held & Qt::LeftButton;
    in.onLink = !info.linkUrl.isEmpty();
    // The page's own report of the click, when it is this click's: the element and the word.
    const bool fresh = m_lastContextWindow == &w && m_lastContextPress == m_rightPresses;
    const ElementSnapshot element = fresh ? m_lastContextElement : ElementSnapshot();
    const QString word = fresh ? m_lastContextWord.trimmed() : QString();
    m_lastContextPress = ~quint64(0); // one report answers one menu
    if (fresh) {
        in.tagName = element.tagName;
        in.inputType = element.type;
    } else if (info.isEditable) {
        // Without the page's report the engine's word stands: an editable spot is a field.
        in.tagName = QStringLiteral("INPUT");
        in.inputType = QStringLiteral("text");
    }
    // Other editable places (content-editable text, other input types) keep the engine's
    // editing menu.
    in.hasText = !info.isEditable && (!info.selectedText.trimmed().isEmpty() || !word.isEmpty());

    const Navigator::Hooks &hooks = m_nav.hooks;
    switch (decideContextMenu(in)) {
    case ContextMenuAction::Nothing:
        return false;
    case ContextMenuAction::EngineMenu:
        return true;
    case ContextMenuAction::CloseWindow:
        if (DocumentWindow *cur = m_reader.pool.current())
            cur->zClose();
        return false;
    case ContextMenuAction::TakeOverLink: {
        DocumentWindow *cur = m_reader.pool.current();
        if (!cur)
            cur = &w;
        const LinkTakeOver t = takeOverLink(ctx.giBrowsingMode);
        ctx.giBrowsingMode = t.browsingMode;
        cur->bNavigateInOtherWindow = t.navigateInOtherWindow;
        // The link is followed as the page it is in would follow it: a web page's command
        // link stays a dead link. The document shown, not the address of a load under way.
        const bool programPage = w.brwWebBrowser && ProgramPages::isProgramUrl(
                                                        w.brwWebBrowser->document().snapshot().url);
        m_nav.routeLikeClick(*cur, info.linkUrl.toString(), Qt::NoModifier,
                             programPage ? NavigationSource::ProgramPage
                                         : NavigationSource::WebContent);
        // A mode still transient here was not used by a routed link: back to Tabbed Browser.
        if (ctx.giBrowsingMode == 5)
            ctx.giBrowsingMode = 4;
        return false;
    }
    case ContextMenuAction::TextMenu: {
        if (!hooks.documentMenu)
            return true;
        m_nav.gsSelectedText = !info.selectedText.trimmed().isEmpty() ? info.selectedText : word;
        // Handles reach into the frames too: a frame's element is marked like the top's.
        // The whole page under the pointer (a click beside the text) is no element to point
        // out: marking it would turn the page red.
        static const QStringList wholePage = {QStringLiteral("BODY"), QStringLiteral("HTML"),
                                              QStringLiteral("FRAMESET")};
        Document *doc = w.DocumentObject();
        if (doc && element.handle && !wholePage.contains(element.tagName)) {
            menuClosed(); // a mark left by an earlier menu
            setActiveStyle(*doc, element);
            m_activeStyleWindow = &w;
        }
        hooks.documentMenu(w, m_nav.gsSelectedText, info.position);
        return false;
    }
    case ContextMenuAction::FormFieldMenu:
        if (!hooks.formFieldMenu)
            return true;
        m_formFieldSlot = w.miTag;
        hooks.formFieldMenu(w, info.position);
        return false;
    }
    return true;
}

void ContextMenuHandler::menuClosed()
{
    const DocumentWindow *w = m_activeStyleWindow;
    m_activeStyleWindow = nullptr;
    if (!w || !w->brwWebBrowser) {
        m_activeStyleHandle = 0;
        return;
    }
    resetStyle(w->brwWebBrowser->document());
}

void ContextMenuHandler::formFieldCommand(const QString &command)
{
    m_nav.gsFormDataCommand = command;
    DocumentWindow *w = m_formFieldSlot >= 0 ? m_reader.pool.window(m_formFieldSlot) : nullptr;
    if (!w || w->isClosing() || !w->brwWebBrowser || command.isEmpty())
        return;
    if (command == QLatin1String("sklPaste")) {
        (void)w->brwWebBrowser->execCommand(BrowserCommand::Paste);
    } else if (command == QLatin1String("sklEdit")) {
        if (m_nav.hooks.formDataEditor)
            m_nav.hooks.formDataEditor(*w);
    } else {
        // A snippet: typed into the field that has the focus, as the user would.
        w->brwWebBrowser->document().execCommand(QStringLiteral("insertText"), false, command);
    }
}

void ContextMenuHandler::setActiveStyle(Document &doc, const ElementSnapshot &element)
{
    m_activeStyleHandle = element.handle;
    m_savedStyle = element.styleText;
    const ElementRef ref = element.ref();
    doc.setStyle(ref, QStringLiteral("color"), QStringLiteral("red"));
    doc.setStyle(ref, QStringLiteral("background-color"), QStringLiteral("white"));
    doc.setStyle(ref, QStringLiteral("font-weight"), QStringLiteral("900"));
}

void ContextMenuHandler::resetStyle(Document &doc)
{
    if (!m_activeStyleHandle)
        return;
    doc.setAttribute(ElementRef::fromHandle(m_activeStyleHandle), QStringLiteral("style"),
                     m_savedStyle);
    m_activeStyleHandle = 0;
    m_savedStyle.clear();
}
