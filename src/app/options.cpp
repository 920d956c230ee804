// Command-line options.
#include "app/options.h"

#include <cstring>

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
    return "  --console=window|terminal|headless  where the console is shown (default: a window\n"
           "                                      when there is a display, else the terminal,\n"
           "                                      else headless)\n"
           "  --audio=device|none|capture:FILE    where sound goes (capture writes a WAV file)\n"
           "  --screen-dump=FILE                  write the 25 screen rows to FILE at exit\n"
           "  --help                              show this help\n"
           "  --version                           show the version\n";
}
