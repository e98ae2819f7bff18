// Profile (INI) files as read, changed and written back. Input: a selector byte (buffer length
// and which queries), then the file's bytes.
#include "FuzzSupport.h"

#include "store/IniFile.h"
#include "store/cFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    const QString path = fuzz::writeFile("fuzz.ini", fuzz::bytes(data + 1, size - 1));

    IniFile ini(path);
    if (!ini.load())
        return 0;
    const QStringList sections = ini.sections();
    for (const QString &section : sections) {
        fuzz::require(ini.hasSection(section));
        for (const QString &key : ini.keys(section))
            fuzz::require(ini.value(section, key).has_value());
        (void)ini.entries(section);
    }

    // What is written reads back, whatever the file held around it.
    const QString section = selector & 1 && !sections.isEmpty() ? sections.first() : "Fuzz";
    ini.setValue(section, "Fuzz Key", "fuzz value");
    if (selector & 2 && sections.value(1).compare("Fuzz Key", Qt::CaseInsensitive) != 0)
        (void)ini.removeKey(section, sections.value(1, "x"));
    const QString other = sections.value(2, "Other");
    if (selector & 4 && other.compare(section, Qt::CaseInsensitive) != 0)
        ini.replaceSection(other, {"a=1", "; note", "b = \"2\""});
    fuzz::require(ini.save());
    IniFile again(path);
    fuzz::require(again.load());
    fuzz::require(again.value(section, "Fuzz Key") == QString("fuzz value"));

    // The classic calls with their buffer lengths.
    cFile file;
    const int buffer = selector >> 3;
    const QString any = sections.value(0, "s");
    (void)file.INIEnumSections(buffer, path);
    (void)file.INIEnumKeys(any, buffer, path);
    (void)file.INIGetSection(any, buffer, path);
    (void)file.INIGetString(any, "Fuzz Key", buffer, "d", path);
    (void)file.INIGetInt(any, ini.keys(any).value(0, "k"), -1, path);
    (void)file.INIGetLong(any, ini.keys(any).value(0, "k"), -1, path);
    (void)file.INIGetBoolean(any, ini.keys(any).value(0, "k"), true, path);
    if (selector & 0x80)
        (void)file.INIWriteSection(any, path, QString("x=1") + QChar(0) + "y");
    return 0;
}
