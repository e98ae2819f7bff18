#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// An application of the desktop as its desktop entry describes it.
struct DesktopApp
{
    QString id;   // "org.gnome.Evolution.desktop"
    QString path; // the entry's file
    QString name;
    QString exec; // the Exec line as written
    QStringList categories;
};

// The desktop's applications and their associations, read from the XDG folders (desktop
// entries, mimeapps.list, mimeinfo.cache) as every desktop shares them. The folders come from
// the environment when the object is made.
class DesktopApps
{
public:
    DesktopApps();

    std::optional<DesktopApp> find(const QString &desktopId) const;
    // The applications for a MIME type ("x-scheme-handler/mailto" for a scheme), the user's
    // choice first: the defaults, the added associations, then those that say they can;
    // removed associations and entries that cannot run are left out.
    QList<DesktopApp> handlers(const QString &mimeType) const;
    std::optional<DesktopApp> defaultFor(const QString &mimeType) const;

    // Where the user's own entries and icons go.
    QString userApplicationsFolder() const { return m_dataHome + QStringLiteral("/applications"); }
    QString userIconsFolder() const { return m_dataHome + QStringLiteral("/icons"); }

    // The program and arguments of an Exec line with the addresses in its field codes (added
    // at the end when it has none); empty when the line cannot be read.
    static QStringList commandLine(const DesktopApp &app, const QStringList &addresses);

    // The user's mimeapps.list, where choices made on this desktop are written.
    QString userMimeappsFile() const { return m_configHome + QStringLiteral("/mimeapps.list"); }

    // Runs a desktop tool (xdg-settings, xdg-mime) to its end, at most timeoutMs.
    struct ToolRun
    {
        bool started = false;
        int exitCode = -1;
        QString output; // standard output and error
    };
    // The desktop's tools are shell scripts that may take long on a busy machine: killing one
    // that would have succeeded reports a failure that is not one.
    static ToolRun runTool(const QString &program, const QStringList &arguments,
                           int timeoutMs = 30000);

private:
    QStringList mimeappsFiles() const;

    QString m_configHome;
    QStringList m_configDirs;
    QString m_dataHome;
    QStringList m_dataDirs; // m_dataHome first
};
