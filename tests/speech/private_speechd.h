// A speech-dispatcher of our own for tests and benchmarks: its own
// configuration folder, socket and logs in a fresh temporary folder, one
// output module (espeak-ng, or the dummy module that has no Portuguese
// voice), sound to ALSA's null device. SPEECHD_ADDRESS points clients at it
// while it runs; it is stopped by its process id, and ends by itself half a
// minute after its last client has gone.
#pragma once

#include "platform/files.h"
#include "platform/process.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

namespace speechdtest {

constexpr const char* MODULE_FOLDER = "/usr/lib/speech-dispatcher-modules";

class PrivateSpeechd {
public:
    // Why the server cannot run here ("" when it can).
    static std::string missing(const std::string& module = "espeak-ng") {
        if (findInSearchPath("speech-dispatcher").empty())
            return "speech-dispatcher is not installed "
                   "(Debian package speech-dispatcher; tools/setup-debian)";
        if (!isExecutableFile(std::string(MODULE_FOLDER) + "/sd_" + module))
            return "speech-dispatcher's " + module + " module is not installed " +
                   "(Debian package speech-dispatcher-" + module + "; tools/setup-debian)";
        return "";
    }

    // Starts the server and waits until its socket is there.
    bool start(const std::string& module = "espeak-ng") {
        namespace fs = std::filesystem;
        std::string name = "speechd_" + std::to_string(::getpid()) + "_" + std::to_string(++count_);
        folder_ = fs::temp_directory_path() / name;
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "conf/modules");
        fs::create_directories(folder_ / "log");
        std::ofstream(folder_ / "conf/speechd.conf")
            << "LogLevel 1\nLogDir \"" << (folder_ / "log").string() << "\"\n"
            << "AudioOutputMethod \"alsa\"\nAudioALSADevice \"null\"\n"
            << "AddModule \"" << module << "\" \"sd_" << module << "\" \"" << module << ".conf\"\n"
            << "DefaultModule " << module << "\nDefaultLanguage \"pt-BR\"\n";
        std::ofstream(folder_ / "conf/modules" / (module + ".conf"));
        socket_ = (folder_ / "speechd.sock").string();
        SpawnRequest request;
        request.program = findInSearchPath("speech-dispatcher");
        // Without a client for that long it ends by itself, so a test that
        // is killed does not leave it running.
        request.arguments = {"--run-single",  "--timeout", "30",
                             "--config-dir",  (folder_ / "conf").string(),
                             "--socket-path", socket_,
                             "--pid-file",    (folder_ / "speechd.pid").string(),
                             "--log-dir",     (folder_ / "log").string()};
        request.input = request.output = request.error = StreamSetup::Null;
        request.newSession = true;
        if (spawnProcess(request, child_) != 0) return false;
        setenv("SPEECHD_ADDRESS", ("unix_socket:" + socket_).c_str(), 1);
        for (int i = 0; i < 200 && !std::filesystem::exists(socket_); ++i) {
            if (childHasExited(child_)) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return std::filesystem::exists(socket_);
    }

    // Ends it at once, as a crash would.
    void kill() {
        if (child_.pid > 0 && !child_.exited) ::kill(child_.pid, SIGKILL);
        waitForChild(child_, 5000);
    }

    void stop() {
        if (child_.pid > 0 && !child_.exited) {
            ::kill(child_.pid, SIGTERM);
            if (!waitForChild(child_, 5000)) kill();
        }
        child_ = ChildProcess{};
        unsetenv("SPEECHD_ADDRESS");
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
        folder_.clear();
    }

    ~PrivateSpeechd() { stop(); }

private:
    std::filesystem::path folder_;
    std::string socket_;
    ChildProcess child_;
    static inline int count_ = 0;
};

} // namespace speechdtest
