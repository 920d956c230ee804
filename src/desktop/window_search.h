// Finding desktop windows by title, and the title of the one in front.
// A title pattern may carry a "*" at its start, which ties it to the start
// of the title, and one at its end, which ties it to the end (the reverse of
// the usual wildcard reading, kept because scripts depend on it). Titles are
// compared upper-cased; the pattern is taken as written, so a pattern with
// a lower-case letter never matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Titles are compared in their first 143 characters.
constexpr size_t TITLE_MATCH_LENGTH = 143;

struct TitlePattern {
    std::string text;
    bool anchorStart = false;  // a leading "*": the title begins with the text
    bool anchorEnd = false;    // a trailing "*": the title ends with it
};

TitlePattern parseTitlePattern(std::string_view pattern);
bool titleMatches(const TitlePattern& pattern, std::string_view title);
// The first window, topmost first, with a non-empty title that matches;
// 0 when none does or there is no desktop.
uint64_t findWindowByTitle(const TitlePattern& pattern);
// The title of the window in front, at most `limit` characters. Without a
// desktop the console is the only window there is, so its title.
std::string foregroundWindowTitle(size_t limit);
