#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace {

const char *kHelp =
    "Usage: skimline [options] [address | file.url]\n"
    "\n"
    "Skimline, a web browser for reading many pages fast.\n"
    "\n"
    "Options:\n"
    "  --help              Show this help and exit.\n"
    "  --version           Show the version and exit.\n"
    "\n"
    "Environment:\n"
    "  SKIMLINE_HOME       Keep all data, documents and settings under this folder.\n";

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
    QCoreApplication app(argc, argv);
    QTextStream(stderr) << "The main window is not available in this build.\n";
    return 1;
}
