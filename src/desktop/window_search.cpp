// Window search by title pattern.
#include "desktop/window_search.h"

#include "console/console.h"
#include "platform/desktop.h"
#include "platform/text.h"

TitlePattern parseTitlePattern(std::string_view text) {
    TitlePattern p;
    if (!text.empty() && text.front() == '*') {
        p.anchorStart = true;
        text.remove_prefix(1);
    }
    if (!text.empty() && text.back() == '*') {
        p.anchorEnd = true;
        text.remove_suffix(1);
    }
    p.text = std::string(text);
    return p;
}

bool titleMatches(const TitlePattern& p, std::string_view title) {
    std::string upper = toUpperLatin(title.substr(0, TITLE_MATCH_LENGTH));
    std::string_view t = upper;
    if (p.anchorStart && p.anchorEnd) return t == p.text;
    if (p.anchorStart) return t.substr(0, p.text.size()) == p.text;
    if (p.anchorEnd) return t.size() >= p.text.size() && t.substr(t.size() - p.text.size()) == p.text;
    return t.find(p.text) != std::string_view::npos;
}

uint64_t findWindowByTitle(const TitlePattern& pattern) {
    Desktop* d = desktop();
    if (!d) return 0;
    for (const DesktopWindow& w : d->windows())
        if (!w.title.empty() && titleMatches(pattern, w.title)) return w.id;
    return 0;
}

std::string foregroundWindowTitle(size_t limit) {
    std::string title;
    if (Desktop* d = desktop()) {
        DesktopWindow w;
        if (d->windowInfo(d->activeWindow(), w)) title = w.title;
    } else {
        title = consoleTitle();
    }
    if (title.size() > limit) title.resize(limit);
    return title;
}
