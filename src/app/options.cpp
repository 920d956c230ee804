// Command-line options.
#include "app/options.h"

#include <cstdio>

bool parseOptions(int argc, char** argv, Options& o, std::string& error) {
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a.rfind("--", 0) != 0) break;
        if (a == "--help") o.help = true;
        else if (a == "--version") o.version = true;
        else if (a.rfind("--console=", 0) == 0) o.console = a.substr(10);
        else if (a.rfind("--audio=", 0) == 0) o.audio = a.substr(8);
        else if (a.rfind("--screen-dump=", 0) == 0) o.screenDump = a.substr(14);
        else {
            error = "unknown option " + a;
            return false;
        }
    }
    for (; i < argc; ++i) o.arguments.emplace_back(argv[i]);
    if (!o.console.empty() && o.console != "window" && o.console != "terminal" && o.console != "headless") {
        error = "--console takes window, terminal or headless";
        return false;
    }
    return true;
}

std::string optionsHelp() {
    return "  --console=window|terminal|headless  where the console is shown (default: the\n"
           "                                      terminal when standard input and output are\n"
           "                                      terminals, else headless; this build has no\n"
           "                                      window console)\n"
           "  --audio=device|none|capture:FILE    where sound goes (capture writes a WAV file)\n"
           "  --screen-dump=FILE                  write the 25 screen rows to FILE at exit\n"
           "  --help                              show this help\n"
           "  --version                           show the version\n"
           "\n"
           "Files named here are relative to the folder the program starts in.\n"
           "Programs a script starts inherit the console and audio choices through\n"
           "ONDARIA_CONSOLE and ONDARIA_AUDIO; without --console or --audio a program\n"
           "takes them from there.\n";
}

std::string usageText(const char* synopsis) { return std::string("usage: ") + synopsis + "\n\n" + optionsHelp(); }

int parseCommandLine(int argc, char** argv, const char* program, const char* synopsis, Options& options) {
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s: %s\n%s", program, error.c_str(), usageText(synopsis).c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usageText(synopsis).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s %s\n", program, ONDARIA_VERSION);
        return 0;
    }
    return -1;
}
