// Role numbers of the accessibility monitor. Scripts compare roles with
// the Windows accessibility role numbers (text 42, push button 43, check
// box 44, ...); the desktop's bus names its roles ("check box"), so each of
// its role names has the Windows role it is, or the nearest one.
#pragma once

#include <string_view>

constexpr int ROLE_WINDOW = 9;
constexpr int ROLE_CLIENT = 10;

// The Windows role number for a bus role name: 0 for "invalid" and the
// empty name, ROLE_CLIENT (a window's plain client area, the nearest there
// is) for names the table does not know.
int accessibleRoleCode(std::string_view roleName);
// Whether the table has the name (for checking it against the bus's list).
bool accessibleRoleKnown(std::string_view roleName);
