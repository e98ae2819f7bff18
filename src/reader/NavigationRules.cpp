#include "reader/NavigationRules.h"

#include "platform/PageWriter.h"

namespace {

bool isNewWindowDisposition(WindowDisposition d)
{
    return d == WindowDisposition::NewWindow || d == WindowDisposition::NewForegroundTab ||
           d == WindowDisposition::Popup;
}

// Navigations the user made in this window; a refused pop-up's follow-up is never one of them.
bool isUsersOwn(NavigationKind kind)
{
    switch (kind) {
    case NavigationKind::Program:
    case NavigationKind::LinkClicked:
    case NavigationKind::FormSubmitted:
    case NavigationKind::BackForward:
    case NavigationKind::Reload:
        return true;
    default:
        return false;
    }
}

NavDecision decided(NavDecision d, NavAction action, NavRule rule)
{
    d.action = action;
    d.rule = rule;
    return d;
}

} // namespace

bool isFeedExtension(const QString &extension)
{
    return extension == QLatin1String("rss") || extension == QLatin1String("rdf") ||
           extension == QLatin1String("opml");
}

bool isPlatformExtension(const QString &extension)
{
    static const QStringList list = {
        QStringLiteral("xml"), QStringLiteral("zip"), QStringLiteral("exe"), QStringLiteral("ram"),
        QStringLiteral("mp3"), QStringLiteral("wav"), QStringLiteral("wma")};
    return list.contains(extension);
}

bool isCommandLinkUrl(const QString &url)
{
    return ProgramPages::isCommandLink(QUrl(url));
}

NavDecision decideNavigation(const NavInput &in)
{
    NavDecision d;
    if (!in.bActiveForm)
        return decided(d, NavAction::Allow, NavRule::InactiveWindow);
    d.setNavigatingUrl = true;

    if (in.mbClosing || in.gbExiting)
        return decided(d, NavAction::Cancel, NavRule::Closing);
    if (in.url == QLatin1String("http:///") || in.url == QLatin1String("http://"))
        return decided(d, NavAction::CancelFreeSlot, NavRule::EmptyAddress);
    if (in.url.startsWith(QLatin1String("res://"), Qt::CaseInsensitive) ||
        in.url.startsWith(QLatin1String("about:"), Qt::CaseInsensitive))
        return decided(d, NavAction::Allow, NavRule::ResourcePage);

    if (in.mbCancelNextNavigation) {
        d.clearCancelNext = true;
        // Only the engine's own follow-up of a refused pop-up is meant; what the user does
        // next in the window must not be swallowed.
        if (!isUsersOwn(in.kind))
            return decided(d, NavAction::Cancel, NavRule::CancelNext);
    }

    const bool ctrl = in.modifiers & Qt::ControlModifier;
    const bool middle = !ctrl && (in.disposition == WindowDisposition::NewBackgroundTab ||
                                  in.button == Qt::MiddleButton);

    CWinInet_URL splitter;
    d.parts = splitter.URLparts(in.url);
    switch (d.parts.scheme) {
    case InternetScheme::Ftp:
        return decided(d, NavAction::OpenWithDesktop, NavRule::Scheme);
    case InternetScheme::Https:
        // Nearly every link is secure today: a clicked one is routed like any other. What no
        // click caused (redirects, sign-in hand-offs) proceeds in place. The middle button's
        // promise of a window behind holds even with the old rule.
        if (in.linkClicked && in.isTopFrame && (middle || !in.secureLinksInPlace))
            break;
        return decided(d, NavAction::Allow, NavRule::Scheme);
    case InternetScheme::News:
    case InternetScheme::Mailto:
    case InternetScheme::Socks:
    case InternetScheme::Javascript:
        return decided(d, NavAction::Allow, NavRule::Scheme);
    default:
        break;
    }

    if (isCommandLinkUrl(in.url))
        return decided(d, NavAction::RunCommand, NavRule::CommandLink);

    if (in.formCapturePending) {
        d.captureForm = true;
        return decided(d, NavAction::Allow, NavRule::FormCapture);
    }

    // A submitted form loads in the window that holds it, GET or POST, unless Shift is held.
    const bool shift = in.modifiers & Qt::ShiftModifier;
    if ((in.isPost || in.kind == NavigationKind::FormSubmitted) && !shift)
        return decided(d, NavAction::Allow, NavRule::FormPost);

    if (isFeedExtension(d.parts.extension))
        return decided(d, NavAction::FeedViewer, NavRule::Feed);
    if (isPlatformExtension(d.parts.extension))
        return decided(d, NavAction::Allow, NavRule::PlatformExtension);

    // Routing. Frames load in their frame; the program's own navigate() calls are its decision.
    if (!in.isTopFrame || in.kind == NavigationKind::Program)
        return decided(d, NavAction::Allow, NavRule::Routing);
    if (!in.bOpenInSameWindow && !in.targetFrameName.isEmpty() &&
        !in.targetFrameName.startsWith(QLatin1Char('_')) &&
        in.disposition == WindowDisposition::CurrentWindow)
        return decided(d, NavAction::Allow, NavRule::Routing);
    // Shift-click, target=_blank, a named target that does not exist: the new-window request
    // that follows decides.
    if (isNewWindowDisposition(in.disposition))
        return decided(d, NavAction::Allow, NavRule::Routing);

    const bool otherWindow = in.bNavigateInOtherWindow && !ctrl;
    const bool routingMode = (in.giBrowsingMode & 3) != 0;
    if (middle || (otherWindow && !in.bOpenInSameWindow && routingMode)) {
        d.clearNavigatingUrl = true;
        d.setNavigatingUrl = false;
        d.restoreTabbedMode = in.giBrowsingMode == 5;
        d.showUrlInStatus = true;
        d.where = LoadWhere::Background;
        if (in.linkClicked || middle) {
            d.consumeLinkClick = true;
            return decided(d, NavAction::LoadElsewhere, NavRule::Routing);
        }
        return decided(d, NavAction::CancelRouted, NavRule::Routing);
    }
    return decided(d, NavAction::Allow, NavRule::Routing);
}

NewWindowDecision decideNewWindow(const NewWindowInput &in)
{
    NewWindowDecision d;
    if (in.mbClosing || in.gbExiting) {
        d.action = NewWindowAction::Cancel;
        return d;
    }
    if (!in.bActiveForm || !in.bAllowOpenInNewWindow) {
        d.action = NewWindowAction::CancelAndNextToo;
        return d;
    }
    d.action = NewWindowAction::OpenInPoolWindow;
    d.bNext = in.modifiers & Qt::ShiftModifier;
    return d;
}

QString newWindowStatusText()
{
    return QStringLiteral("The last clicked link was targeted to a new window.");
}
