#pragma once

#include <QString>
#include <QUrl>

// The program's own pages live under a private scheme that web content can neither load from
// nor navigate to: skl-app://pages/<file>. Generated pages get addresses in the same folder,
// so their relative links (sklStyle.css) resolve to the program's pages.
namespace ProgramPages {
inline constexpr char kScheme[] = "skl-app";
inline constexpr char kHost[] = "pages";
// The scheme of command links written into pages.
inline constexpr char kCommandScheme[] = "skl";

// relative: "Start.htm", "sklHelp.htm#CW", "sub/page.htm?x=1"
[[nodiscard]] QUrl url(const QString &relative);
[[nodiscard]] bool isProgramUrl(const QUrl &url);
// Any address under the private scheme (whatever its host), and a command link ("skl:...").
// Schemes compare without regard to case.
[[nodiscard]] bool hasProgramScheme(const QUrl &url);
[[nodiscard]] bool isCommandLink(const QUrl &url);
// A page made by PageWriter::writePage.
[[nodiscard]] bool isWrittenPage(const QUrl &url);
} // namespace ProgramPages

// Shows a whole generated page in its control, of any size. The page becomes a new history
// entry (Back returns to the previous document). No beforeNavigate is raised for it; the
// usual navigateComplete, readyState and documentComplete events follow, with a URL for
// which ProgramPages::isWrittenPage is true.
class PageWriter
{
public:
    virtual ~PageWriter() = default;
    // name: a readable file name for the address ("Report.htm"); the page keeps a unique one.
    // Returns the page's address.
    virtual QUrl writePage(const QString &html, const QString &name = QString()) = 0;
};
