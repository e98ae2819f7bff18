// Internet shortcut (.url) files, as a command line or a handed-over address names them.
// Input: a selector byte, then the file's bytes.
#include "FuzzSupport.h"

#include "frame/CommandLine.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    const QString path = fuzz::writeFile("Fuzz Link.URL", fuzz::bytes(data + 1, size - 1));

    const auto target = ReadInternetShortcut(path);
    if (target)
        fuzz::require(!target->isEmpty() && *target == target->trimmed());
    // Only this file is named, so that nothing outside the work folder is read.
    const QString named = selector & 1   ? QUrl::fromLocalFile(path).toString()
                          : selector & 2 ? "\"Fuzz Link.URL\""
                                         : path;
    const CommandLineAction action = ParseCommandLine(named, fuzz::workDir().path());
    fuzz::require(action.kind == CommandLineKind::Address);
    if (target)
        fuzz::require(action.address == *target);
    return 0;
}
