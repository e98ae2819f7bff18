#pragma once

#include <QString>

// The two pages of the main frame's panes, written once at start-up. The cells that the
// old symbol fonts drew get Unicode symbols that the usual Linux fonts (DejaVu) carry; ids,
// classes, titles and styles stay as the handlers expect them.
namespace PanePages {

// The head and the main style sheet, shared by both pages.
[[nodiscard]] QString head();
// The search, filter and highlight box, the search tabs, the form-data, mode and favorite
// cells, the sidebar tabs, the previous-window cell and the address box.
[[nodiscard]] QString topBarPage();
// The notes pane, the menu, headings, link-list, link-check, open-windows and queue areas.
[[nodiscard]] QString sidebarPage();

// The search box's text while it holds no search.
inline constexpr char kPlaceholder[] = "Search, Filter, or Highlight Textbox";

// Symbols of the notes pane's "nlinks" cell: the links are shown / hidden.
inline constexpr char16_t kNoteLinksShown[] = u"\u25B2";
inline constexpr char16_t kNoteLinksHidden[] = u"\u25BC";

} // namespace PanePages
