#include "store/SystemFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace {

const QString kProgramFolder = QStringLiteral("skimline");

QString cleaned(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(path));
}

QString home()
{
    return cleaned(qEnvironmentVariable("SKIMLINE_HOME"));
}

QString dataFolder()
{
    const QString h = home();
    if (!h.isEmpty())
        return h + QStringLiteral("/data");
    const QString base =
        cleaned(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return base.isEmpty() ? QString() : base + u'/' + kProgramFolder;
}

QString configFolder()
{
    const QString h = home();
    if (!h.isEmpty())
        return h + QStringLiteral("/config");
    const QString base =
        cleaned(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    return base.isEmpty() ? QString() : base + u'/' + kProgramFolder;
}

QString join(const QString &folder, const QString &name)
{
    return folder.isEmpty() ? QString() : folder + u'/' + name;
}

} // namespace

QString GetSpecialFolder(int csidl)
{
    const QString h = home();
    switch (csidl) {
    case Csidl::AppData:
        if (!h.isEmpty())
            return h;
        return cleaned(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    case Csidl::CommonAppData:
        return dataFolder();
    case Csidl::Documents:
        if (!h.isEmpty())
            return h + QStringLiteral("/documents");
        return cleaned(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    case Csidl::Favorites:
        return join(dataFolder(), QStringLiteral("Favorites"));
    default:
        return QString();
    }
}

Folders Folders::resolve()
{
    Folders f;
    f.favorites = GetSpecialFolder(Csidl::Favorites);
    f.appData = GetSpecialFolder(Csidl::AppData);
    f.documents = GetSpecialFolder(Csidl::Documents);
    f.data = dataFolder();
    f.commonData = join(GetSpecialFolder(Csidl::CommonAppData), QStringLiteral("common"));
    f.sklDocs = join(f.documents, QStringLiteral("skl"));
    f.xml = join(f.data, QStringLiteral("XML"));
    f.config = configFolder();
    f.formDataFile = join(f.data, QStringLiteral("FormData.txt"));
    f.errorLogFile = join(f.commonData, QStringLiteral("LoggedErrors.txt"));
    f.userHiveFile = join(f.config, QStringLiteral("HKCU.ini"));
    f.machineHiveFile = join(f.config, QStringLiteral("HKLM.ini"));
    f.userHome = home().isEmpty() ? cleaned(QDir::homePath()) : home() + QStringLiteral("/home");
    return f;
}

bool Folders::create() const
{
    bool ok = true;
    for (const QString *folder : {&appData, &data, &sklDocs, &commonData, &xml, &config}) {
        if (folder->isEmpty() || !QDir().mkpath(*folder))
            ok = false;
    }
    return ok;
}
