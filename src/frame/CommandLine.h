#pragma once

#include <QString>

#include <optional>

// What a command line (or an address handed over by another start) asks for.
enum class CommandLineKind { Empty, Setup, Uninstall, Address };

struct CommandLineAction
{
    CommandLineKind kind = CommandLineKind::Empty;
    QString address; // for Address: what to load
};

// "/Setup" and "/Upgrade" (exactly) ask for setup, "/Uninstall" for removal. Anything else is an
// address: one pair of enclosing double quotes is stripped; a name ending in ".url" (any case) is
// an Internet shortcut whose address is loaded; an existing local file becomes a file URL
// (relative to workingDir).
CommandLineAction ParseCommandLine(const QString &text, const QString &workingDir);

// The text without one pair of enclosing double quotes, when both ends are one.
QString StripEnclosingQuotes(const QString &text);

// The URL= line of an Internet shortcut's [InternetShortcut] section; nullopt when the file
// cannot be read or has none.
std::optional<QString> ReadInternetShortcut(const QString &path);

// For handing a command line to the running program: a relative path to an existing file is
// made absolute, so that the receiver finds it whatever its own working folder.
QString AbsoluteIfLocalFile(const QString &text, const QString &workingDir);
