// The accessibility monitor: while it runs, every change of the active
// window and every object that takes the keyboard focus, in any program, is
// recorded in a ring of 100 events; the script takes them one by one, and
// for the event's object, or for the object at a screen point, reads what a
// screen reader announces: name, role, state, value and location. Events
// are gathered whenever the console processes its messages. Owns the ring
// and `accessibleInfo`.
#pragma once

#include "platform/accessibility.h"

#include <cstdint>
#include <string>

constexpr int ACCESSIBLE_EVENT_QUEUE_SIZE = 100;

struct AccessibleEvent {
    enum Kind : uint8_t { Foreground, Focus } kind = Focus;
    uint64_t window = 0;  // Foreground: the window that came to the front
    uint32_t handle = 0;  // Focus: the bus's handle of the object
};

struct AccessibleInfo {
    std::string name;
    int roleCode = 0;
    std::string roleText;
    std::string stateText;  // "marcado", "indisponível" or empty
    std::string value;
    int left = 0, top = 0, width = 0, height = 0;  // kept from read to read
};

extern AccessibleInfo accessibleInfo;

// The ring: recording advances the write index without looking at the
// read index, so 100 unread events make it look empty again.
void recordAccessibleEvent(const AccessibleEvent& event);
bool takeAccessibleEvent(AccessibleEvent& event);

// Starts recording (a second start changes nothing).
void startAccessibilityMonitor();
void stopAccessibilityMonitor();
// Gathers what has come, takes the next event and reads its object into
// accessibleInfo; false when the queue is empty or the object is gone
// (accessibleInfo is then unchanged).
bool nextAccessibleEvent();
// Reads the object at screen point (x, y) into accessibleInfo; with no
// object there, name, role, state and value are emptied.
void accessibleAtPoint(int x, int y);
// Applies a description (null: no object) to accessibleInfo.
void readAccessibleInfo(const AccessibleDescription* object);

// Back to the state of program start (tests).
void resetAccessibilityMonitor();
