// The desktop's accessibility bus (AT-SPI2 through libatspi,
// platform/linux/atspi_accessibility): focus changes in every accessible
// program, and what a screen reader reads of an object: name, role, state,
// value and extent. libatspi ends the process when it finds no bus, so the
// bus is asked for its address with a time limit first, and without an
// answer every operation here fails cleanly. Texts are Windows-1252.
#pragma once

#include "platform/desktop.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct AccessibleDescription {
    std::string name;
    std::string roleName;  // the bus's own role name, in English ("check box")
    std::string roleText;  // the same in the user's language
    bool checked = false;
    bool unavailable = false;
    std::string value;
    bool hasExtent = false;
    ScreenRect extent;
};

class AccessibilityBus {
public:
    virtual ~AccessibilityBus() = default;
    // Connects (once) and listens to focus changes; false without a bus.
    virtual bool startFocusEvents() = 0;
    virtual void stopFocusEvents() = 0;
    // The focus changes that arrived since the last call, in order: one
    // handle each for describeFocusEvent. The objects of the last 128
    // events are kept.
    virtual void takeFocusEvents(std::vector<uint32_t>& handles) = 0;
    // The object that took the focus; false when it is gone or too old.
    virtual bool describeFocusEvent(uint32_t handle, AccessibleDescription& out) = 0;
    // The innermost object at screen point (x, y) inside the accessible
    // top-level window of process `pid` whose title is `title`; false when
    // that window is not accessible or nothing of it is there.
    virtual bool describeObjectAt(int pid, std::string_view title, int x, int y,
                                  AccessibleDescription& out) = 0;
};

// The bus of this session (never null; its operations fail without a bus).
AccessibilityBus& accessibilityBus();
// A role name in the user's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG);
// the name itself when there is no translation.
std::string localizedRoleName(std::string_view roleName);
