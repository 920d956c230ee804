// External media players through posix_spawn (platform/process) and signals.
#include "platform/media_player.h"

#include <signal.h>

#include <vector>

namespace {

struct PlayerCommand {
    const char* name;
    std::vector<std::string> options;  // before the file name
};

// In order of preference: the ones that play everything quietly first.
const PlayerCommand PLAYERS[] = {
    {"mpv", {"--no-video", "--no-terminal"}},
    {"ffplay", {"-nodisp", "-autoexit", "-loglevel", "quiet"}},
    {"cvlc", {"--play-and-exit", "--quiet", "--no-video"}},
    {"mplayer", {"-really-quiet", "-novideo"}},
    {"play", {"-q"}},
};

const PlayerCommand* commandOf(const std::string& player) {
    std::string base = player.substr(player.find_last_of('/') + 1);
    for (const PlayerCommand& p : PLAYERS)
        if (base == p.name) return &p;
    return nullptr;
}

} // namespace

std::string findMediaPlayer() {
    for (const PlayerCommand& p : PLAYERS) {
        std::string path = findInSearchPath(p.name);
        if (!path.empty()) return path;
    }
    return {};
}

int startMediaPlayer(const std::string& player, const std::string& path, ChildProcess& child) {
    SpawnRequest request;
    request.program = player;
    if (const PlayerCommand* command = commandOf(player)) request.arguments = command->options;
    // A relative name starting with "-" must not be read as an option.
    request.arguments.push_back(path.starts_with("/") ? path : "./" + path);
    request.input = request.output = request.error = StreamSetup::Null;
    request.newSession = true;
    return spawnProcess(request, child);
}

bool mediaPlayerRunning(ChildProcess& child) { return child.pid > 0 && !childHasExited(child); }

void stopMediaPlayer(ChildProcess& child) {
    if (!mediaPlayerRunning(child)) {
        child = ChildProcess{};
        return;
    }
    kill(child.pid, SIGTERM);
    if (!waitForChild(child, 500)) {
        kill(child.pid, SIGKILL);
        waitForChild(child, 500);
    }
    if (!child.exited) abandonChild(child);
    child = ChildProcess{};
}
