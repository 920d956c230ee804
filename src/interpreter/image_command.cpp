// IMAGEM [file [x y]] [&]: no argument removes the picture; a file is shown
// with its top-left corner at pixel x, y (0, 0 when left out). With "&" a
// file that cannot be shown is not an error.
#include "interpreter/image_command.h"

#include "console/picture.h"
#include "desktop/image_display.h"
#include "interpreter/values.h"
#include "platform/text.h"

#include <string>

bool commandImagem(std::string_view args) {
    args = trimView(args);
    bool quiet = false;
    if (!args.empty() && args.back() == '&') {
        args = trimView(args.substr(0, args.size() - 1));
        quiet = true;
    }
    std::string file;
    int32_t x = 0, y = 0;
    if (!args.empty()) {
        if (!readValue(args, file)) return false;
        if (!args.empty()) {
            std::string xText, yText;
            if (!readValue(args, xText) || !readValue(args, yText) || !convertInteger(xText, x) ||
                !convertInteger(yText, y) || !args.empty())
                return false;
        }
    }
    removePicture();
    file = trim(file);
    if (file.empty()) return true;
    return showPictureFile(file, x, y) || quiet;
}
