#pragma once

#include "platform/BrowserControl.h"

#include <QUrl>

// Which navigations a control lets through, asks its listener about or refuses: the guards
// of the program's private scheme and of command links, and the user-gesture and source
// rules. One function, so that the engine control and the test double cannot differ.

enum class NavigationVerdict {
    Proceed,      // loads without asking: the control's own load, a redirect of it, a reload
    Ask,          // beforeNavigate decides
    DeferCommand, // a command link of the program's own page: refused now, reported at once
                  // after the engine's callback (so the program may open dialogs)
    Refuse,       // refused and not reported: web content reaching the program's pages or
                  // commands, a command link nobody may follow
};

struct NavigationRequest
{
    QUrl url;
    // Program: a load the control started itself (navigate, writePage, Ctrl+click in place).
    NavigationKind kind = NavigationKind::Other;
    bool isMainFrame = true;
    // The document that starts it (for BackForward the history already names the entry
    // being entered, so the source tells nothing then).
    NavigationSource source = NavigationSource::None;
    // A server redirect of the control's load under way, before anything committed.
    bool redirectOfOwnLoad = false;
    // The user just pressed a key or button, or the program itself went back or forward.
    bool userAsked = false;
    // The engine wants a new window for it (a click with a disposition, window.open).
    bool newWindow = false;
};

[[nodiscard]] NavigationVerdict navigationVerdict(const NavigationRequest &request);
