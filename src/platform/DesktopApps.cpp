#include "platform/DesktopApps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

namespace {

QString envOr(const char *name, const QString &fallback)
{
    const QString v = qEnvironmentVariable(name);
    return v.isEmpty() ? fallback : v;
}

QStringList envList(const char *name, const QString &fallback)
{
    QStringList out;
    for (const QString &d : envOr(name, fallback).split(u':', Qt::SkipEmptyParts))
        out.append(QDir::cleanPath(d));
    return out;
}

// The groups of an INI-like file (desktop entries, mimeapps.list): group -> key -> value.
using Groups = QHash<QString, QHash<QString, QString>>;

Groups readGroups(const QString &path)
{
    Groups out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    QTextStream in(&f);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        // The first of a repeated key holds, as readers of these files do.
        if (!out[group].contains(key))
            out[group].insert(key, line.mid(eq + 1).trimmed());
    }
    return out;
}

QStringList ids(const QString &list)
{
    return list.split(u';', Qt::SkipEmptyParts);
}

} // namespace

DesktopApps::DesktopApps()
{
    const QString home = QDir::homePath();
    m_configHome = QDir::cleanPath(envOr("XDG_CONFIG_HOME", home + QStringLiteral("/.config")));
    m_configDirs = envList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    m_dataHome = QDir::cleanPath(envOr("XDG_DATA_HOME", home + QStringLiteral("/.local/share")));
    m_dataDirs = {m_dataHome};
    m_dataDirs += envList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
}

std::optional<DesktopApp> DesktopApps::find(const QString &desktopId) const
{
    if (!desktopId.endsWith(QLatin1String(".desktop")) || desktopId.contains(u'/'))
        return std::nullopt;
    for (const QString &dir : m_dataDirs) {
        // "a-b.desktop" may live as applications/a/b.desktop.
        QStringList candidates = {dir + QStringLiteral("/applications/") + desktopId};
        QString nested = desktopId;
        for (qsizetype i = nested.indexOf(u'-'); i > 0; i = nested.indexOf(u'-', i + 1)) {
            QString p = nested;
            p[i] = u'/';
            candidates.append(dir + QStringLiteral("/applications/") + p);
        }
        for (const QString &path : candidates) {
            if (!QFileInfo(path).isFile())
                continue;
            const Groups g = readGroups(path);
            const QHash<QString, QString> entry = g.value(QStringLiteral("Desktop Entry"));
            // The first entry of an id hides the later ones, even when it is hidden itself.
            if (entry.value(QStringLiteral("Hidden")) == QLatin1String("true") ||
                entry.value(QStringLiteral("Type"), QStringLiteral("Application")) !=
                    QLatin1String("Application") ||
                entry.value(QStringLiteral("Exec")).isEmpty())
                return std::nullopt;
            const QString tryExec = entry.value(QStringLiteral("TryExec"));
            if (!tryExec.isEmpty() && QStandardPaths::findExecutable(tryExec).isEmpty() &&
                !QFileInfo(tryExec).isExecutable())
                return std::nullopt;
            return DesktopApp{desktopId, path, entry.value(QStringLiteral("Name")),
                              entry.value(QStringLiteral("Exec")),
                              ids(entry.value(QStringLiteral("Categories")))};
        }
    }
    return std::nullopt;
}

QStringList DesktopApps::mimeappsFiles() const
{
    QStringList out;
    out.append(m_configHome + QStringLiteral("/mimeapps.list"));
    for (const QString &d : m_configDirs)
        out.append(d + QStringLiteral("/mimeapps.list"));
    for (const QString &d : m_dataDirs)
        out.append(d + QStringLiteral("/applications/mimeapps.list"));
    return out;
}

QList<DesktopApp> DesktopApps::handlers(const QString &mimeType) const
{
    QStringList defaults, added;
    QSet<QString> removed;
    for (const QString &file : mimeappsFiles()) {
        const Groups g = readGroups(file);
        for (const QString &id :
             ids(g.value(QStringLiteral("Default Applications")).value(mimeType)))
            if (!removed.contains(id))
                defaults.append(id);
        for (const QString &id : ids(g.value(QStringLiteral("Added Associations")).value(mimeType)))
            if (!removed.contains(id))
                added.append(id);
        // A removal holds for the files after it (less important ones), not for those before.
        for (const QString &id :
             ids(g.value(QStringLiteral("Removed Associations")).value(mimeType)))
            removed.insert(id);
    }
    QStringList capable;
    for (const QString &dir : m_dataDirs) {
        const QString cache = dir + QStringLiteral("/applications/mimeinfo.cache");
        if (QFileInfo(cache).isFile()) {
            capable += ids(readGroups(cache).value(QStringLiteral("MIME Cache")).value(mimeType));
            continue;
        }
        // No cache (the user's own folder usually): the entries say what they open.
        const QDir apps(dir + QStringLiteral("/applications"));
        for (const QString &name :
             apps.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name)) {
            const Groups g = readGroups(apps.filePath(name));
            if (ids(g.value(QStringLiteral("Desktop Entry")).value(QStringLiteral("MimeType")))
                    .contains(mimeType))
                capable.append(name);
        }
    }
    QList<DesktopApp> out;
    QSet<QString> seen;
    auto take = [&](const QStringList &list, bool honourRemoved) {
        for (const QString &id : list) {
            if (seen.contains(id) || (honourRemoved && removed.contains(id)))
                continue;
            seen.insert(id);
            if (std::optional<DesktopApp> app = find(id))
                out.append(*app);
        }
    };
    take(defaults, false);
    take(added, false);
    take(capable, true);
    return out;
}

std::optional<DesktopApp> DesktopApps::defaultFor(const QString &mimeType) const
{
    const QList<DesktopApp> all = handlers(mimeType);
    if (all.isEmpty())
        return std::nullopt;
    return all.first();
}

QStringList DesktopApps::commandLine(const DesktopApp &app, const QStringList &addresses)
{
    // Split as the desktop-entry rules quote: double quotes, with \" \` \$ \\ inside them.
    QStringList words;
    QString word;
    bool quoted = false, inWord = false;
    const QString &exec = app.exec;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < exec.size()) {
                word += exec[++i];
            } else if (c == u'"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == u'"') {
            quoted = inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words.append(std::exchange(word, QString()));
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return {};
    if (inWord)
        words.append(word);

    QStringList out;
    bool placed = false;
    for (const QString &w : std::as_const(words)) {
        if (w == QLatin1String("%U") || w == QLatin1String("%F")) {
            out += addresses;
            placed = true;
            continue;
        }
        if (w == QLatin1String("%u") || w == QLatin1String("%f")) {
            if (!addresses.isEmpty())
                out.append(addresses.first());
            placed = true;
            continue;
        }
        if (w == QLatin1String("%i") || w == QLatin1String("%c") || w == QLatin1String("%k")) {
            if (w == QLatin1String("%c"))
                out.append(app.name);
            else if (w == QLatin1String("%k"))
                out.append(app.path);
            continue; // no icon to hand over
        }
        // Other field codes are dropped; "%%" is a percent sign.
        QString text;
        for (qsizetype i = 0; i < w.size(); ++i) {
            if (w[i] == u'%' && i + 1 < w.size()) {
                if (w[i + 1] == u'%')
                    text += u'%';
                ++i;
            } else {
                text += w[i];
            }
        }
        if (!text.isEmpty())
            out.append(text);
    }
    if (!placed)
        out += addresses;
    return out;
}

DesktopApps::ToolRun DesktopApps::runTool(const QString &program, const QStringList &arguments,
                                          int timeoutMs)
{
    ToolRun run;
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return run;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(path, arguments);
    if (!p.waitForStarted())
        return run;
    run.started = true;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        run.output = QStringLiteral("%1 did not finish").arg(program);
        return run;
    }
    run.output = QString::fromLocal8Bit(p.readAll()).trimmed();
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return run;
}
