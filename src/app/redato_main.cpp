// redato: the family's talking text viewer. `redato [OPTIONS] [/L] FILE`
// shows FILE (a Linux path or a Windows-style path of the scripts) in the
// talking console and reads it line by line.
#include "app/options.h"
#include "app/startup.h"
#include "app/text_viewer.h"
#include "console/console.h"
#include "platform/encoding.h"
#include "platform/exit.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "speech/speech.h"

#include <cstdio>

namespace {

constexpr int64_t MAX_FILE_BYTES = 64 << 20;

const char* const SYNOPSIS =
    "redato [OPTIONS] [/L] FILE\n"
    "Shows a text file in the talking console and reads it line by line:\n"
    "Up, Down, Page Up, Page Down, Home and End move, Enter or F1 repeats\n"
    "the line, Esc leaves. FILE may be a Windows-style path (c:\\...).";

// The last component of a script path, for the title and the messages.
std::string baseName(const std::string& cp1252Path) {
    size_t slash = cp1252Path.find_last_of("\\/");
    return slash == std::string::npos ? cp1252Path : cp1252Path.substr(slash + 1);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    int done = parseCommandLine(argc, argv, "redato", SYNOPSIS, options);
    if (done >= 0) return done;
    std::vector<std::string>& args = options.arguments;
    // The family's programs open the viewer as "redato /L FILE".
    if (!args.empty() && (args[0] == "/L" || args[0] == "/l")) args.erase(args.begin());
    if (args.size() != 1) {
        std::fputs(usageText(SYNOPSIS).c_str(), stderr);
        return 2;
    }
    if (int status = preparePlatform(options, "redato")) return status;
    std::string path = utf8ToCp1252(args[0]);
    std::string name = baseName(path);

    // A voice that cannot start ends the program as a failed start.
    setConsoleClosedExitCode(2);
    initSpeech(0, "");
    setConsoleClosedExitCode(3);
    clearScreen();
    setConsoleTitle("REDATO - " + name);

    // Only regular files are read (a pipe or a device might never end), and
    // only as much as is sensible to hold and page through.
    std::string posixPath = mapPath(path);
    std::string content;
    int64_t size = 0;
    std::string problem;
    if (!fileSize(posixPath, size)) problem = "Arquivo n\xE3o encontrado: ";
    else if (size > MAX_FILE_BYTES) problem = "Arquivo grande demais: ";
    else if (!readWholeFile(posixPath, content)) problem = "N\xE3o foi poss\xEDvel ler o arquivo ";
    if (!problem.empty()) {
        writeLineSpeak(problem + name);
        waitWhileSoundBusy();
        runExitHooks();
        return 2;
    }
    viewTextLines(name, splitTextLines(content));
    runExitHooks();
    return 0;
}
