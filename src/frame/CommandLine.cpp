#include "frame/CommandLine.h"

#include "store/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString StripEnclosingQuotes(const QString &text)
{
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        return text.mid(1, text.size() - 2);
    return text;
}

std::optional<QString> ReadInternetShortcut(const QString &path)
{
    IniFile ini(path);
    if (!QFileInfo::exists(path) || !ini.load())
        return std::nullopt;
    const auto url = ini.value(QStringLiteral("InternetShortcut"), QStringLiteral("URL"));
    if (!url || url->trimmed().isEmpty())
        return std::nullopt;
    return url->trimmed();
}

namespace {
QString localFileUrl(const QString &text, const QString &workingDir)
{
    if (text.isEmpty() || text.contains(QStringLiteral("://")))
        return QString();
    const QFileInfo info(QDir(workingDir), text);
    if (!info.exists() || !info.isFile())
        return QString();
    return QUrl::fromLocalFile(info.absoluteFilePath()).toString();
}
} // namespace

CommandLineAction ParseCommandLine(const QString &text, const QString &workingDir)
{
    CommandLineAction action;
    if (text.isEmpty())
        return action;
    if (text == QLatin1String("/Setup") || text == QLatin1String("/Upgrade")) {
        action.kind = CommandLineKind::Setup;
        return action;
    }
    if (text == QLatin1String("/Uninstall")) {
        action.kind = CommandLineKind::Uninstall;
        return action;
    }
    action.kind = CommandLineKind::Address;
    QString address = StripEnclosingQuotes(text);
    if (address.right(4).toLower() == QLatin1String(".url")) {
        QString path = address;
        if (path.startsWith(QLatin1String("file:")))
            path = QUrl(path).toLocalFile();
        if (const auto target = ReadInternetShortcut(QFileInfo(QDir(workingDir), path).filePath()))
            address = *target;
    }
    const QString fileUrl = localFileUrl(address, workingDir);
    action.address = fileUrl.isEmpty() ? address : fileUrl;
    return action;
}

QString AbsoluteIfLocalFile(const QString &text, const QString &workingDir)
{
    const QString bare = StripEnclosingQuotes(text);
    if (bare.isEmpty() || bare.contains(QStringLiteral("://")) || QDir::isAbsolutePath(bare))
        return text;
    const QFileInfo info(QDir(workingDir), bare);
    return info.exists() ? info.absoluteFilePath() : text;
}
