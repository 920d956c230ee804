// The AT-SPI2 accessibility bus through libatspi. libatspi aborts the
// process when it cannot reach the bus, so before it is started the bus's
// address is fetched here (AT_SPI_BUS_ADDRESS, else org.a11y.Bus on the
// session bus) and a connection to it is tried, each within a time limit;
// libatspi is then pointed at that address. Events arrive on GLib's main
// context, which takeFocusEvents runs; the interpreter's thread is the only
// one that touches libatspi.
#include "platform/accessibility.h"

#include "platform/encoding.h"

#include <atspi/atspi.h>
#include <gio/gio.h>
#include <libintl.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int BUS_ANSWER_LIMIT_MS = 3000;
constexpr uint32_t KEPT_EVENTS = 128;

// Connects to a D-Bus bus within `ms`; null when it does not answer.
GDBusConnection* connectWithin(const char* address, int ms) {
    struct Outcome {
        GDBusConnection* connection = nullptr;
        bool done = false;
    } outcome;
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GCancellable* cancel = g_cancellable_new();
    g_dbus_connection_new_for_address(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancel,
        [](GObject*, GAsyncResult* result, gpointer data) {
            auto* o = static_cast<Outcome*>(data);
            o->connection = g_dbus_connection_new_for_address_finish(result, nullptr);
            o->done = true;
        },
        &outcome);
    GSource* timer = g_timeout_source_new(static_cast<guint>(ms));
    g_source_set_callback(
        timer,
        [](gpointer c) -> gboolean {
            g_cancellable_cancel(static_cast<GCancellable*>(c));
            return G_SOURCE_REMOVE;
        },
        cancel, nullptr);
    g_source_attach(timer, context);
    while (!outcome.done) g_main_context_iteration(context, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
    g_object_unref(cancel);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return outcome.connection;
}

void closeConnection(GDBusConnection* connection) {
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
}

// The accessibility bus's address, or "" when no bus answers in time.
std::string findBusAddress() {
    std::string address;
    if (const char* env = std::getenv("AT_SPI_BUS_ADDRESS"); env && *env) {
        address = env;
    } else {
        // Without a session bus there is nobody to ask (and D-Bus's
        // autolaunch would start a daemon that outlives us).
        const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!session || !*session || std::string(session).rfind("disabled:", 0) == 0) return "";
        GDBusConnection* bus = connectWithin(session, BUS_ANSWER_LIMIT_MS);
        if (!bus) return "";
        GVariant* reply = g_dbus_connection_call_sync(bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                                      "GetAddress", nullptr, G_VARIANT_TYPE("(s)"),
                                                      G_DBUS_CALL_FLAGS_NONE, BUS_ANSWER_LIMIT_MS,
                                                      nullptr, nullptr);
        if (reply) {
            const char* text = nullptr;
            g_variant_get(reply, "(&s)", &text);
            if (text) address = text;
            g_variant_unref(reply);
        }
        closeConnection(bus);
        if (address.empty()) return "";
    }
    GDBusConnection* a11y = connectWithin(address.c_str(), BUS_ANSWER_LIMIT_MS);
    if (!a11y) return "";
    closeConnection(a11y);
    return address;
}

std::string fromUtf8(gchar* text) {
    if (!text) return {};
    std::string s = utf8ToCp1252(text);
    g_free(text);
    return s;
}

// What a screen reader reads of `object`; false when it is gone.
bool describe(AtspiAccessible* object, AccessibleDescription& out) {
    out = AccessibleDescription{};
    atspi_accessible_clear_cache(object);
    GError* error = nullptr;
    AtspiRole role = atspi_accessible_get_role(object, &error);
    if (error) {
        g_error_free(error);
        return false;
    }
    out.roleName = fromUtf8(atspi_role_get_name(role));
    out.roleText = localizedRoleName(out.roleName);
    out.name = fromUtf8(atspi_accessible_get_name(object, nullptr));
    if (AtspiComponent* component = atspi_accessible_get_component_iface(object)) {
        if (AtspiRect* r = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr)) {
            out.hasExtent = true;
            out.extent = ScreenRect{r->x, r->y, r->width, r->height};
            g_free(r);
        }
        g_object_unref(component);
    }
    if (AtspiStateSet* states = atspi_accessible_get_state_set(object)) {
        out.checked = atspi_state_set_contains(states, ATSPI_STATE_CHECKED);
        out.unavailable = !atspi_state_set_contains(states, ATSPI_STATE_ENABLED) &&
                          !atspi_state_set_contains(states, ATSPI_STATE_SENSITIVE);
        g_object_unref(states);
    }
    // The value of a slider or spin button is its number; that of an
    // editable field its text.
    if (AtspiValue* value = atspi_accessible_get_value_iface(object)) {
        GError* e = nullptr;
        double v = atspi_value_get_current_value(value, &e);
        if (!e) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%g", v);
            out.value = buffer;
        } else {
            g_error_free(e);
        }
        g_object_unref(value);
    } else if (AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(object)) {
        g_object_unref(editable);
        if (AtspiText* text = atspi_accessible_get_text_iface(object)) {
            int count = atspi_text_get_character_count(text, nullptr);
            if (count > 0) out.value = fromUtf8(atspi_text_get_text(text, 0, count, nullptr));
            g_object_unref(text);
        }
    }
    return true;
}

class AtspiBus : public AccessibilityBus {
public:
    bool startFocusEvents() override {
        if (!connect()) return false;
        if (!listener_) listener_ = atspi_event_listener_new(received, this, nullptr);
        if (!listening_)
            listening_ = atspi_event_listener_register(listener_, "object:state-changed:focused", nullptr);
        return listening_;
    }

    void stopFocusEvents() override {
        if (!listening_) return;
        atspi_event_listener_deregister(listener_, "object:state-changed:focused", nullptr);
        listening_ = false;
        pending_.clear();
    }

    void takeFocusEvents(std::vector<uint32_t>& handles) override {
        if (!connected_) return;
        // Each round dispatches what came; the bound keeps a flood from
        // holding the interpreter.
        for (int i = 0; i < 1000 && g_main_context_iteration(nullptr, FALSE); ++i) {}
        handles.insert(handles.end(), pending_.begin(), pending_.end());
        pending_.clear();
    }

    bool describeFocusEvent(uint32_t handle, AccessibleDescription& out) override {
        Kept& k = kept_[handle % KEPT_EVENTS];
        if (!connected_ || k.handle != handle || !k.object) return false;
        return describe(k.object, out);
    }

    bool describeObjectAt(int pid, std::string_view title, int x, int y,
                          AccessibleDescription& out) override {
        if (!connect()) return false;
        AtspiAccessible* window = findWindow(pid, cp1252ToUtf8(title), x, y);
        if (!window) return false;
        // Down through the children at the point to the innermost one.
        AtspiAccessible* object = window;
        for (int depth = 0; depth < 64; ++depth) {
            AtspiComponent* component = atspi_accessible_get_component_iface(object);
            if (!component) break;
            AtspiAccessible* child =
                atspi_component_get_accessible_at_point(component, x, y, ATSPI_COORD_TYPE_SCREEN, nullptr);
            g_object_unref(component);
            if (!child || child == object) {
                if (child) g_object_unref(child);
                break;
            }
            g_object_unref(object);
            object = child;
        }
        bool found = describe(object, out);
        g_object_unref(object);
        return found;
    }

private:
    struct Kept {
        uint32_t handle = 0;
        AtspiAccessible* object = nullptr;
    };

    bool connect() {
        if (tried_) return connected_;
        tried_ = true;
        std::string address = findBusAddress();
        if (address.empty()) return false;
        setenv("AT_SPI_BUS_ADDRESS", address.c_str(), 1);
        atspi_set_timeout(2000, 5000);
        connected_ = atspi_init() <= 1;  // 1: it was started already
        return connected_;
    }

    static void received(AtspiEvent* event, void* data) {
        auto* self = static_cast<AtspiBus*>(data);
        // Toolkits may announce one focus change twice in a row; the same
        // object again among the events of one round is no change.
        Kept& last = self->kept_[self->lastHandle_ % KEPT_EVENTS];
        bool repeated = !self->pending_.empty() && event->source == last.object;
        if (event->detail1 == 1 && event->source && !repeated) {
            uint32_t handle = ++self->lastHandle_;
            Kept& k = self->kept_[handle % KEPT_EVENTS];
            if (k.object) g_object_unref(k.object);
            k.handle = handle;
            k.object = static_cast<AtspiAccessible*>(g_object_ref(event->source));
            self->pending_.push_back(handle);
        }
        g_boxed_free(atspi_event_get_type(), event);
    }

    // The top-level window of process `pid` (any process for 0) titled
    // `title`; else the process's only window that holds the point.
    AtspiAccessible* findWindow(int pid, const std::string& title, int x, int y) {
        AtspiAccessible* root = atspi_get_desktop(0);
        if (!root) return nullptr;
        AtspiAccessible* found = nullptr;
        AtspiAccessible* holder = nullptr;
        int holders = 0;
        int apps = atspi_accessible_get_child_count(root, nullptr);
        for (int a = 0; a < apps && !found; ++a) {
            AtspiAccessible* app = atspi_accessible_get_child_at_index(root, a, nullptr);
            if (!app) continue;
            if (pid == 0 || static_cast<int>(atspi_accessible_get_process_id(app, nullptr)) == pid) {
                int windows = atspi_accessible_get_child_count(app, nullptr);
                for (int w = 0; w < windows && !found; ++w) {
                    AtspiAccessible* window = atspi_accessible_get_child_at_index(app, w, nullptr);
                    if (!window) continue;
                    gchar* name = atspi_accessible_get_name(window, nullptr);
                    bool named = name && !title.empty() && title == name;
                    g_free(name);
                    if (named) {
                        found = window;
                        continue;
                    }
                    if (pid != 0 && holdsPoint(window, x, y)) {
                        ++holders;
                        if (!holder) {
                            holder = window;
                            continue;
                        }
                    }
                    g_object_unref(window);
                }
            }
            g_object_unref(app);
        }
        g_object_unref(root);
        if (found) {
            if (holder) g_object_unref(holder);
            return found;
        }
        if (holders == 1) return holder;
        if (holder) g_object_unref(holder);
        return nullptr;
    }

    static bool holdsPoint(AtspiAccessible* object, int x, int y) {
        AtspiComponent* component = atspi_accessible_get_component_iface(object);
        if (!component) return false;
        bool inside = atspi_component_contains(component, x, y, ATSPI_COORD_TYPE_SCREEN, nullptr);
        g_object_unref(component);
        return inside;
    }

    bool tried_ = false, connected_ = false, listening_ = false;
    AtspiEventListener* listener_ = nullptr;
    std::vector<uint32_t> pending_;
    Kept kept_[KEPT_EVENTS];
    uint32_t lastHandle_ = 0;
};

} // namespace

AccessibilityBus& accessibilityBus() {
    static AtspiBus* bus = new AtspiBus;  // libatspi keeps its own state to the end
    return *bus;
}

std::string localizedRoleName(std::string_view roleName) {
    std::string name(roleName);
    if (name.empty()) return name;
    // The role names' translations are libatspi's own catalogue. The
    // user's message language is taken for this lookup alone, so the rest
    // of the program keeps its locale; a locale that is not installed
    // still honours LANGUAGE through C.UTF-8.
    static const locale_t messages = [] {
        locale_t l = newlocale(LC_MESSAGES_MASK, "", static_cast<locale_t>(0));
        if (!l) l = newlocale(LC_MESSAGES_MASK, "C.UTF-8", static_cast<locale_t>(0));
        bind_textdomain_codeset("at-spi2-core", "UTF-8");
        return l;
    }();
    if (!messages) return name;
    locale_t previous = uselocale(messages);
    // Role names are plain ASCII, the same in both encodings.
    std::string translated = dgettext("at-spi2-core", name.c_str());
    uselocale(previous);
    return utf8ToCp1252(translated);
}
