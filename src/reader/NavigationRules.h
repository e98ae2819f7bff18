#pragma once

#include "platform/BrowserControl.h"
#include "reader/LoadWhere.h"
#include "store/CWinInet_URL.h"

#include <QString>

// Where a navigation that a document window is about to make ends up. The decision is a pure
// function of the navigation, the window's flags and the program's mode, so that the rule order
// and the routing by mode can be checked without a window.

// What the window does with the navigation.
enum class NavAction {
    Allow,           // it proceeds in this control (a new-window request follows when asked)
    Cancel,          // dropped
    CancelFreeSlot,  // the empty address: dropped, and the slot becomes "f"
    OpenWithDesktop, // handed to the desktop's default handler, dropped here
    RunCommand,      // an internal command link: dropped, and the command runs
    FeedViewer,      // handed to the feed viewer with a beep, dropped here
    LoadElsewhere,   // dropped here and given to LoadDocument (background)
    CancelRouted,    // would have been routed away, but no click caused it (a redirect)
};

// The rule that decided, numbered in the order the rules are tried.
enum class NavRule {
    InactiveWindow = 1,
    Closing = 2,
    EmptyAddress = 3,
    ResourcePage = 4,
    CancelNext = 5,
    Scheme = 6,
    CommandLink = 7,
    FormCapture = 8,
    FormPost = 9,
    Feed = 10,
    PlatformExtension = 11,
    Routing = 12,
};

struct NavInput
{
    QString url;
    bool isTopFrame = true;
    QString targetFrameName;
    NavigationKind kind = NavigationKind::Other;
    bool isPost = false;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    Qt::MouseButton button = Qt::NoButton;
    WindowDisposition disposition = WindowDisposition::CurrentWindow;
    // The user caused it: the engine says a link was followed, or the window saw the click.
    bool linkClicked = false;

    // The window
    bool bActiveForm = false;
    bool mbClosing = false;
    bool mbCancelNextNavigation = false;
    bool bNavigateInOtherWindow = false;
    bool bOpenInSameWindow = false;

    // The program
    bool gbExiting = false;
    int giBrowsingMode = 1;
    bool formCapturePending = false;
    // Option "SecureLinksInPlace": clicked https links load in place as they once did.
    bool secureLinksInPlace = false;
};

struct NavDecision
{
    NavAction action = NavAction::Allow;
    NavRule rule = NavRule::Routing;
    // Effects on the window and the program, applied by the caller in this order.
    bool setNavigatingUrl = false;   // msNavigatingURL = the URL (active window)
    bool clearNavigatingUrl = false; // msNavigatingURL = "" (routed away)
    bool clearCancelNext = false;    // mbCancelNextNavigation = false
    bool captureForm = false;        // store the submission for the favorite editor
    bool consumeLinkClick = false;   // mbLinkClicked = false
    bool restoreTabbedMode = false;  // giBrowsingMode 5 -> 4
    bool showUrlInStatus = false;    // panel 3 shows the URL, cleared after 500 ms
    LoadWhere where = LoadWhere::Background;
    URLParts parts; // the split address (from rule 6 on)
};

// Extensions handed to the feed viewer, and the ones left to the engine to show or download.
bool isFeedExtension(const QString &extension);
bool isPlatformExtension(const QString &extension);

// True for the program's internal command links ("skl:" + code + argument).
bool isCommandLinkUrl(const QString &url);

// brwWebBrowser_BeforeNavigate2's rules, first match wins.
[[nodiscard]] NavDecision decideNavigation(const NavInput &in);

// brwWebBrowser_NewWindow2's rules.
enum class NewWindowAction {
    Cancel,           // dropped
    CancelAndNextToo, // dropped, and the window's next navigation is refused as well
    OpenInPoolWindow, // beep, ChooseWindow(bNext = Shift), order from giNextOrder
};

struct NewWindowInput
{
    bool mbClosing = false;
    bool gbExiting = false;
    bool bActiveForm = false;
    bool bAllowOpenInNewWindow = false;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

struct NewWindowDecision
{
    NewWindowAction action = NewWindowAction::Cancel;
    bool bNext = false;
};

[[nodiscard]] NewWindowDecision decideNewWindow(const NewWindowInput &in);

inline constexpr int kRoutedStatusMs = 500;
inline constexpr int kNewWindowStatusMs = 2000;
QString newWindowStatusText();
