#include "frame/DesktopPrograms.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace DesktopPrograms {

namespace {

bool isThisProgram(const DesktopApp &app, const QString &ownExecutable)
{
    if (app.id == QLatin1String("skimline.desktop"))
        return true;
    const QStringList command = DesktopApps::commandLine(app, {});
    if (command.isEmpty())
        return true; // an entry that cannot run is no choice either
    const QString program = QStandardPaths::findExecutable(command.first());
    const QString resolved = program.isEmpty() ? command.first() : program;
    return QFileInfo(resolved).canonicalFilePath() == QFileInfo(ownExecutable).canonicalFilePath();
}

} // namespace

std::optional<DesktopApp> otherBrowser(const DesktopApps &apps, const QString &ownExecutable)
{
    for (const DesktopApp &app : apps.handlers(QStringLiteral("x-scheme-handler/http")))
        if (!isThisProgram(app, ownExecutable))
            return app;
    return std::nullopt;
}

std::optional<DesktopApp> htmlEditor(const DesktopApps &apps, const QString &ownExecutable)
{
    for (const DesktopApp &app : apps.handlers(QStringLiteral("text/html"))) {
        if (isThisProgram(app, ownExecutable))
            continue;
        if (app.categories.contains(QLatin1String("TextEditor")) ||
            app.categories.contains(QLatin1String("WebDevelopment")))
            return app;
    }
    for (const DesktopApp &app : apps.handlers(QStringLiteral("text/plain")))
        if (!isThisProgram(app, ownExecutable))
            return app;
    return std::nullopt;
}

QStringList networkSettings()
{
    if (!QStandardPaths::findExecutable(QStringLiteral("gnome-control-center")).isEmpty())
        return {QStringLiteral("gnome-control-center"), QStringLiteral("network")};
    if (!QStandardPaths::findExecutable(QStringLiteral("systemsettings")).isEmpty())
        return {QStringLiteral("systemsettings"), QStringLiteral("kcm_proxy")};
    if (!QStandardPaths::findExecutable(QStringLiteral("systemsettings5")).isEmpty())
        return {QStringLiteral("systemsettings5"), QStringLiteral("proxy")};
    return {};
}

} // namespace DesktopPrograms
