// The accessibility monitor: event ring, fetching an event's object, the
// hit test, and the fields a script reads.
#include "desktop/accessibility_monitor.h"

#include "console/console.h"
#include "desktop/accessible_roles.h"
#include "platform/desktop.h"

#include <vector>

AccessibleInfo accessibleInfo;

namespace {

AccessibleEvent queue[ACCESSIBLE_EVENT_QUEUE_SIZE];
int writeIndex = 0, readIndex = 0;
bool monitoring = false;

// Runs whenever the console processes its messages.
void gatherEvents() {
    if (!monitoring) return;
    if (Desktop* d = desktop()) {
        std::vector<uint64_t> windows;
        d->activeWindowChanges(windows);
        for (uint64_t w : windows) recordAccessibleEvent(AccessibleEvent{AccessibleEvent::Foreground, w, 0});
    }
    std::vector<uint32_t> handles;
    accessibilityBus().takeFocusEvents(handles);
    for (uint32_t h : handles) recordAccessibleEvent(AccessibleEvent{AccessibleEvent::Focus, 0, h});
}

// A window as an object of its own: its title, the role of a top-level
// window and its frame. Windows of programs the bus does not know (our
// own console among them) are seen this way.
AccessibleDescription describeWindow(const DesktopWindow& w) {
    AccessibleDescription d;
    d.name = w.title;
    d.roleName = "frame";
    d.roleText = localizedRoleName(d.roleName);
    d.hasExtent = true;
    d.extent = w.frame;
    return d;
}

bool describeEvent(const AccessibleEvent& e, AccessibleDescription& out) {
    if (e.kind == AccessibleEvent::Focus) return accessibilityBus().describeFocusEvent(e.handle, out);
    Desktop* d = desktop();
    DesktopWindow w;
    if (!d || !d->windowInfo(e.window, w)) return false;
    out = describeWindow(w);
    return true;
}

} // namespace

void recordAccessibleEvent(const AccessibleEvent& event) {
    queue[writeIndex] = event;
    writeIndex = (writeIndex + 1) % ACCESSIBLE_EVENT_QUEUE_SIZE;
}

bool takeAccessibleEvent(AccessibleEvent& event) {
    if (readIndex == writeIndex) return false;
    event = queue[readIndex];
    readIndex = (readIndex + 1) % ACCESSIBLE_EVENT_QUEUE_SIZE;
    return true;
}

void startAccessibilityMonitor() {
    if (monitoring) return;
    monitoring = true;
    if (Desktop* d = desktop()) d->watchActiveWindow(true);
    accessibilityBus().startFocusEvents();
    setDesktopEventHandler(gatherEvents);
}

void stopAccessibilityMonitor() {
    if (!monitoring) return;
    monitoring = false;
    setDesktopEventHandler(nullptr);
    if (Desktop* d = desktop()) d->watchActiveWindow(false);
    accessibilityBus().stopFocusEvents();
}

bool nextAccessibleEvent() {
    // What has come is recorded first, so a script that asks in a loop
    // without writing or waiting still sees the events.
    processMessages();
    AccessibleEvent e;
    if (!takeAccessibleEvent(e)) return false;
    processMessages();
    AccessibleDescription object;
    if (!describeEvent(e, object)) return false;
    processMessages();
    readAccessibleInfo(&object);
    processMessages();
    return true;
}

void accessibleAtPoint(int x, int y) {
    Desktop* d = desktop();
    if (d) {
        // The topmost shown window at the point, and in it the innermost object.
        for (const DesktopWindow& w : d->windows()) {
            if (!w.shown || !w.frame.contains(x, y)) continue;
            AccessibleDescription object;
            if (!accessibilityBus().describeObjectAt(w.pid, w.title, x, y, object)) object = describeWindow(w);
            readAccessibleInfo(&object);
            return;
        }
    }
    readAccessibleInfo(nullptr);
}

void readAccessibleInfo(const AccessibleDescription* object) {
    AccessibleInfo& info = accessibleInfo;
    info.name.clear();
    info.roleText.clear();
    info.stateText.clear();
    info.value.clear();
    info.roleCode = 0;
    if (!object) return;
    if (object->hasExtent) {
        info.left = object->extent.left;
        info.top = object->extent.top;
        info.width = object->extent.width;
        info.height = object->extent.height;
    }
    info.name = object->name;
    info.roleCode = accessibleRoleCode(object->roleName);
    if (info.roleCode == 0) return;
    info.roleText = object->roleText.substr(0, 200);
    if (object->checked) info.stateText = "marcado";
    if (object->unavailable) info.stateText = "indispon\xEDvel";
    info.value = object->value;
}

void resetAccessibilityMonitor() {
    stopAccessibilityMonitor();
    writeIndex = readIndex = 0;
    accessibleInfo = AccessibleInfo{};
}
