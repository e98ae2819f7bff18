#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

struct AppContext;
class cFile;

// Bit values of "OptionChecks", one per check box of the options dialog.
namespace OptionBit {
constexpr qint32 TodaysPages = 1;  // C1
constexpr qint32 LastSession = 2;  // C2
constexpr qint32 History = 4;      // C3
constexpr qint32 DefaultWheel = 8; // C4
} // namespace OptionBit

// The settings the options dialog edits, as the program holds them.
struct OptionSettings
{
    QString gsUserAgent =
        QStringLiteral("Absolutely the fastest way to browse, read, and search the Internet!");
    qint32 glOptionChecks = 4;
    int giMaxWindows = 50;
    float gsngTempZoom = 1.4f;
    float gsngPageZoom = 0; // 0: none
    bool showHelp = true;
    bool secureLinksInPlace = false; // "SecureLinksInPlace": clicked https links load in place
};

// What the options page shows: its text inputs and check boxes, by id.
struct OptionsPage
{
    QString T1, T2, T3, T4;
    bool C1 = false, C2 = false, C3 = false, C4 = false;
    bool secureLinksInPlace = false;
    bool showHelp = true;
};

// The page's values turned into settings: the option writes in the order they are saved, the
// new values, and a message for every input that was not taken.
struct OptionsSave
{
    QList<QPair<QString, QVariant>> writes;
    OptionSettings settings;
    QStringList problems;
};

// Every option the dialog edits, with its default, read from the options store.
OptionSettings ReadOptionSettings(cFile &file);
// The program-wide variables that start-up reads (the dialog's settings and the mode).
void LoadSettings(AppContext &ctx, cFile &file);
OptionSettings CurrentSettings(const AppContext &ctx, bool showHelp, bool secureLinksInPlace);

OptionsPage FillOptionsPage(const OptionSettings &settings);
OptionsSave SaveOptionsPage(const OptionsPage &page, const OptionSettings &current);

// Options flags are the platform's true (-1) and false (0).
inline int OptionFlag(bool on)
{
    return on ? -1 : 0;
}
