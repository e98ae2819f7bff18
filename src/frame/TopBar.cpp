#include "frame/TopBar.h"

#include "frame/Pane.h"
#include "frame/PanePages.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"

#include <QPointer>
#include <QWidget>

namespace {

const QString kBox = QStringLiteral("SearchTerms");
const QString kHighlightStyle = QStringLiteral("color:red;background-color:yellow");

bool isField(const ElementSnapshot &e)
{
    return e.tagName == QLatin1String("INPUT") || e.tagName == QLatin1String("TEXTAREA") ||
           e.tagName == QLatin1String("SELECT");
}

} // namespace

void TrackTextEntry(AppContext &ctx, const DomEvent &event)
{
    if (event.type == DomEventType::FocusIn && isField(event.source))
        setProgramFieldFocused(ctx, true);
    else if (event.type == DomEventType::FocusOut)
        setProgramFieldFocused(ctx, false);
}

TopBar::TopBar(AppContext &ctx, Pane &pane, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_pane(pane), m_boxText(QLatin1String(PanePages::kPlaceholder))
{
    connect(&pane, &Pane::ready, this, &TopBar::pageReady);
    connect(&pane, &Pane::domEvent, this, &TopBar::onDomEvent);
    connect(&pane, &Pane::snapshotChanged, this, &TopBar::fitHeight);
}

void TopBar::pageReady()
{
    Document &doc = m_pane.document();
    applyRules();
    // Chromium knows no "hand" cursor; cells are not text to select; Verdana is rarely there.
    doc.addCssRule(QStringLiteral("td"), QStringLiteral("cursor:pointer;user-select:none;"
                                                        "font-family:Verdana,'DejaVu Sans',"
                                                        "sans-serif"));
    doc.addCssRule(QStringLiteral("input"),
                   QStringLiteral("font-family:Verdana,'DejaVu Sans',sans-serif"));
    doc.addCssRule(QStringLiteral(".sep"), QStringLiteral("cursor:auto"));
    // The pane is as tall as its page: a scroll bar could only flash while it grows. In a
    // narrow window the cells of both rows wrap rather than leave the pane.
    doc.addCssRule(QStringLiteral("html,body"), QStringLiteral("overflow:hidden"));
    doc.addCssRule(QStringLiteral("#SearchMenu tr,table[align=right] tr"),
                   QStringLiteral("display:flex;flex-wrap:wrap"));
    // The address box takes what the row of sidebar tabs leaves of the pane's width.
    doc.addCssRule(QStringLiteral("table[align=right]"), QStringLiteral("width:100%"));
    doc.addCssRule(QStringLiteral("table[align=right] td:nth-last-child(2)"),
                   QStringLiteral("flex:1 1 16em"));
    doc.addCssRule(QStringLiteral("#AddrBox"),
                   QStringLiteral("width:100%;min-width:16em;box-sizing:border-box"));
    markSearchTab(SearchBox::tabId(m_selectedTab));
    zTopBar();
}

void TopBar::setAddressBoxRules(const QList<EventRule> &rules)
{
    m_addressRules = rules;
    if (m_pane.isReady())
        applyRules();
}

void TopBar::applyRules()
{
    QList<EventRule> rules;
    EventRule escape;
    escape.type = DomEventType::KeyDown;
    escape.selector = QStringLiteral("#SearchTerms");
    escape.keyCode = 27;
    rules << escape;
    EventRule enter = escape;
    enter.type = DomEventType::KeyPress;
    enter.keyCode = 13;
    rules << enter;
    m_pane.document().setEventRules(rules + m_addressRules);
}

// ---------------------------------------------------------------------------------------------
// Events

void TopBar::onDomEvent(const DomEvent &event)
{
    TrackTextEntry(m_ctx, event);
    const ElementSnapshot &src = event.source;
    if (src.id == QLatin1String("AddrBox") || src.id == QLatin1String("selHistory")) {
        if (addressBoxEvent)
            addressBoxEvent(event);
        return;
    }
    if (src.id == kBox) {
        m_boxText = src.value;
        switch (event.type) {
        case DomEventType::FocusIn:
            if (src.value == QLatin1String(PanePages::kPlaceholder))
                setSearchBoxText(QString());
            return;
        case DomEventType::DblClick:
            setSearchBoxText(QString());
            return;
        case DomEventType::KeyDown:
            if (event.keyCode == 27)
                setSearchBoxText(QString());
            return;
        case DomEventType::KeyPress:
            if (event.keyCode == 13)
                Inp_onkeypress(event);
            else
                setProgramFieldFocused(m_ctx, true);
            return;
        default:
            return;
        }
    }
    if (event.type == DomEventType::MouseUp && src.id == QLatin1String("mode")) {
        if (m_ctx.reader)
            m_ctx.reader->pool.zBrowseMode(4);
        return;
    }
    if (event.type == DomEventType::Click)
        aDoc_onclick(src);
}

void TopBar::aDoc_onclick(const ElementSnapshot &src)
{
    const QString &id = src.id;
    if (id.isEmpty())
        return;
    if (src.className == QLatin1String("ff")) {
        DocumentWindow *w =
            m_ctx.reader ? m_ctx.reader->pool.window(m_ctx.giCurrentWindow) : nullptr;
        if (!w)
            return;
        cForm &form = m_ctx.reader->form;
        if (id == QLatin1String("fc"))
            form.ResetForms(*w);
        else if (id == QLatin1String("fs"))
            form.SaveForm(*w);
        else if (id == QLatin1String("ff"))
            form.FillForm(*w);
        return;
    }
    // "sa" is the answers tab's class: it is a search tab like the others.
    if (src.className == QLatin1String("se") || src.className == QLatin1String("sa"))
        markSearchTab(id);
    if (id == QLatin1String("m0")) {
        if (flipHeadingsSwitch)
            flipHeadingsSwitch();
        if (xShowSidebarTab)
            xShowSidebarTab(id, 1);
        return;
    }
    if (id == QLatin1String("Notes")) {
        if (showNotes)
            showNotes();
        return;
    }
    if (id == QLatin1String("prevwin")) {
        if (m_ctx.reader)
            m_ctx.reader->pool.mnuNav_PrevWin_Click();
        return;
    }
    if (id == QLatin1String("mode"))
        return; // the mouse-up changes the mode
    if (id.startsWith(QLatin1Char('m'))) {
        if (xShowSidebarTab)
            xShowSidebarTab(id, 1);
        return;
    }
    if (id == QLatin1String("FavEdit") || id == QLatin1String("FavDelete")) {
        if (favoriteCommand)
            favoriteCommand(id == QLatin1String("FavEdit") ? 0 : 1);
        return;
    }
    if (src.tagName == QLatin1String("TD") && SearchBox::tabNumber(id) >= 0) {
        // The box's text as it is now, not as the last event showed it.
        QPointer<TopBar> self(this);
        m_pane.document().queryElement(kBox, [self, id](const auto &box) {
            if (self)
                self->searchTabClicked(id, box ? box->value : self->m_boxText);
        });
    }
}

void TopBar::Inp_onkeypress(const DomEvent &event)
{
    const QString text = event.source.value;
    m_boxText = text;
    const QString tab = SearchBox::prefixTab(text);
    if (tab.isEmpty()) {
        searchTabClicked(SearchBox::tabId(m_selectedTab), text);
        return;
    }
    const QString rest = text.mid(2);
    setSearchBoxText(rest);
    if (tab != QLatin1String("sh"))
        markSearchTab(tab);
    searchTabClicked(tab, rest);
}

void TopBar::searchTabClicked(const QString &id, const QString &boxText)
{
    m_boxText = boxText;
    const QString text = searchBoxText().trimmed();
    const bool sh = id == QLatin1String("sh");
    if (text.isEmpty() && !(sh && m_highlightOn)) {
        focusSearchBox();
        return;
    }
    if (!sh) {
        m_selectedTab = SearchBox::tabNumber(id);
        zSearch();
    } else if (m_highlightOn) {
        highlightOff();
    } else {
        zHighlight();
    }
}

// ---------------------------------------------------------------------------------------------
// The search box

QString TopBar::searchBoxText() const
{
    return m_boxText == QLatin1String(PanePages::kPlaceholder) ? QString() : m_boxText;
}

void TopBar::setSearchBoxText(const QString &text)
{
    m_boxText = text;
    m_pane.document().setValue(kBox, text);
}

void TopBar::zSearch()
{
    const QString text = searchBoxText().trimmed();
    switch (m_selectedTab) {
    case 3:
        if (xShowSidebarTab)
            xShowSidebarTab(QStringLiteral("s3"), 1);
        break;
    case 4:
        if (!(zHistoryShow && zHistoryShow()) && xShowSidebarTab)
            xShowSidebarTab(QStringLiteral("s4"), 1);
        break;
    default:
        if (!text.isEmpty())
            load(m_services.url(m_selectedTab, text), LoadWhere::Background);
        break;
    }
    setProgramFieldFocused(m_ctx, false);
    focusCurrentWindow();
}

void TopBar::OpenSearchShortcut(const QString &text)
{
    const QString templateUrl = m_ctx.gSearchEngines.item(text.left(1));
    if (templateUrl.isEmpty())
        return;
    const QString url = SearchBox::fillTemplate(templateUrl, text.mid(2));
    load(url, text.mid(1, 1) == QLatin1String("/") ? LoadWhere::Here : LoadWhere::Next);
}

void TopBar::load(const QString &url, LoadWhere where)
{
    if (!url.isEmpty() && m_ctx.LoadDocument)
        m_ctx.LoadDocument(url, where);
}

void TopBar::focusSearchBox()
{
    m_pane.control().setFocus();
    setProgramFieldFocused(m_ctx, true); // at once, as the address box
    m_pane.document().focus(kBox);
}

void TopBar::focusCurrentWindow()
{
    if (!m_ctx.reader)
        return;
    if (DocumentWindow *w = m_ctx.reader->pool.current())
        w->zSetFocus();
}

// ---------------------------------------------------------------------------------------------
// Highlighting

void TopBar::zHighlight()
{
    m_highlightText = searchBoxText().trimmed();
    if (m_highlightText.isEmpty()) {
        m_highlightOn = false;
        return;
    }
    m_pane.document().setStyle(QStringLiteral("sh"), QStringLiteral("background-color"),
                               QStringLiteral("yellow"));
    m_pane.document().setStyle(QStringLiteral("sh"), QStringLiteral("color"),
                               QStringLiteral("red"));
    m_highlightOn = true;
    if (m_ctx.reader) {
        if (DocumentWindow *w = m_ctx.reader->pool.current())
            HighlightTermsInDocument(*w, m_highlightText);
    }
}

void TopBar::highlightOff()
{
    m_highlightOn = false;
    m_pane.document().setStyle(QStringLiteral("sh"), QStringLiteral("background-color"), QString());
    m_pane.document().setStyle(QStringLiteral("sh"), QStringLiteral("color"), QString());
    // The marks go from every page that is still there; a sleeping one has none to show.
    if (!m_ctx.reader)
        return;
    WindowPool &pool = m_ctx.reader->pool;
    for (int slot = 0; slot < pool.slotCount(); ++slot) {
        DocumentWindow *w = pool.window(slot);
        if (w && w->brwWebBrowser && !w->brwWebBrowser->isAsleep())
            w->brwWebBrowser->document().removeHighlights();
    }
}

HighlightWords TopBar::highlightWords() const
{
    HighlightWords words;
    if (!m_highlightOn)
        return words;
    words.terms = m_highlightText.split(QLatin1Char('`'), Qt::SkipEmptyParts);
    words.styles = {kHighlightStyle};
    return words;
}

void TopBar::HighlightTermsInDocument(DocumentWindow &window, const QString &terms)
{
    if (terms.isEmpty() || !m_highlightOn || window.miTag != m_ctx.giCurrentWindow)
        return;
    // The window's page and frames take the words from highlightWords(), split as above.
    window.zHighlightDoc();
}

// ---------------------------------------------------------------------------------------------
// Cells

void TopBar::markCell(const QString &id, bool selected)
{
    Document &doc = m_pane.document();
    doc.setStyle(id, QStringLiteral("color"), selected ? QStringLiteral("red") : QString());
    doc.setStyle(id, QStringLiteral("background-color"),
                 selected ? QStringLiteral("white") : QString());
    doc.setStyle(id, QStringLiteral("font-weight"), selected ? QStringLiteral("900") : QString());
}

void TopBar::markSearchTab(const QString &id)
{
    if (id.isEmpty() || id == m_markedTab)
        return;
    if (!m_markedTab.isEmpty())
        markCell(m_markedTab, false);
    m_markedTab = id;
    markCell(id, true);
}

void TopBar::zTopBar()
{
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    const bool fromFavorite = w && w->mdFavBookmark != 0;
    Document &doc = m_pane.document();
    for (const char *id : {"Fav_", "FavEdit", "FavDelete"})
        doc.setStyle(QString::fromLatin1(id), QStringLiteral("display"),
                     fromFavorite ? QStringLiteral("table-cell") : QStringLiteral("none"));
}

void TopBar::showBrowseMode(const QString &letter, const QString &tooltip)
{
    m_pane.document().setInnerText(QStringLiteral("mode"), letter);
    m_pane.document().setAttribute(QStringLiteral("mode"), QStringLiteral("title"), tooltip);
}

void TopBar::fitHeight(const DocumentSnapshot &snapshot)
{
    // The page's own height, whatever the pane's: it shrinks again when the window widens.
    const int height = qBound(16, snapshot.contentHeight, 400);
    if (snapshot.contentHeight <= 0 || height == m_height)
        return;
    m_height = height;
    m_pane.widget()->setFixedHeight(height);
}
