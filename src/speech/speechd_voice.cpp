// speech-dispatcher as a speech server: the connection, the Portuguese voice
// list, and what the server's notifications say about the texts handed over.
#include "speech/speechd_voice.h"

#include "console/console.h"
#include "platform/clock.h"
#include "platform/encoding.h"
#include "platform/sockets.h"
#include "platform/text.h"

#include <libspeechd.h>

#include <atomic>
#include <cstdlib>
#include <vector>

namespace {

// Rates -10..10 (the scale of the voice objects it stands in for) become
// the server's -100..100.
constexpr int MAX_RATE = 10;
constexpr int RATE_SCALE = 10;
constexpr int CLOSE_POLL_MS = 300;
// While it speaks, how often the server is asked whether it is still there:
// a server that went away sends no end, and nobody should wait for it.
constexpr int64_t ALIVE_CHECK_MS = 1000;

struct ServerVoice {
    std::string name, language;
};

SPDConnection* connection = nullptr;
// The Portuguese voices of the server at `voicesAddress`, asked for once.
std::vector<ServerVoice> voices;
std::string voicesAddress;
bool voicesListed = false;

// Message ids grow with every text the server takes. Its notifications come
// on libspeechd's thread, sometimes before spd_say has returned the id, so
// the state is kept as the highest id seen for each kind of event.
int lastHandedOver = 0;
std::atomic<int> lastBegun{0};
std::atomic<int> lastFinished{0};
int64_t lastAliveCheck = 0;

void raiseTo(std::atomic<int>& value, int id) {
    int seen = value.load();
    while (id > seen && !value.compare_exchange_weak(seen, id)) {
    }
}

void onEvent(size_t messageId, size_t, SPDNotificationType type) {
    int id = static_cast<int>(messageId);
    if (type == SPD_EVENT_BEGIN) raiseTo(lastBegun, id);
    else if (type == SPD_EVENT_END || type == SPD_EVENT_CANCEL) raiseTo(lastFinished, id);
}

bool isPortuguese(const std::string& language) {
    std::string upper = toUpperAscii(language);
    return upper == "PT" || upper.starts_with("PT-") || upper.starts_with("PT_");
}

bool isBrazilian(const std::string& language) {
    std::string upper = toUpperAscii(language);
    return upper == "PT-BR" || upper == "PT_BR";
}

// The server's Portuguese voices, Brazilian ones first, each group in the
// server's order.
void listVoices(const std::string& address) {
    if (voicesListed && voicesAddress == address) return;
    voices.clear();
    voicesListed = false;
    SPDVoice** list = spd_list_synthesis_voices(connection);
    if (!list) return;
    std::vector<ServerVoice> others;
    for (SPDVoice** v = list; *v; ++v) {
        if (!(*v)->name || !(*v)->language || !isPortuguese((*v)->language)) continue;
        ServerVoice voice{(*v)->name, (*v)->language};
        (isBrazilian(voice.language) ? voices : others).push_back(voice);
    }
    free_spd_voices(list);
    voices.insert(voices.end(), others.begin(), others.end());
    voicesAddress = address;
    voicesListed = true;
}

// Connects to the server at its usual address, never starting one; the
// address as text, empty when there is no connection.
std::string connectToServer() {
    char* error = nullptr;
    SPDConnectionAddress* address = spd_get_default_address(&error);
    std::free(error);
    if (!address) return "";
    std::string where;
    if (address->method == SPD_METHOD_UNIX_SOCKET && address->unix_socket_name)
        where = address->unix_socket_name;
    else if (address->inet_socket_host)
        where = std::string(address->inet_socket_host) + ":" + std::to_string(address->inet_socket_port);
    error = nullptr;
    connection = spd_open2("ondaria", "speech", nullptr, SPD_MODE_THREADED, address, 0, &error);
    std::free(error);
    SPDConnectionAddress__free(address);
    return connection ? where : "";
}

// Asks the server to confirm a setting it has: an answer means it is there.
// (Asking for a value instead crashes libspeechd once the server is gone.)
bool serverAnswers() { return spd_set_notification_on(connection, SPD_END) == 0; }

void disconnect() {
    if (connection) spd_close(connection);
    connection = nullptr;
}

} // namespace

bool speechdVoiceOpen(int voice, int rate, const std::string& outputFile) {
    disconnect();
    if (!outputFile.empty()) return false;
    // A server that has gone away must not end us with SIGPIPE.
    socketLayerStart();
    std::string address = connectToServer();
    if (!connection) return false;
    lastHandedOver = 0;
    lastBegun = 0;
    lastFinished = 0;
    connection->callback_begin = onEvent;
    connection->callback_end = onEvent;
    connection->callback_cancel = onEvent;
    spd_set_notification_on(connection, SPD_BEGIN);
    spd_set_notification_on(connection, SPD_END);
    spd_set_notification_on(connection, SPD_CANCEL);
    listVoices(address);
    int count = static_cast<int>(voices.size());
    if (count == 0) {
        disconnect();
        return false;
    }
    if (voice < 1 || voice > count) {
        voice = 1;
        rate = 0;
    }
    const ServerVoice& chosen = voices[static_cast<size_t>(voice - 1)];
    spd_set_language(connection, chosen.language.c_str());
    spd_set_synthesis_voice(connection, chosen.name.c_str());
    if (rate >= -MAX_RATE && rate <= MAX_RATE) spd_set_voice_rate(connection, rate * RATE_SCALE);
    return true;
}

void speechdVoiceSpeak(std::string_view text) {
    if (!connection) return;
    std::string utf8 = cp1252ToUtf8(text.empty() ? std::string_view(" ") : text);
    int id = spd_say(connection, SPD_MESSAGE, utf8.c_str());
    if (id < 0) {
        if (consoleBackend()) consoleBackend()->beep();
        return;
    }
    lastHandedOver = id;
    lastAliveCheck = systemClock().monotonicMs();
}

bool speechdVoiceBusy() {
    if (!connection || lastHandedOver <= lastFinished.load()) return false;
    int64_t now = systemClock().monotonicMs();
    if (now - lastAliveCheck >= ALIVE_CHECK_MS) {
        lastAliveCheck = now;
        if (!serverAnswers()) {
            raiseTo(lastFinished, lastHandedOver);
            return false;
        }
    }
    return true;
}

bool speechdVoiceSounding() {
    return connection && lastBegun.load() >= lastHandedOver && lastHandedOver > lastFinished.load();
}

void speechdVoiceStop() {
    if (!connection) return;
    spd_cancel(connection);
    // The cancel notification follows; whatever was handed over is done.
    raiseTo(lastFinished, lastHandedOver);
}

void speechdVoiceClose() {
    while (speechdVoiceBusy()) waitMs(CLOSE_POLL_MS);
    disconnect();
}
