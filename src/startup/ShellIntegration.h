#pragma once

#include <QString>

class DesktopApps;
class Registry;

// The program's place on the desktop: its desktop entry and icon, the default browser, and
// what setup and uninstall do.
namespace ShellIntegration {

inline const QString kDesktopId = QStringLiteral("skimline.desktop");

struct Outcome
{
    bool ok = false;
    QString message; // for the user: what was done, or what is missing
};

// The desktop entry that starts this executable with the addresses it is handed.
QString DesktopEntryText(const QString &executable);

// Writes the entry and the icon into the user's folders; files already as they should be are
// left alone, so running it again changes nothing.
Outcome InstallDesktopEntry(const DesktopApps &apps, const QString &executable);

// The entry installed, then the desktop's default browser and the handler of web pages and
// web addresses (xdg-settings, xdg-mime).
Outcome RegisterDefaultBrowser(const DesktopApps &apps, const QString &executable);

// Removes what setup installed (the entry, the icon, the user's associations with it) and the
// program's settings; the user's favorites, history and documents stay.
Outcome Uninstall(const DesktopApps &apps, const Registry &registry);

inline const QString kUninstalledMessage =
    QStringLiteral("Skimline has been uninstalled. Thank you for trying out Skimline.");

} // namespace ShellIntegration
