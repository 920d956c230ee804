// The accessibility monitor's own rules: the ring of 100 events that a
// backlog wraps around, the fields read from an object, and the role table
// checked against every role name the installed bus library knows.
#include "desktop/accessibility_monitor.h"
#include "desktop/accessible_roles.h"

#include <atspi/atspi.h>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AccessibilityMonitor, TheRingLooksEmptyAfterABacklogOfAHundred) {
    struct Case {
        int recorded;
        int readable;    // events a reader then finds
        uint32_t first;  // the first of them
    } cases[] = {{0, 0, 0}, {1, 1, 1}, {99, 99, 1}, {100, 0, 0}, {101, 1, 101}, {250, 50, 201}};
    for (const Case& c : cases) {
        resetAccessibilityMonitor();
        for (int i = 1; i <= c.recorded; ++i)
            recordAccessibleEvent(AccessibleEvent{AccessibleEvent::Focus, 0, static_cast<uint32_t>(i)});
        AccessibleEvent e;
        int readable = 0;
        uint32_t first = 0;
        while (takeAccessibleEvent(e)) {
            if (readable++ == 0) first = e.handle;
        }
        EXPECT_EQ(readable, c.readable) << c.recorded;
        EXPECT_EQ(first, c.first) << c.recorded;
    }
}

TEST(AccessibilityMonitor, FieldsFollowRoleAndStateRules) {
    resetAccessibilityMonitor();
    AccessibleDescription box;
    box.name = "Aceito";
    box.roleName = "check box";
    box.roleText = "caixa de sele\xE7\xE3o";
    box.checked = true;
    box.hasExtent = true;
    box.extent = ScreenRect{10, 20, 30, 40};
    readAccessibleInfo(&box);
    const AccessibleInfo& info = accessibleInfo;
    EXPECT_EQ(info.name, "Aceito");
    EXPECT_EQ(info.roleCode, 44);
    EXPECT_EQ(info.roleText, "caixa de sele\xE7\xE3o");
    EXPECT_EQ(info.stateText, "marcado");
    EXPECT_EQ(info.left + info.top + info.width + info.height, 100);

    // Unavailable wins over checked; an object without an extent keeps
    // the last location.
    box.unavailable = true;
    box.hasExtent = false;
    box.value = "v";
    readAccessibleInfo(&box);
    EXPECT_EQ(info.stateText, "indispon\xEDvel");
    EXPECT_EQ(info.value, "v");
    EXPECT_EQ(info.left, 10);

    // Role 0 stops the reading after the name.
    box.roleName = "invalid";
    readAccessibleInfo(&box);
    EXPECT_EQ(info.name, "Aceito");
    EXPECT_EQ(info.roleCode, 0);
    EXPECT_EQ(info.roleText + info.stateText + info.value, "");

    readAccessibleInfo(nullptr);
    EXPECT_EQ(info.name, "");
    EXPECT_EQ(info.left, 10);
}

TEST(AccessibleRoles, EveryBusRoleHasAWindowsRole) {
    for (int role = 0; role < ATSPI_ROLE_LAST_DEFINED; ++role) {
        gchar* name = atspi_role_get_name(static_cast<AtspiRole>(role));
        EXPECT_TRUE(accessibleRoleKnown(name)) << name;
        g_free(name);
    }
    struct Case {
        const char* name;
        int code;
    } cases[] = {{"text", 42},  {"entry", 42},  {"push button", 43}, {"check box", 44}, {"radio button", 45},
                 {"frame", 9},  {"dialog", 18}, {"label", 41},       {"menu item", 12}, {"invalid", 0},
                 {"", 0},       {"a role of tomorrow", 10}};
    for (const Case& c : cases) EXPECT_EQ(accessibleRoleCode(c.name), c.code) << c.name;
}

} // namespace
