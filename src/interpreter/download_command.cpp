// The TRAZDAREDE command.
#include "interpreter/download_command.h"

#include "interpreter/values.h"
#include "net/http_download.h"
#include "platform/paths.h"

#include <string>

bool commandTrazdarede(std::string_view args) {
    std::string url, file, mode, userAgent, cookie;
    int target;
    if (!readValue(args, url) || !readValue(args, file) || !readValue(args, mode) ||
        !readValue(args, userAgent))
        return false;
    // The cookie may be left out: then the variable stands in its place.
    std::string_view beforeCookie = args;
    if (!readValue(args, cookie)) {
        args = beforeCookie;
        cookie.clear();
    }
    if (!readVariable(args, target) || (mode != "0" && mode != "1")) return false;
    bool done = httpDownload(url, file, mapPath(file), mode == "1", userAgent, cookie);
    variable(target).assign(1, done ? '0' : '1');
    return true;
}
