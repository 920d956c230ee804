// The MBROLA entry points over the mbrola program.
#include "tts/mbrola.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"

struct MbrolaPhone {
    std::string name;
    float length = 0;
    std::vector<std::pair<float, float>> pitchPoints;
};

namespace {

constexpr int VALIDATION_MS = 10000;  // a voice that takes longer to load counts as broken
constexpr int OUTPUT_WAIT_MS = 10000; // a child silent that long after a flush has hung
constexpr int DEFAULT_FREQUENCY = 16000;

struct Engine {
    std::string program, database, renameList, cloneList;
    bool initialised = false;
    bool noError = false;
    int frequency = DEFAULT_FREQUENCY;
    float volume = 1.0f;
    int error = 0;
    std::string errorText;
    ChildProcess child;
    bool running = false; // a child is there
    bool fresh = false;   // nothing has been written to it yet
    bool flushed = false; // its input is closed: read until its end
    std::string pending;  // samples read from it and not yet taken
};
Engine engine;

std::vector<std::string> childArguments() {
    std::vector<std::string> args;
    if (engine.noError) args.push_back("-e");
    if (engine.volume != 1.0f) args.insert(args.end(), {"-v", std::to_string(engine.volume)});
    if (engine.frequency != DEFAULT_FREQUENCY)
        args.insert(args.end(), {"-l", std::to_string(engine.frequency)});
    if (!engine.renameList.empty()) args.insert(args.end(), {"-R", engine.renameList});
    if (!engine.cloneList.empty()) args.insert(args.end(), {"-C", engine.cloneList});
    // A relative path starting with "-" must not be read as an option.
    args.insert(
        args.end(),
        {engine.database.starts_with("-") ? "./" + engine.database : engine.database, "-", "-"});
    return args;
}

void fail(int code, const std::string& text) {
    engine.error = code;
    engine.errorText = text;
}

void stopChild() {
    if (engine.running) killChild(engine.child);
    engine.child = ChildProcess{};
    engine.running = engine.fresh = engine.flushed = false;
}

bool startChild() {
    stopChild();
    SpawnRequest request;
    request.program = engine.program;
    request.arguments = childArguments();
    request.input = request.output = StreamSetup::Pipe;
    // Its messages are not read while it speaks (a full pipe would stop it);
    // failures show in its exit status.
    request.error = StreamSetup::Null;
    if (spawnProcess(request, engine.child) != 0) {
        fail(1, "mbrola cannot be started");
        return false;
    }
    engine.running = engine.fresh = true;
    return true;
}

// A fresh child with the current options, unless one is there.
bool ensureChild() {
    if (engine.running && !engine.flushed) return true;
    return startChild();
}

// Takes what the child wrote so far without waiting; false at its end.
bool drainOutput() {
    char buffer[65536];
    while (true) {
        long n = readPipe(engine.child.output, buffer, sizeof buffer);
        if (n > 0)
            engine.pending.append(buffer, static_cast<size_t>(n));
        else
            return n != 0;
    }
}

// The child has ended its output: collects its status and starts the next one.
void finishChild() {
    waitForChild(engine.child, OUTPUT_WAIT_MS);
    int status = engine.child.exited ? engine.child.exitStatus : -1;
    stopChild();
    if (status != 0)
        fail(status == -1 ? 1 : status, "mbrola ended with status " + std::to_string(status));
    startChild();
}

// Runs the program once on a short input: the voice loads and speaks.
bool validateDatabase(std::string& message) {
    SpawnRequest request;
    request.program = engine.program;
    request.arguments = childArguments();
    request.input = request.output = request.error = StreamSetup::Pipe;
    ChildProcess child;
    if (spawnProcess(request, child) != 0) {
        message = "mbrola cannot be started";
        return false;
    }
    const char probe[] = "_ 20 50 120\n_ 20\n";
    writePipe(child.input, probe, sizeof probe - 1);
    closePipe(child.input);
    size_t produced = 0;
    bool outputOpen = true, errorOpen = true;
    int waited = 0;
    char buffer[4096];
    while ((outputOpen || errorOpen) && waited < VALIDATION_MS) {
        int ready = waitForPipes(outputOpen ? child.output : child.error, -1, 50);
        if (!ready) waited += 50;
        long n;
        while (outputOpen && (n = readPipe(child.output, buffer, sizeof buffer)) != -1) {
            if (n == 0)
                outputOpen = false;
            else
                produced += static_cast<size_t>(n);
        }
        while (errorOpen && (n = readPipe(child.error, buffer, sizeof buffer)) != -1) {
            if (n == 0)
                errorOpen = false;
            else if (message.size() < 255)
                message.append(buffer, static_cast<size_t>(n));
        }
    }
    bool ended = waitForChild(child, outputOpen ? 0 : 2000);
    bool ok = ended && child.exitStatus == 0 && produced > 0;
    killChild(child);
    message = trim(message);
    if (!ok && message.empty()) message = "the voice database cannot be used";
    return ok;
}

int initMbr(const char* databasePath) {
    stopChild();
    engine.initialised = false;
    engine.error = 0;
    engine.errorText.clear();
    engine.pending.clear();
    engine.database = databasePath ? databasePath : "";
    if (engine.program.empty() || !fileExists(engine.database)) {
        fail(1, "no voice database at " + engine.database);
        return -1;
    }
    std::string message;
    if (!validateDatabase(message)) {
        fail(1, message);
        return -1;
    }
    // The first child starts when an option is set or with the first
    // utterance (reset_MBR).
    engine.initialised = true;
    return 0;
}

int initRenameMbr(const char* databasePath, const char* renameList, const char* cloneList) {
    engine.renameList = renameList ? renameList : "";
    engine.cloneList = cloneList ? cloneList : "";
    return initMbr(databasePath);
}

int writeMbr(const char* line) {
    if (!engine.initialised) {
        fail(1, "mbrola is not initialised");
        return -1;
    }
    if (!ensureChild()) return -1;
    engine.fresh = false;
    std::string text = line ? line : "";
    // The program reads LF-ended lines.
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    if (text.empty() || text.back() != '\n') text += '\n';
    size_t done = 0;
    while (done < text.size()) {
        long n = writePipe(engine.child.input, text.data() + done, text.size() - done);
        if (n >= 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n == -2) {
            fail(1, "mbrola stopped reading");
            return -1;
        }
        // Its input is full: it may be waiting for us to take its output.
        int ready = waitForPipes(engine.child.output, engine.child.input, OUTPUT_WAIT_MS);
        if (ready & PIPE_READABLE) drainOutput();
        if (!ready) {
            fail(1, "mbrola does not answer");
            return -1;
        }
    }
    if (childHasExited(engine.child) && engine.child.exitStatus != 0)
        fail(engine.child.exitStatus,
             "mbrola ended with status " + std::to_string(engine.child.exitStatus));
    return 0;
}

void flushMbr() {
    if (!engine.running || engine.fresh) return;
    closePipe(engine.child.input);
    engine.flushed = true;
}

int takeSamples(int16_t* buffer, int capacity) {
    size_t samples =
        std::min(engine.pending.size() / 2, static_cast<size_t>(std::max(capacity, 0)));
    std::memcpy(buffer, engine.pending.data(), samples * 2);
    engine.pending.erase(0, samples * 2);
    return static_cast<int>(samples);
}

int readMbr(int16_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    if (engine.pending.size() >= 2) return takeSamples(buffer, capacity);
    if (!engine.running || engine.fresh) return 0;
    bool open = drainOutput();
    if (!open && !engine.flushed) {
        // It ended before the utterance did (a fatal error): the next child
        // takes the rest.
        finishChild();
        if (engine.error) return -1;
    }
    if (engine.flushed) {
        while (open && engine.pending.size() < 2) {
            if (!waitForPipes(engine.child.output, -1, OUTPUT_WAIT_MS)) {
                stopChild();
                fail(1, "mbrola does not answer");
                return -1;
            }
            open = drainOutput();
        }
        if (!open && engine.pending.size() < 2) {
            engine.pending.clear(); // an odd last byte is no sample
            finishChild();
            return engine.error ? -1 : 0;
        }
    }
    return takeSamples(buffer, capacity);
}

int readtypeMbr(void* buffer, int capacity, int type) {
    if (type == MBROLA_LIN16) return readMbr(static_cast<int16_t*>(buffer), capacity);
    if (type != MBROLA_LIN8 || !buffer || capacity <= 0) return -1;
    std::vector<int16_t> samples(static_cast<size_t>(capacity));
    int n = readMbr(samples.data(), capacity);
    auto* out = static_cast<uint8_t*>(buffer);
    for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>((samples[i] >> 8) + 128);
    return n;
}

void closeMbr() {
    stopChild();
    engine.initialised = false;
    engine.pending.clear();
}

void resetMbr() {
    engine.error = 0;
    engine.errorText.clear();
    engine.pending.clear();
    if (engine.initialised && !(engine.running && engine.fresh)) startChild();
}

int lastErrorMbr() {
    return engine.error;
}

void copyText(const std::string& text, char* buffer, int size) {
    if (!buffer || size <= 0) return;
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
}

void lastErrorStrMbr(char* buffer, int size) {
    copyText(engine.errorText, buffer, size);
}

// Options take effect with the next child, which is started ahead now (a
// waiting fresh one is replaced), so the first utterance finds its voice
// loaded.
void optionsChanged() {
    if (engine.initialised && (!engine.running || engine.fresh)) startChild();
}

void setNoErrorMbr(int noError) {
    engine.noError = noError != 0;
    optionsChanged();
}
int getNoErrorMbr() {
    return engine.noError ? 1 : 0;
}
void setFreqMbr(int frequency) {
    if (frequency <= 0 || frequency == engine.frequency) return;
    engine.frequency = frequency;
    optionsChanged();
}
int getFreqMbr() {
    return engine.frequency;
}
void setVolumeRatioMbr(float ratio) {
    if (!(ratio > 0) || ratio == engine.volume) return;
    engine.volume = ratio;
    optionsChanged();
}
float getVolumeRatioMbr() {
    return engine.volume;
}
void getVersionMbr(char* buffer, int size) {
    copyText("mbrola program", buffer, size);
}
// The program keeps its database's information to itself.
int getDatabaseInfoMbr(char* buffer, int size, int) {
    copyText("", buffer, size);
    return 0;
}
void setParserMbr(void*) {}

MbrolaPhone* initPhone(const char* name, float lengthMs) {
    auto* phone = new MbrolaPhone;
    phone->name = name ? name : "";
    phone->length = lengthMs;
    return phone;
}
void resetPhone(MbrolaPhone* phone) {
    if (phone) phone->pitchPoints.clear();
}
void closePhone(MbrolaPhone* phone) {
    delete phone;
}
void appendf0Phone(MbrolaPhone* phone, float position, float frequency) {
    if (phone) phone->pitchPoints.emplace_back(position, frequency);
}

const MbrolaExport programExports[] = {
    {"init_MBR", reinterpret_cast<void*>(&initMbr)},
    {"init_rename_MBR", reinterpret_cast<void*>(&initRenameMbr)},
    {"write_MBR", reinterpret_cast<void*>(&writeMbr)},
    {"flush_MBR", reinterpret_cast<void*>(&flushMbr)},
    {"read_MBR", reinterpret_cast<void*>(&readMbr)},
    {"readtype_MBR", reinterpret_cast<void*>(&readtypeMbr)},
    {"close_MBR", reinterpret_cast<void*>(&closeMbr)},
    {"reset_MBR", reinterpret_cast<void*>(&resetMbr)},
    {"lastError_MBR", reinterpret_cast<void*>(&lastErrorMbr)},
    {"lastErrorStr_MBR", reinterpret_cast<void*>(&lastErrorStrMbr)},
    {"setNoError_MBR", reinterpret_cast<void*>(&setNoErrorMbr)},
    {"getNoError_MBR", reinterpret_cast<void*>(&getNoErrorMbr)},
    {"setFreq_MBR", reinterpret_cast<void*>(&setFreqMbr)},
    {"getFreq_MBR", reinterpret_cast<void*>(&getFreqMbr)},
    {"setVolumeRatio_MBR", reinterpret_cast<void*>(&setVolumeRatioMbr)},
    {"getVolumeRatio_MBR", reinterpret_cast<void*>(&getVolumeRatioMbr)},
    {"getVersion_MBR", reinterpret_cast<void*>(&getVersionMbr)},
    {"getDatabaseInfo_MBR", reinterpret_cast<void*>(&getDatabaseInfoMbr)},
    {"setParser_MBR", reinterpret_cast<void*>(&setParserMbr)},
    {"init_Phone", reinterpret_cast<void*>(&initPhone)},
    {"reset_Phone", reinterpret_cast<void*>(&resetPhone)},
    {"close_Phone", reinterpret_cast<void*>(&closePhone)},
    {"appendf0_Phone", reinterpret_cast<void*>(&appendf0Phone)},
};

std::string toLowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

template <typename F>
bool lookUp(const MbrolaExport* exports, size_t count, const char* name, F& entry) {
    for (size_t i = 0; i < count; ++i)
        if (std::strcmp(exports[i].name, name) == 0 && exports[i].address) {
            entry = reinterpret_cast<F>(exports[i].address);
            return true;
        }
    return false;
}

} // namespace

bool bindMbrolaExports(const MbrolaExport* exports, size_t count, MbrolaBinding& b) {
    MbrolaBinding bound{};
    bool ok = lookUp(exports, count, "init_MBR", bound.init_MBR) &&
              lookUp(exports, count, "init_rename_MBR", bound.init_rename_MBR) &&
              lookUp(exports, count, "write_MBR", bound.write_MBR) &&
              lookUp(exports, count, "flush_MBR", bound.flush_MBR) &&
              lookUp(exports, count, "read_MBR", bound.read_MBR) &&
              lookUp(exports, count, "readtype_MBR", bound.readtype_MBR) &&
              lookUp(exports, count, "close_MBR", bound.close_MBR) &&
              lookUp(exports, count, "reset_MBR", bound.reset_MBR) &&
              lookUp(exports, count, "lastError_MBR", bound.lastError_MBR) &&
              lookUp(exports, count, "lastErrorStr_MBR", bound.lastErrorStr_MBR) &&
              lookUp(exports, count, "setNoError_MBR", bound.setNoError_MBR) &&
              lookUp(exports, count, "getNoError_MBR", bound.getNoError_MBR) &&
              lookUp(exports, count, "setFreq_MBR", bound.setFreq_MBR) &&
              lookUp(exports, count, "getFreq_MBR", bound.getFreq_MBR) &&
              lookUp(exports, count, "setVolumeRatio_MBR", bound.setVolumeRatio_MBR) &&
              lookUp(exports, count, "getVolumeRatio_MBR", bound.getVolumeRatio_MBR) &&
              lookUp(exports, count, "getVersion_MBR", bound.getVersion_MBR) &&
              lookUp(exports, count, "getDatabaseInfo_MBR", bound.getDatabaseInfo_MBR) &&
              lookUp(exports, count, "setParser_MBR", bound.setParser_MBR) &&
              lookUp(exports, count, "init_Phone", bound.init_Phone) &&
              lookUp(exports, count, "reset_Phone", bound.reset_Phone) &&
              lookUp(exports, count, "close_Phone", bound.close_Phone) &&
              lookUp(exports, count, "appendf0_Phone", bound.appendf0_Phone);
    if (ok) b = bound;
    return ok;
}

bool bindMbrola(MbrolaBinding& binding) {
    std::string program = findInSearchPath("mbrola");
    if (program.empty()) return false;
    engine.program = program;
    return bindMbrolaExports(programExports, std::size(programExports), binding);
}

void unbindMbrola(MbrolaBinding& binding) {
    closeMbr();
    engine = Engine{};
    binding = MbrolaBinding{};
}

std::string mbrolaDatabasePath(const std::string& name) {
    if (!name.empty() && name.find_first_of("/\\:") == std::string::npos) {
        for (const std::string& voice : {name, toLowerAscii(name)})
            for (const std::string& candidate :
                 {"/usr/share/mbrola/" + voice + "/" + voice, "/usr/share/mbrola/" + voice})
                if (fileExists(candidate) && !directoryExists(candidate)) return candidate;
    }
    return mapPath(name);
}
