#pragma once

#include <QString>

#include <optional>

class SearchEngines;

// What the Selection menu (mnuPopSelection) does with the selected text or the word under the
// pointer, apart from the frame's widgets.
namespace SelectionCommands {

// The text as a search query: trimmed, runs of blanks as "+", every other character that
// would end or change the query ("&", "#", "+", "%" ...) percent-encoded.
[[nodiscard]] QString searchQuery(const QString &text);

// The search service of a Selection menu item, as a code of gSearchEngines: 7 web search,
// 8 answers, 9 dictionary, 10 encyclopedia. Empty for other items.
[[nodiscard]] QString engineCode(int index);

// Item 11 searches the second encyclopedia, which has no letter of its own in gSearchEngines.
inline constexpr int kSecondEncyclopediaItem = 11;

// The address a search item loads; nothing when the item has no service or the text is blank.
[[nodiscard]] std::optional<QString> searchUrl(const SearchEngines &engines, int index,
                                               const QString &text);

// "Open URL": the selected text as a web address. Line breaks of a wrapped address are
// dropped and a bare host gets "http://". Only web and local-file addresses pass: a
// selection must not run a script or one of the program's commands.
[[nodiscard]] std::optional<QString> openUrlAddress(const QString &text);

} // namespace SelectionCommands
