// A stand-in for the mbrola program in the driver's tests, installed as
// "mbrola" in a folder of its own that the tests put first in PATH.
//
//   mbrola [-e] [-v R] [-l F] [-R L] [-C L] DATABASE - -
//
// DATABASE must start with "FAKE <bytes>": every run writes that many bytes
// of samples (the 16-bit value 1000) once its input has ended. It appends
// its arguments and every input line to DATABASE.log. A phoneme line
// starting with "FAIL" ends it at once with status 3, as a fatal error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    std::string database;
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        arguments += std::string(" ") + argv[i];
        if (argv[i][0] == '-' && argv[i][1] != 0) {
            if (std::strchr("vlRC", argv[i][1]) && i + 1 < argc)
                arguments += std::string(" ") + argv[++i];
            continue;
        }
        if (database.empty()) database = argv[i];
    }
    FILE* voice = std::fopen(database.c_str(), "rb");
    long bytes = 0;
    if (!voice || std::fscanf(voice, "FAKE %ld", &bytes) != 1 || bytes <= 0) {
        std::fprintf(stderr, "Fatal error: %s is not a voice\n", database.c_str());
        return 2;
    }
    std::fclose(voice);
    FILE* log = std::fopen((database + ".log").c_str(), "ab");
    std::fprintf(log, "start%s\n", arguments.c_str());
    std::fflush(log);
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        std::fputs(line, log);
        std::fflush(log);
        if (std::strncmp(line, "FAIL", 4) == 0) return 3;
    }
    std::fclose(log);
    for (long i = 0; i < bytes; ++i) std::putchar(i % 2 == 0 ? 1000 & 0xFF : 1000 >> 8);
    return 0;
}
