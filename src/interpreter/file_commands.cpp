// File slots and the file and directory commands. Owns the ten FileSlots and
// the one directory search (findState) that every BUSCA shares. Script paths
// go through the path mapping (platform/paths.h) before they reach the
// platform's files.
#include "interpreter/file_commands.h"

#include "interpreter/network_commands.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "net/connection.h"
#include "platform/encoding.h"
#include "platform/exit.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "speech/speech.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

constexpr int SLOT_COUNT = 10;
constexpr size_t COPY_BUFFER_SIZE = 30000;
// LÊ on a network slot waits this long for a line.
constexpr int NET_LINE_SECONDS = 30;

struct FileSlot {
    bool open = false;
    // A connection opened by CONECTA or SERVE.
    bool network = false;
    int socket = -1;
    NetReader* reader = nullptr;
    TextFile file;
};

FileSlot slots[SLOT_COUNT];

// The directory search of BUSCA: the entries its pattern found when it
// started (directories in directory mode, files otherwise), in order, and
// the next one to hand out.
struct FindState {
    bool active = false;
    std::vector<std::string> entries;
    size_t next = 0;
};

FindState findState;

const char* const MSG_OPEN_ERROR = "Erro na abertura do arquivo ";
const char* const MSG_CLOSE_ERROR = "Erro no fechamento do arquivo";
const char* const MSG_FILE_ERROR = "Erro no processamento de arquivo";
const char* const MSG_REMOVE_ERROR = "Erro no apagamento do arquivo ";
const char* const MSG_WRITE_ERROR = "Erro na escrita de arquivo ";
const char* const MSG_DIRECTORY_ERROR = "Erro no processamento do diret\xF3rio ";

// Removes a trailing "&" (then trims); true when there was one.
bool stripAmpersand(std::string_view& args) {
    if (args.empty() || args.back() != '&') return false;
    args = trimView(args.substr(0, args.size() - 1));
    return true;
}

// Closes whatever the slot holds; the I/O result of closing a file.
int closeSlot(FileSlot& slot) {
    int error = 0;
    if (slot.open && slot.network) {
        readerFree(slot.reader);
        netClose(slot.socket);
        slot.socket = -1;
        slot.reader = nullptr;
    } else if (slot.open) {
        error = textFileClose(slot.file);
    }
    slot.open = false;
    slot.network = false;
    return error;
}

void closeSearch() { findState = FindState{}; }

// What is still buffered when the program ends is written out then, so a
// script that never closes its file loses no line; connections are closed.
void closeSlotsAtExit() {
    static const bool registered = (addExitHook(closeAllFileSlots), true);
    (void)registered;
}

// The next entry of the search, or the empty text (closing the search) when
// there is none.
std::string nextFoundEntry() {
    if (!findState.active || findState.next >= findState.entries.size()) {
        closeSearch();
        return std::string();
    }
    return findState.entries[findState.next++];
}

// Two values and nothing after them.
bool readTwoValues(std::string_view args, std::string& first, std::string& second) {
    return readValue(args, first) && readValue(args, second) && args.empty();
}

// Where a rename puts `name`: its mapped path, except that a new name which
// differs from the old one only in case keeps the case it was given.
std::string renameTarget(std::string_view name, const std::string& sourcePath) {
    std::string target = mapPath(name);
    if (target != sourcePath) return target;
    std::string folder, last;
    splitSearchPattern(name, folder, last);
    if (last.empty()) return target;
    std::string exact = cp1252ToUtf8(last);
    return folder == "." ? exact : folder + "/" + exact;
}

} // namespace

bool readSlot(std::string_view& text, int& slot) {
    text = trimView(text);
    if (text.size() < 2 || text[0] != '#' || !isDigitChar(text[1])) return false;
    if (text.size() > 2 && text[2] != ' ') return false;
    slot = text[1] - '0';
    text = trimView(text.substr(2));
    return true;
}

void closeFileSlot(int n) { closeSlot(slots[n]); }

void openNetworkSlot(int n, int socket) {
    FileSlot& slot = slots[n];
    closeSlot(slot);
    slot.open = true;
    slot.network = true;
    slot.socket = socket;
    slot.reader = readerCreate(socket);
    closeSlotsAtExit();
}

bool isNetworkSlot(int n) { return slots[n].open && slots[n].network; }
int networkSlotSocket(int n) { return isNetworkSlot(n) ? slots[n].socket : -1; }
NetReader* networkSlotReader(int n) { return isNetworkSlot(n) ? slots[n].reader : nullptr; }

void replaceSlotConnection(int n, int socket) {
    FileSlot& slot = slots[n];
    readerFree(slot.reader);
    // The new connection may carry the TLS session; the old one no longer
    // does, so closing it leaves the session alone.
    netClose(slot.socket);
    slot.socket = socket;
    slot.reader = readerCreate(socket);
}

void closeAllFileSlots() {
    for (FileSlot& slot : slots) closeSlot(slot);
    closeSearch();
}

bool commandAbre(std::string_view args) {
    bool append = stripAmpersand(args);
    std::string name;
    int n;
    if (readSlot(args, n) && !args.empty() && readValue(args, name) && !name.empty()) {
        FileSlot& slot = slots[n];
        closeSlot(slot);
        std::string path = mapPath(name);
        int error;
        if (append) {
            error = textFileOpenAppend(slot.file, path);
            if (error != 0) error = textFileCreate(slot.file, path);
        } else {
            error = textFileOpenRead(slot.file, path);
        }
        if (error == 0) {
            closeSlotsAtExit();
            slot.open = true;
            return true;
        }
    }
    writeLineSpeak(MSG_OPEN_ERROR + name);
    return false;
}

bool commandFecha(std::string_view args) {
    int n;
    bool ok = readSlot(args, n);
    if (ok && isNetworkSlot(n)) tlsMode = false;
    if (!ok || closeSlot(slots[n]) != 0) {
        writeLineSpeak(MSG_CLOSE_ERROR);
        return false;
    }
    return true;
}

bool writeToSlot(std::string_view args, bool noLineEnd) {
    if (args.size() < 2 || args[0] != '#' || !isDigitChar(args[1])) {
        writeLineSpeak(MSG_FILE_ERROR);
        return false;
    }
    FileSlot& slot = slots[args[1] - '0'];
    args = trimView(args.substr(2));
    std::string text, value;
    while (readValue(args, value))
        if (!appendWithinLimit(text, value)) return false;
    if (!slot.open) {
        writeLineSpeak(MSG_FILE_ERROR);
        return false;
    }
    if (slot.network) {
        // For a connection 1 means sent, the reverse of a file's I/O result.
        bool sent = noLineEnd ? netSendText(slot.socket, text) : netSendLine(slot.socket, text);
        runState.statusCode = sent ? 1 : 0;
    } else {
        int error = textFileWrite(slot.file, text, !noLineEnd);
        if (error == 0 && noLineEnd) error = textFileFlush(slot.file);
        runState.statusCode = error;
    }
    // As in the console form, text left after the values fails the command
    // once the values are written.
    return args.empty();
}

bool readFromSlot(std::string_view args) {
    int n;
    if (!readSlot(args, n)) return false;
    if (args.empty()) {
        writeLineSpeak(MSG_FILE_ERROR);
        return false;
    }
    int target;
    if (!readVariable(args, target)) return false;
    FileSlot& slot = slots[n];
    std::string& into = variable(target);
    if (!slot.open) {
        // Reading a slot that holds nothing is the same mistake as writing one.
        writeLineSpeak(MSG_FILE_ERROR);
        return false;
    }
    if (slot.network) {
        // On a time-out or a closed connection the variable keeps what came.
        runState.statusCode = readerGetLine(slot.reader, into, NET_LINE_SECONDS) ? 0 : 1;
        return true;
    }
    if (textFileAtEnd(slot.file)) {
        // Also a file open for appending, which has nothing to read: its
        // status tells the script so, as a write to a reading slot does.
        into.clear();
        runState.statusCode = slot.file.mode == TextFileMode::Reading ? 1 : EBADF;
        return true;
    }
    runState.statusCode = textFileReadLine(slot.file, into, textLengthLimit());
    // A line too long to hold fails the command, as every text too long does.
    return runState.statusCode != EFBIG;
}

bool commandChecha(std::string_view args) {
    int target;
    if (!readVariable(args, target) || !args.empty()) return false;
    variable(target) = decimal(runState.statusCode);
    return true;
}

bool commandRemove(std::string_view args) {
    if (args.empty()) return false;
    bool ignoreErrors = stripAmpersand(args);
    std::string name;
    if (!readValue(args, name) || name.empty()) return false;
    if (removeFile(mapPath(name)) || ignoreErrors) return true;
    writeLineSpeak(MSG_REMOVE_ERROR + name);
    return false;
}

bool commandRenomeia(std::string_view args) {
    bool ignoreErrors = stripAmpersand(args);
    std::string from, to;
    if (!readTwoValues(args, from, to)) return false;
    std::string source = mapPath(from);
    return renamePath(source, renameTarget(to, source)) || ignoreErrors;
}

bool commandReplica(std::string_view args) {
    bool ignoreErrors = stripAmpersand(args);
    std::string source, target;
    if (!readTwoValues(args, source, target)) return false;
    std::string sourcePath = mapPath(source), targetPath = mapPath(target);
    // A source that cannot be read leaves the target alone, and a copy onto
    // itself is refused: creating the target would empty the source.
    int in = openByteFileForReading(sourcePath);
    if (in < 0) return ignoreErrors;
    if (sameFile(sourcePath, targetPath)) {
        closeByteFile(in);
        return ignoreErrors;
    }
    int out = createByteFile(targetPath);
    if (out < 0) {
        closeByteFile(in);
        return ignoreErrors;
    }
    std::vector<char> buffer(COPY_BUFFER_SIZE);
    bool ok = true;
    // The copy stops at the first error; with "&" that error is not reported.
    while (true) {
        long n = readBytes(in, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (!ignoreErrors) writeLineSpeak(std::string(MSG_FILE_ERROR) + " " + source);
            ok = ignoreErrors;
            break;
        }
        if (writeBytes(out, buffer.data(), static_cast<size_t>(n)) < static_cast<size_t>(n)) {
            if (!ignoreErrors) writeLineSpeak(MSG_WRITE_ERROR + target);
            ok = ignoreErrors;
            break;
        }
    }
    closeByteFile(in);
    closeByteFile(out);
    return ok;
}

bool commandTamarq(std::string_view args) {
    std::string name;
    int target;
    if (!readValue(args, name) || !readVariable(args, target)) return false;
    int64_t size;
    variable(target) = fileSize(mapPath(name), size) ? decimal(size) : "-1";
    return true;
}

bool commandDir(std::string_view args) {
    bool ignoreErrors = stripAmpersand(args);
    enum class Action { Create, Remove, Enter } action;
    if (startsWithUpperLatin(args, "CRIA ")) {
        action = Action::Create;
        args.remove_prefix(5);
    } else if (startsWithUpperLatin(args, "REMOVE ")) {
        action = Action::Remove;
        args.remove_prefix(7);
    } else if (startsWithUpperLatin(args, "TROCA ")) {
        action = Action::Enter;
        args.remove_prefix(6);
    } else {
        return false;
    }
    std::string name;
    if (!readValue(args, name) || !args.empty()) return false;
    std::string path = mapPath(name);
    bool ok = action == Action::Create   ? createDirectory(path)
              : action == Action::Remove ? removeDirectory(path)
                                         : changeDirectory(path);
    if (ok || ignoreErrors) return true;
    writeLineSpeak(MSG_DIRECTORY_ERROR + name);
    return false;
}

bool commandBusca(std::string_view args) {
    int target;
    if (!readVariable(args, target) || args.empty()) return false;
    bool directories = false;
    if (startsWithUpperLatin(args, "DIR")) {
        directories = true;
        args = trimView(args.substr(std::min<size_t>(4, args.size())));
    }
    if (startsWithUpperLatin(args, "FIM")) {
        closeSearch();
        return true;
    }
    std::string found;
    if (startsWithUpperLatin(args, "PR\xD3XIMO") || startsWithUpperLatin(args, "PROXIMO")) {
        if (!trimView(args.substr(7)).empty()) return false;
        found = nextFoundEntry();
    } else if (!args.empty()) {
        std::string pattern;
        if (!readValue(args, pattern) || !args.empty()) return false;
        std::string folder, namePattern;
        splitSearchPattern(pattern, folder, namePattern);
        closeSearch();
        findState.active = true;
        findState.entries = listDirectory(folder, namePattern, directories);
        found = nextFoundEntry();
    } else {
        found = unmapPath(currentDirectory());
    }
    variable(target) = trim(found);
    return true;
}
