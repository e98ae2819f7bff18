#pragma once

#include "platform/BrowserControl.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// An internal command link: "skl:" + a three-letter code + an argument ("skl:ldf3").
struct CommandLink
{
    QString code;
    QString argument;
};

// nullopt unless the address is a command link. The argument is percent-decoded, except for
// "loc", whose argument is an address and stays as written.
[[nodiscard]] std::optional<CommandLink> parseCommandLink(const QString &url);

// What a handler learns about the link that was followed.
struct CommandContext
{
    int slot = -1; // the document window whose page held the link; -1 for a pane
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    NavigationSource source = NavigationSource::None;
};

enum class CommandResult {
    Ran,          // a handler ran
    Refused,      // the link did not come from the program's own pages
    Unregistered, // a known code whose feature has not registered a handler
    Unknown,      // not a code of the table
    NotACommand,  // not a command link at all
};

// The table of command codes and the handlers the features register for them. A code whose
// handler is missing does nothing beyond cancelling, exactly as an unknown code.
class CommandLinks
{
public:
    using Handler = std::function<void(const QString &argument, const CommandContext &)>;

    // Every code of the table, in its order.
    static const QStringList &knownCodes();
    static bool isKnownCode(const QString &code);

    // false for a code outside the table (nothing is registered).
    bool registerHandler(const QString &code, Handler handler);
    void unregisterHandler(const QString &code);
    bool isRegistered(const QString &code) const;

    // Runs the link's command. Links from web content, or from nowhere known, are refused:
    // a page on the web must not delete files or favorites by carrying such a link.
    CommandResult run(const QString &url, const CommandContext &context) const;

private:
    QHash<QString, Handler> m_handlers;
};
