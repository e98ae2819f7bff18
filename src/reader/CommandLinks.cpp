#include "reader/CommandLinks.h"

#include <QUrl>

std::optional<CommandLink> parseCommandLink(const QString &url)
{
    if (!url.startsWith(QLatin1String("skl:"), Qt::CaseInsensitive))
        return std::nullopt;
    CommandLink link;
    link.code = url.mid(4, 3);
    const QString raw = url.mid(7);
    link.argument =
        link.code == QLatin1String("loc") ? raw : QUrl::fromPercentEncoding(raw.toUtf8());
    return link;
}

const QStringList &CommandLinks::knownCodes()
{
    static const QStringList codes = {
        QStringLiteral("rpt"), QStringLiteral("lcp"), QStringLiteral("loc"), QStringLiteral("ebm"),
        QStringLiteral("dbm"), QStringLiteral("ubm"), QStringLiteral("atf"), QStringLiteral("frm"),
        QStringLiteral("s--"), QStringLiteral("ldf"), QStringLiteral("lwg"), QStringLiteral("del"),
        QStringLiteral("str")};
    return codes;
}

bool CommandLinks::isKnownCode(const QString &code)
{
    return knownCodes().contains(code); // exact, lower case
}

bool CommandLinks::registerHandler(const QString &code, Handler handler)
{
    if (!isKnownCode(code) || !handler)
        return false;
    m_handlers.insert(code, std::move(handler));
    return true;
}

void CommandLinks::unregisterHandler(const QString &code)
{
    m_handlers.remove(code);
}

bool CommandLinks::isRegistered(const QString &code) const
{
    return m_handlers.contains(code);
}

CommandResult CommandLinks::run(const QString &url, const CommandContext &context) const
{
    const std::optional<CommandLink> link = parseCommandLink(url);
    if (!link)
        return CommandResult::NotACommand;
    if (context.source != NavigationSource::ProgramPage)
        return CommandResult::Refused;
    if (!isKnownCode(link->code))
        return CommandResult::Unknown;
    const auto it = m_handlers.constFind(link->code);
    if (it == m_handlers.constEnd())
        return CommandResult::Unregistered;
    // A handler may replace the table's entries; run a copy.
    const Handler handler = it.value();
    handler(link->argument, context);
    return CommandResult::Ran;
}
