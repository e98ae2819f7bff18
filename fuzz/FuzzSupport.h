#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Made once and never destroyed: Qt's own statics outlive it at exit otherwise.
inline void startApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    // Qt's warnings about hostile input are expected by the thousand.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

// Every file a target writes or reads lies in here.
inline const QDir &workDir()
{
    static QTemporaryDir *dir = new QTemporaryDir;
    static const QDir path(dir->path());
    if (!dir->isValid())
        std::abort();
    return path;
}

inline QString writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = workDir().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
    return path;
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A finding of the target's own checks: says which one, then aborts.
inline void require(bool condition, int line = __builtin_LINE(),
                    const char *file = __builtin_FILE())
{
    if (!condition) {
        std::fprintf(stderr, "check failed at %s:%d\n", file, line);
        std::abort();
    }
}

// A selector byte, then a text; after the text's first newline a second text.
struct SelectedTexts
{
    uint8_t selector = 0;
    QString first, second;
};

inline SelectedTexts selectedTexts(const uint8_t *data, size_t size)
{
    SelectedTexts in;
    in.selector = data[0];
    const QString input = QString::fromUtf8(bytes(data + 1, size - 1));
    const qsizetype nl = input.indexOf(u'\n');
    in.first = nl < 0 ? input : input.left(nl);
    in.second = nl < 0 ? QString() : input.mid(nl + 1);
    return in;
}

} // namespace fuzz
