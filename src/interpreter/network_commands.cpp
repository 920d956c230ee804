// The network commands over net/connection.h.
#include "interpreter/network_commands.h"

#include "console/console.h"
#include "interpreter/file_commands.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "net/connection.h"
#include "platform/text.h"
#include "speech/speech.h"

#include <string>

bool tlsMode = false;

namespace {

constexpr uint8_t ESC = 27;
const char* const MSG_CONNECTION_ERROR = "Erro de conexao";
const char* const MSG_PORT_ERROR = "Erro na porta TCP/IP";

// Where the last CONECTA went (ATIVASSL connects there again); recorded as
// CONECTA reads its arguments, so a CONECTA that fails later leaves it too.
struct ConnectTarget {
    std::string host;
    std::string portText;
    uint16_t port = 0;
};
ConnectTarget lastConnectTarget;

// The low 16 bits of a port text in the integer conversion; false when it
// is not a number.
bool readPort(std::string_view text, uint16_t& port) {
    int32_t value;
    if (!convertInteger(text, value)) return false;
    port = static_cast<uint16_t>(value & 0xFFFF);
    return true;
}

// SERVE waits for its client as long as it takes, unless the user presses
// Esc meanwhile.
int keysBeforeServe = 0;
bool watchServe() { return !takeQueuedKey(ESC, keysBeforeServe); }

} // namespace

void resetNetworkCommands() {
    tlsMode = false;
    lastConnectTarget = ConnectTarget {};
}

bool commandInternet(std::string_view args) {
    std::string word = toUpperLatin(args);
    if (word == "INICIA") netStartup();
    else if (word == "TERMINA") netCleanup();
    else return false;
    return true;
}

bool commandConecta(std::string_view args) {
    if (startsWithUpperLatin(args, "SSL ")) {
        tlsMode = true;
        args.remove_prefix(4);
    }
    bool quiet = !args.empty() && args.back() == '&';
    if (quiet) args.remove_suffix(1);

    int slot;
    bool read = readSlot(args, slot) && !args.empty();
    if (read) {
        lastConnectTarget = ConnectTarget {};
        read = readValue(args, lastConnectTarget.host) && readValue(args, lastConnectTarget.portText);
    }
    int connection = -1;
    if (read) {
        if (!readPort(lastConnectTarget.portText, lastConnectTarget.port)) {
            if (quiet) {
                runState.statusCode = 2;
                return true;
            }
            writeLineSpeak(MSG_PORT_ERROR);
            return false;
        }
        // What the slot held is closed before it takes the new connection.
        closeFileSlot(slot);
        const ConnectTarget& t = lastConnectTarget;
        connection = tlsMode ? netConnectTls(t.host, t.port) : netConnect(t.host, t.port);
    }
    if (connection < 0) {
        if (quiet) {
            runState.statusCode = 1;
            return true;
        }
        writeLineSpeak(MSG_CONNECTION_ERROR);
        return false;
    }
    openNetworkSlot(slot, connection);
    if (quiet) runState.statusCode = 0;
    return true;
}

bool commandAtivassl(std::string_view args) {
    int slot;
    // Only a connection can be taken over by TLS.
    if (!readSlot(args, slot) || !isNetworkSlot(slot)) return false;
    replaceSlotConnection(slot, netConnectTls(lastConnectTarget.host, lastConnectTarget.port));
    return true;
}

bool commandServe(std::string_view args) {
    int slot;
    std::string portText;
    if (!readSlot(args, slot) || args.empty() || !readValue(args, portText)) {
        writeLineSpeak(MSG_CONNECTION_ERROR);
        return false;
    }
    uint16_t port;
    if (!readPort(portText, port)) {
        writeLineSpeak(MSG_PORT_ERROR);
        return false;
    }
    closeFileSlot(slot);
    int listener = netListen(port);
    int connection = -1;
    if (listener >= 0) {
        keysBeforeServe = queuedKeyCount();
        setNetWaitWatcher(watchServe);
        connection = netAccept(listener);
        setNetWaitWatcher(nullptr);
        // One client per SERVE.
        netClose(listener);
    }
    if (connection < 0) {
        writeLineSpeak(MSG_CONNECTION_ERROR);
        return false;
    }
    openNetworkSlot(slot, connection);
    return true;
}

bool commandObserva(std::string_view args) {
    bool keyboard = startsWithUpperLatin(args, "TECLADO ");
    int slot = -1;
    if (keyboard) args.remove_prefix(8);
    else if (!readSlot(args, slot)) return false;
    args = trimView(args);
    int target;
    if (!readVariable(args, target) || !args.empty()) return false;
    bool waiting = keyboard ? keyAvailable() : readerHasData(networkSlotReader(slot));
    variable(target).assign(1, waiting ? '1' : '0');
    return true;
}

bool commandIp(std::string_view args) {
    bool remote;
    if (startsWithUpperLatin(args, "LOCAL ")) {
        remote = false;
        args.remove_prefix(6);
    } else if (startsWithUpperLatin(args, "REMOTO ")) {
        remote = true;
        args.remove_prefix(7);
    } else {
        return false;
    }
    int slot, target;
    if (!readSlot(args, slot) || !readVariable(args, target)) return false;
    std::string address;
    // Only a live connection has addresses.
    if (!netEndAddress(networkSlotSocket(slot), remote, address)) return false;
    variable(target) = address;
    return true;
}
