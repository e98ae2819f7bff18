#include "startup/Main.h"
#include "frame/MDIForm1.h"
#include "platform/HttpClient.h"
#include "platform/Shell.h"
#include "platform/Ui.h"
#include "platform/webengine/WebEnginePlatform.h"
#include "store/SystemFolders.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char *kHelp =
    "Usage: skimline [options] [address | file | file.url]\n"
    "\n"
    "Skimline, a web browser for reading many pages fast.\n"
    "While Skimline runs, starting it again with an address hands the address to the\n"
    "running program and ends at once.\n"
    "\n"
    "Options:\n"
    "  --help              Show this help and exit.\n"
    "  --version           Show the version and exit.\n"
    "  --no-first-run      Count the agreement as accepted and skip the first-run Quick Help.\n"
    "  --exit-when-idle    Close normally once a document has completed and nothing is\n"
    "                      loading or queued (exit code 0).\n"
    "  --print-completed   Print \"completed <address>\" for every document that completes.\n"
    "  /Setup, /Upgrade    Install the desktop entry and icon for this user and show\n"
    "                      what is new.\n"
    "  /Uninstall          Remove the desktop entry, the icon, the default-browser\n"
    "                      associations and the settings; favorites, history and\n"
    "                      documents stay.\n"
    "\n"
    "Environment:\n"
    "  SKIMLINE_HOME       Keep all data, documents and settings under this folder.\n"
    "  SKIMLINE_PAGES      Take the program's own pages from this folder.\n";

// Starts the engine only when the first control is asked for: a start that hands its address
// to the running program ends before that.
class LazyWebEngine : public BrowserFactory
{
public:
    std::unique_ptr<BrowserControl> createControl() override
    {
        if (!m_platform) {
            WebEngineOptions options;
            options.pagesPath = modMain::findPagesFolder();
            const Folders folders = Folders::resolve();
            options.storagePath = folders.data + QStringLiteral("/WebEngine");
            options.xmlPath = folders.xml;
            m_platform = std::make_unique<WebEnginePlatform>(options);
        }
        return m_platform->createControl();
    }

private:
    std::unique_ptr<WebEnginePlatform> m_platform;
};

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Skimline %s\n", SKIMLINE_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
    }

    WebEnginePlatform::registerSchemes();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Skimline"));
    // The desktop matches the windows to the installed entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("skimline"));
    QApplication::setApplicationVersion(QStringLiteral(SKIMLINE_VERSION));

    int exitCode = 0;
    {
        LazyWebEngine browsers;
        QtUi ui;
        QtShell shell;
        QtHttpClient http;
        Platform platform{&browsers, &ui, &shell, &http};
        modMain program(
            platform, StartArguments::parse(QApplication::arguments().mid(1), QDir::currentPath()));
        switch (program.Main()) {
        case modMain::Outcome::HandedOff:
        case modMain::Outcome::Declined:
        case modMain::Outcome::Uninstalled:
            return 0;
        case modMain::Outcome::Running:
            break;
        }
        ui.setDialogParent(program.context().mainForm);
        exitCode = app.exec();
    }
    return exitCode;
}
