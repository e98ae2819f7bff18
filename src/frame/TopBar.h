#pragma once

#include "frame/SearchBox.h"
#include "platform/Document.h"
#include "reader/Reader.h"

#include <QObject>
#include <QString>

#include <functional>

class DocumentWindow;
class Pane;
struct AppContext;

// gbTextEntry follows the focus in either pane: on while an INPUT, TEXTAREA or SELECT has it.
void TrackTextEntry(AppContext &ctx, const DomEvent &event);

// The top bar pane's behaviour: the search, filter and highlight box with its tabs, the
// mode cell, the favorite cells, the sidebar tabs and the previous-window cell. The address
// box's events go to a hook (its own class handles them).
class TopBar : public QObject
{
    Q_OBJECT
public:
    TopBar(AppContext &ctx, Pane &pane, QObject *parent = nullptr);

    Pane &pane() const { return m_pane; }

    // ---- hooks the frame sets ----
    // Shows a sidebar tab ("m0".."m8", "s3", "s4"); the flag as the caller passes it.
    std::function<void(const QString &tab, int flag)> xShowSidebarTab;
    // Every DOM event whose source is the address box "AddrBox" or the cell "selHistory".
    std::function<void(const DomEvent &event)> addressBoxEvent;
    // Re-filters the history page when it is the current view; false when it is not shown.
    std::function<bool()> zHistoryShow;
    // The "m0" cell flips the headings switch (below 1 to 4, else to 0) before it shows "m0".
    std::function<void()> flipHeadingsSwitch;
    // The favorite cells: 0 "FavEdit" (Edit This Favorite), 1 "FavDelete" (Delete This Favorite).
    std::function<void(int index)> favoriteCommand;
    // The "Notes" cell: shows or hides the notes pane.
    std::function<void()> showNotes;

    // Event rules of the address box's handler, kept beside the top bar's own.
    void setAddressBoxRules(const QList<EventRule> &rules);

    // ---- the search box ----
    // The box's text as last seen (every key, focus change and click brings it up to date);
    // empty while it shows the placeholder.
    QString searchBoxText() const;
    void setSearchBoxText(const QString &text);
    SearchServices &services() { return m_services; }
    // 0..8 as the tabs number them (2, the highlight tab, is never stored).
    int selectedTab() const { return m_selectedTab; }

    // Runs the selected tab with the box's text.
    void zSearch();
    // "letter[/] words" typed in the address box: the search-engine table's address.
    void OpenSearchShortcut(const QString &text);
    // Highlighting on with the box's text, and the current page highlighted.
    void zHighlight();
    // Highlighting off: the marks go from every page that has them.
    void highlightOff();
    bool highlightOn() const { return m_highlightOn; }
    QString highlightText() const { return m_highlightText; }
    // The words and their style while highlighting is on (terms split on "`").
    HighlightWords highlightWords() const;
    // Marks the terms (split on "`") in the window's page and its same-origin frames, while
    // highlighting is on and the window is the current one. The page does the work in
    // slices; leaving the window stops it.
    void HighlightTermsInDocument(DocumentWindow &window, const QString &terms);

    // ---- cells ----
    // The favorite cells, shown when the active window's page came from a favorite.
    void zTopBar();
    void showBrowseMode(const QString &letter, const QString &tooltip);
    // The selected-style routine on a cell: red on white, heavy; or back to the style sheet's.
    void markCell(const QString &id, bool selected);

    // The handlers of the pane's events.
    void aDoc_onclick(const ElementSnapshot &src);
    void Inp_onkeypress(const DomEvent &event);

private:
    void pageReady();
    void onDomEvent(const DomEvent &event);
    void applyRules();
    void searchTabClicked(const QString &id, const QString &boxText);
    void markSearchTab(const QString &id);
    void focusSearchBox();
    void focusCurrentWindow();
    void load(const QString &url, LoadWhere where);
    void fitHeight(const DocumentSnapshot &snapshot);

    AppContext &m_ctx;
    Pane &m_pane;
    SearchServices m_services;
    QList<EventRule> m_addressRules;
    QString m_boxText; // as the page last showed it, placeholder included
    int m_selectedTab = 0;
    QString m_markedTab;
    bool m_highlightOn = false;
    QString m_highlightText;
    int m_height = 0;
};
