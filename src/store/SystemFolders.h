#pragma once

#include <QString>

// Shell-folder numbers the program asks for.
namespace Csidl {
constexpr int Documents = 5;
constexpr int Favorites = 6;
constexpr int AppData = 26;
constexpr int CommonAppData = 35;
} // namespace Csidl

// Where every folder lives.
//
//                        normal run (XDG)                  SKIMLINE_HOME set
//   GetSpecialFolder(26) $XDG_DATA_HOME (~/.local/share)   $SKIMLINE_HOME
//   GetSpecialFolder(35) ~/.local/share/skimline           $SKIMLINE_HOME/data
//   GetSpecialFolder(5)  the user's documents folder       $SKIMLINE_HOME/documents
//   GetSpecialFolder(6)  ~/.local/share/skimline/Favorites $SKIMLINE_HOME/data/Favorites
//   data                 ~/.local/share/skimline           $SKIMLINE_HOME/data
//   commonData           <data>/common                     $SKIMLINE_HOME/data/common
//   sklDocs              <documents>/skl                   $SKIMLINE_HOME/documents/skl
//   xml                  <data>/XML                        $SKIMLINE_HOME/data/XML
//   config               $XDG_CONFIG_HOME/skimline         $SKIMLINE_HOME/config
//   userHome             the user's home folder            $SKIMLINE_HOME/home
//
// There is no machine-wide data on this platform: the "all users" folder is the per-user data
// folder's common/ subfolder (error log, sessions store), and both registry hives are INI files
// in the config folder. Separators are always '/'; no path ends with one.
//
// Any other CSIDL number yields an empty path, as a shell folder without a path does.
QString GetSpecialFolder(int csidl);

struct Folders
{
    QString favorites;       // gsFavoritesFolder
    QString appData;         // gsAppDataFolder
    QString documents;       // gsDocumentsFolder
    QString data;            // gsDataFolder
    QString commonData;      // gsCommonDataFolder
    QString sklDocs;         // gsSklDocsFolder
    QString xml;             // gsXmlFolder
    QString config;          // registry hives
    QString formDataFile;    // gsFormDataFile
    QString errorLogFile;    // gsErrorLogFile
    QString userHiveFile;    // HKCU stand-in
    QString machineHiveFile; // HKLM stand-in
    QString userHome;        // where other browsers keep their profiles (bookmark import)

    // Reads SKIMLINE_HOME and the XDG locations at the moment of the call.
    static Folders resolve();

    // Creates, each only if missing, every folder the program writes into. False when one of
    // them could not be made; the others are still attempted.
    [[nodiscard]] bool create() const;
};
