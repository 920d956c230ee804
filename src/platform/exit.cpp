// Exit hooks and the program's end.
#include "platform/exit.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
std::vector<ExitHook>& hooks() {
    static std::vector<ExitHook> list;
    return list;
}
} // namespace

void addExitHook(ExitHook hook) { hooks().push_back(hook); }

void runExitHooks() {
    auto& list = hooks();
    while (!list.empty()) {
        ExitHook h = list.back();
        list.pop_back();
        h();
    }
}

void programExit(int code) {
    runExitHooks();
    std::fflush(stdout);
    std::exit(code);
}
