#include "startup/ShellIntegration.h"

#include "platform/DesktopApps.h"
#include "store/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ShellIntegration {

namespace {

const QStringList kWebTypes = {QStringLiteral("text/html"), QStringLiteral("application/xhtml+xml"),
                               QStringLiteral("x-scheme-handler/http"),
                               QStringLiteral("x-scheme-handler/https")};

QString iconPath(const DesktopApps &apps)
{
    return apps.userIconsFolder() + QStringLiteral("/hicolor/scalable/apps/skimline.svg");
}

QString entryPath(const DesktopApps &apps)
{
    return apps.userApplicationsFolder() + QLatin1Char('/') + kDesktopId;
}

// Writes only when the content differs: a second setup leaves the file (and its time) alone.
bool writeIfChanged(const QString &path, const QByteArray &content)
{
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == content)
        return true;
    current.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size() && f.commit();
}

// A word of an Exec line: quoted when it holds anything the line's rules treat specially.
QString execWord(const QString &word)
{
    static const QString kSpecial = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`%=");
    bool plain = !word.isEmpty();
    for (const QChar c : word)
        plain = plain && !kSpecial.contains(c);
    if (plain)
        return word;
    QString out = QStringLiteral("\"");
    for (const QChar c : word) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        out += c == u'%' ? QStringLiteral("%%") : QString(c);
    }
    return out + u'"';
}

} // namespace

QString DesktopEntryText(const QString &executable)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Skimline\n"
                          "GenericName=Web Browser\n"
                          "Comment=Read many web pages fast\n"
                          "Exec=%1 %U\n"
                          "Icon=skimline\n"
                          "Terminal=false\n"
                          "Categories=Network;WebBrowser;\n"
                          "MimeType=%2;\n"
                          "StartupWMClass=Skimline\n")
        .arg(execWord(executable), kWebTypes.join(u';'));
}

Outcome InstallDesktopEntry(const DesktopApps &apps, const QString &executable)
{
    QFile icon(QStringLiteral(":/icons/skimline.svg"));
    const QByteArray iconData = icon.open(QIODevice::ReadOnly) ? icon.readAll() : QByteArray();
    if (!writeIfChanged(entryPath(apps), DesktopEntryText(executable).toUtf8()))
        return {false, QStringLiteral("The desktop entry could not be written to ") +
                           entryPath(apps) + u'.'};
    if (!iconData.isEmpty() && !writeIfChanged(iconPath(apps), iconData))
        return {false, QStringLiteral("The icon could not be written to ") + iconPath(apps) + u'.'};
    return {true, QStringLiteral("Skimline is in the desktop's applications.")};
}

Outcome RegisterDefaultBrowser(const DesktopApps &apps, const QString &executable)
{
    const Outcome installed = InstallDesktopEntry(apps, executable);
    if (!installed.ok)
        return installed;
    const DesktopApps::ToolRun browser = DesktopApps::runTool(
        QStringLiteral("xdg-settings"),
        {QStringLiteral("set"), QStringLiteral("default-web-browser"), kDesktopId});
    if (!browser.started)
        return {false, QStringLiteral("This desktop has no xdg-settings (package xdg-utils): "
                                      "Skimline cannot make itself the default browser here.")};
    QStringList mimeArgs = {QStringLiteral("default"), kDesktopId};
    mimeArgs += kWebTypes;
    const DesktopApps::ToolRun types = DesktopApps::runTool(QStringLiteral("xdg-mime"), mimeArgs);
    if (browser.exitCode != 0 || !types.started || types.exitCode != 0)
        return {false,
                QStringLiteral("The desktop refused to make Skimline the default browser: ") +
                    (browser.exitCode != 0 ? browser.output : types.output)};
    return {true, QStringLiteral("Skimline is now the default web browser.")};
}

Outcome Uninstall(const DesktopApps &apps, const Registry &registry)
{
    bool ok = true;
    for (const QString &path : {entryPath(apps), iconPath(apps)})
        ok = (!QFileInfo::exists(path) || QFile::remove(path)) && ok;

    // The user's associations with the entry would point at nothing.
    QFile list(apps.userMimeappsFile());
    if (list.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QStringList lines = QString::fromUtf8(list.readAll()).split(u'\n');
        list.close();
        QStringList kept;
        bool changed = false;
        for (const QString &line : lines) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq <= 0 || line.startsWith(u'[') || !line.contains(kDesktopId)) {
                kept.append(line);
                continue;
            }
            QStringList ids = line.mid(eq + 1).split(u';', Qt::SkipEmptyParts);
            ids.removeAll(kDesktopId);
            changed = true;
            if (!ids.isEmpty())
                kept.append(line.left(eq + 1) + ids.join(u';') + u';');
        }
        if (changed)
            ok = writeIfChanged(apps.userMimeappsFile(), kept.join(u'\n').toUtf8()) && ok;
    }

    for (const RegRoot root : {RegRoot::HKCU, RegRoot::HKLM}) {
        const QString file = registry.fileName(root);
        ok = (!QFileInfo::exists(file) || QFile::remove(file)) && ok;
    }
    return {ok, ok ? kUninstalledMessage
                   : QStringLiteral("Some of Skimline's files could not be removed.")};
}

} // namespace ShellIntegration
