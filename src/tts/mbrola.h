// The MBROLA speech engine's 23 entry points, provided over the separately
// installed mbrola program (Debian's "mbrola" package): each utterance is
// one child process that reads phoneme lines on its standard input and
// writes 16-bit mono samples at the voice's rate (16 kHz for br4) on its
// standard output. The next child is started ahead, so its voice is loaded
// when an utterance begins. The voice database is only ever opened by the
// mbrola program itself. Owns the child processes and the phone records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MbrolaPhone;

struct MbrolaBinding {
    // Starts the engine on a voice database; negative on failure.
    int (*init_MBR)(const char* databasePath);
    // The same with phoneme renaming and cloning lists ("a A b B ...").
    int (*init_rename_MBR)(const char* databasePath, const char* renameList, const char* cloneList);
    // One line of MBROLA phoneme notation (its line end may be CR LF).
    int (*write_MBR)(const char* line);
    // Everything written so far becomes readable: read_MBR then waits for
    // the rest of the utterance and answers 0 once it has all been read.
    void (*flush_MBR)();
    // Up to `capacity` samples; 0 when none is ready now, negative on a failure.
    int (*read_MBR)(int16_t* buffer, int capacity);
    // read_MBR in another sample type (MBROLA_LIN16 or MBROLA_LIN8).
    int (*readtype_MBR)(void* buffer, int capacity, int type);
    void (*close_MBR)();
    // Forgets pending input and output and clears the error.
    void (*reset_MBR)();
    int (*lastError_MBR)(); // nonzero after an error
    void (*lastErrorStr_MBR)(char* buffer, int size);
    // 1: a diphone the voice lacks is replaced by silence instead of an error.
    void (*setNoError_MBR)(int noError);
    int (*getNoError_MBR)();
    void (*setFreq_MBR)(int frequency); // output sample rate
    int (*getFreq_MBR)();
    void (*setVolumeRatio_MBR)(float ratio);
    float (*getVolumeRatio_MBR)();
    void (*getVersion_MBR)(char* buffer, int size);
    int (*getDatabaseInfo_MBR)(char* buffer, int size, int index);
    // The program parses its own input; a parser cannot be replaced.
    void (*setParser_MBR)(void* parser);
    MbrolaPhone* (*init_Phone)(const char* name, float lengthMs);
    void (*reset_Phone)(MbrolaPhone* phone);
    void (*close_Phone)(MbrolaPhone* phone);
    void (*appendf0_Phone)(MbrolaPhone* phone, float position, float frequency);
};

constexpr int MBROLA_LIN16 = 0, MBROLA_LIN8 = 3;
constexpr int MBROLA_ENTRY_POINTS = 23;

// One exported entry point of an engine library.
struct MbrolaExport {
    const char* name;
    void* address;
};

// Binds the engine: false when the mbrola program is not installed (not in
// PATH). Every one of the 23 names must be found.
bool bindMbrola(MbrolaBinding& binding);
// Binds from an export table; false when a name is missing.
bool bindMbrolaExports(const MbrolaExport* exports, size_t count, MbrolaBinding& binding);
// Releases the engine: ends its child processes.
void unbindMbrola(MbrolaBinding& binding);

// Where an installed voice database lives: "/usr/share/mbrola/NAME/NAME"
// (or "/usr/share/mbrola/NAME") for a bare name that is installed there;
// otherwise the name itself, as a path of the scripts (mapped).
std::string mbrolaDatabasePath(const std::string& name);
