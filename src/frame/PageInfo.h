#pragma once

#include <QString>

struct DocumentSnapshot;

// The sidebar's page-information list for a page: its counts, age and reading time.
namespace PageInfo {

// A reader takes 400 words a minute, a word being 6 characters.
inline constexpr int kCharactersPerWord = 6;
inline constexpr int kWordsPerMinute = 400;

// readableCharacters: the length of the text a reader sees (the body's rendered text).
[[nodiscard]] QString html(const DocumentSnapshot &page, qsizetype readableCharacters,
                           const QString &cookie);

} // namespace PageInfo
