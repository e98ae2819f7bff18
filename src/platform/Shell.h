#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// The desktop: default handlers, other programs, the trash.
class Shell
{
public:
    virtual ~Shell() = default;
    [[nodiscard]] virtual bool openUrl(const QUrl &url) = 0; // the default browser or handler
    [[nodiscard]] virtual bool openFile(const QString &path) = 0;
    // Starts a program (a mail client) without waiting for it.
    [[nodiscard]] virtual bool runProgram(const QString &program, const QStringList &arguments) = 0;
    [[nodiscard]] virtual bool moveToTrash(const QString &path) = 0;
};

class QtShell : public Shell
{
public:
    bool openUrl(const QUrl &url) override;
    bool openFile(const QString &path) override;
    bool runProgram(const QString &program, const QStringList &arguments) override;
    bool moveToTrash(const QString &path) override;
};
