#pragma once

#include <QString>

#include <array>

// The search box's pure parts: its two-letter prefixes, the search tabs' numbers and the
// addresses of their services.
namespace SearchBox {

// The tab cell a two-letter prefix ("g ", "_ ", ...; any case) selects; empty for none.
[[nodiscard]] QString prefixTab(const QString &text);
// "s0" 0, "s1" 1, "sh" 2, "s3" 3, "s4" 4, "sD" 5, "sT" 6, "sM" 7, "sC" 8; -1 for any other id.
[[nodiscard]] int tabNumber(const QString &id);
[[nodiscard]] QString tabId(int number);

// words, trimmed, put where "!" stands in a template. In the query part it is form-encoded
// (blanks become "+", and "&", "#", "+", "%" and non-ASCII text are escaped as UTF-8), in the
// path it is percent-encoded with blanks as "%20", so the service gets the words intact.
[[nodiscard]] QString fillTemplate(const QString &templateUrl, const QString &words);

} // namespace SearchBox

// The services of the search tabs that load a page (0, 1, 5, 6, 7, 8): address templates
// with "!" for the words.
class SearchServices
{
public:
    SearchServices();
    // Empty for a tab without a service (2, 3, 4).
    [[nodiscard]] QString url(int tab, const QString &words) const;
    void setTemplate(int tab, const QString &templateUrl);
    [[nodiscard]] QString templateUrl(int tab) const;

private:
    std::array<QString, 9> m_templates;
};
