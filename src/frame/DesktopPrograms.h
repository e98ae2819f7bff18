#pragma once

#include "platform/DesktopApps.h"

#include <QString>
#include <QStringList>

#include <optional>

// The desktop's other programs that the Tools and Navigation menus start: the kinds of client
// program, the HTML editor and another web browser, each found as the desktop's default.
namespace DesktopPrograms {

struct ClientKind
{
    const char *menu;     // the menu item
    const char *kind;     // for the user: "mail"
    const char *mimeType; // whose default handler is the client
};

inline constexpr ClientKind kClients[] = {
    {"mnuMail", "mail", "x-scheme-handler/mailto"},
    {"mnuNews", "news", "x-scheme-handler/news"},
    {"mnuCalendar", "calendar", "text/calendar"},
    {"mnuContacts", "contacts", "text/vcard"},
    {"mnuInternetCall", "internet call", "x-scheme-handler/sip"},
    {"mnuMedia", "media", "audio/mpeg"},
};

// Another browser than this program: the first handler of web addresses whose entry does not
// start this executable (or carry this program's desktop id).
std::optional<DesktopApp> otherBrowser(const DesktopApps &apps, const QString &ownExecutable);

// An HTML editor: a handler of HTML pages that says it is an editor, else the default editor of
// plain text.
std::optional<DesktopApp> htmlEditor(const DesktopApps &apps, const QString &ownExecutable);

// The desktop's network and proxy settings: program and arguments, or empty when there are none.
QStringList networkSettings();

} // namespace DesktopPrograms
