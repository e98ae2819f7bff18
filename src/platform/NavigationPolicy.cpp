#include "platform/NavigationPolicy.h"

#include "platform/PageWriter.h"

NavigationVerdict navigationVerdict(const NavigationRequest &r)
{
    using ProgramPages::hasProgramScheme;
    using ProgramPages::isCommandLink;
    const bool fromProgram = r.source == NavigationSource::ProgramPage;

    if (r.newWindow) {
        if (!fromProgram && (isCommandLink(r.url) || hasProgramScheme(r.url)))
            return NavigationVerdict::Refuse;
        // A click on a command link of the program's page; a script's window goes to the
        // window the listener gives, whose own guard then decides.
        return isCommandLink(r.url) && r.userAsked ? NavigationVerdict::DeferCommand
                                                   : NavigationVerdict::Ask;
    }
    // The control's own loads were decided when they were asked for; a command link has
    // nothing to load.
    if (r.kind == NavigationKind::Program && r.isMainFrame)
        return isCommandLink(r.url) ? NavigationVerdict::Refuse : NavigationVerdict::Proceed;
    // A server redirect belongs to its request, but never into the program's pages.
    if (r.redirectOfOwnLoad || (r.kind == NavigationKind::Redirect && !r.isMainFrame))
        return isCommandLink(r.url) || hasProgramScheme(r.url) ? NavigationVerdict::Refuse
                                                               : NavigationVerdict::Proceed;
    if (isCommandLink(r.url))
        return fromProgram && r.isMainFrame ? NavigationVerdict::DeferCommand
                                            : NavigationVerdict::Refuse;
    if (hasProgramScheme(r.url)) {
        // Web content never reaches the program's pages. Back and Forward may return to one
        // when the user asked, not when a page's script moves through the history.
        const bool allowed = r.kind == NavigationKind::BackForward
                                 ? r.userAsked
                                 : fromProgram || r.kind == NavigationKind::Reload;
        if (!allowed)
            return NavigationVerdict::Refuse;
    }
    return r.kind == NavigationKind::Reload ? NavigationVerdict::Proceed : NavigationVerdict::Ask;
}
