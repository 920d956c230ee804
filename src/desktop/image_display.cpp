// Image display (see image_display.h).
#include "desktop/image_display.h"

#include "console/picture.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <csetjmp>
#include <cstdio>
#include <random>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace {

constexpr int64_t MAX_JPEG_FILE = 64 << 20;

// libjpeg reports a fatal error by calling error_exit, which by default
// ends the process; ours jumps back to the decoder instead.
struct JpegErrors {
    jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

// Warnings stay silent, but data that ends before the picture does is an
// error: libjpeg would make up the rest.
void onJpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) onJpegError(info);
}

void onJpegOutput(j_common_ptr) {}

struct DecodedJpeg {
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> pixels;  // top row first, `components` bytes a pixel
};

// The decoding proper. Nothing with a destructor may live in the frame the
// error handler jumps back to, so the output lives with the caller.
bool decodeJpeg(jpeg_decompress_struct* info, JpegErrors* errors, std::string_view jpeg, DecodedJpeg* out) {
    if (setjmp(errors->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(jpeg.data()), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(info, TRUE);
    if (static_cast<int64_t>(info->image_width) * info->image_height > MAX_PICTURE_PIXELS) return false;
    info->out_color_space = info->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(info);
    out->width = static_cast<int>(info->output_width);
    out->height = static_cast<int>(info->output_height);
    out->components = info->output_components;
    const size_t rowBytes = static_cast<size_t>(out->width) * out->components;
    out->pixels.resize(rowBytes * out->height);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = out->pixels.data() + rowBytes * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

void put16(std::string& b, uint32_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A bottom-up BMP file with a 40-byte information header.
std::string bmpFile(const DecodedJpeg& d) {
    const bool grey = d.components == 1;
    const uint32_t stride = (static_cast<uint32_t>(d.width) * (grey ? 1 : 3) + 3) & ~3u;
    const uint32_t offset = 14 + 40 + (grey ? 256 * 4 : 0);
    const uint32_t dataSize = stride * static_cast<uint32_t>(d.height);
    std::string b = "BM";
    b.reserve(offset + dataSize);
    put32(b, offset + dataSize);
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, static_cast<uint32_t>(d.width));
    put32(b, static_cast<uint32_t>(d.height));
    put16(b, 1);
    put16(b, grey ? 8 : 24);
    put32(b, 0);  // no compression
    put32(b, dataSize);
    put32(b, 2835);  // 72 dots an inch
    put32(b, 2835);
    put32(b, grey ? 256 : 0);
    put32(b, 0);
    if (grey)
        for (uint32_t i = 0; i < 256; ++i) put32(b, i * 0x010101);
    for (int y = d.height - 1; y >= 0; --y) {
        const uint8_t* row = d.pixels.data() + static_cast<size_t>(y) * d.width * d.components;
        size_t start = b.size();
        for (int x = 0; x < d.width; ++x) {
            if (grey) {
                b += static_cast<char>(row[x]);
            } else {
                b += static_cast<char>(row[x * 3 + 2]);
                b += static_cast<char>(row[x * 3 + 1]);
                b += static_cast<char>(row[x * 3]);
            }
        }
        b.append(stride - (b.size() - start), '\0');
    }
    return b;
}

// A name of its own in the home's temp folder, so runs sharing a home do
// not take each other's picture.
std::string temporaryBmpPath() {
    static const char HEX[] = "0123456789abcdef";
    std::random_device random;
    std::string name = "imagem-";
    for (int i = 0; i < 2; ++i)
        for (uint32_t v = random(), k = 0; k < 8; ++k, v >>= 4) name += HEX[v & 15];
    return talorahome() + "/temp/" + name + ".bmp";
}

bool writeFileBytes(const std::string& path, const std::string& bytes) {
    int out = createByteFile(path);
    if (out < 0) return false;
    bool written = writeBytes(out, bytes.data(), bytes.size()) == bytes.size();
    return closeByteFile(out) && written;
}

} // namespace

bool jpegToBmp(std::string_view jpeg, std::string& bmp) {
    jpeg_decompress_struct info{};  // destroying it is safe however far creating it got
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = onJpegError;
    errors.manager.emit_message = onJpegMessage;
    errors.manager.output_message = onJpegOutput;
    DecodedJpeg decoded;
    bool ok = decodeJpeg(&info, &errors, jpeg, &decoded);
    jpeg_destroy_decompress(&info);
    if (ok) bmp = bmpFile(decoded);
    return ok;
}

bool showPictureFile(std::string_view scriptPath, int x, int y) {
    std::string path = mapPath(scriptPath);
    std::string upper = toUpperLatin(scriptPath);
    std::string temporary;
    if ((upper.ends_with(".JPG") || upper.ends_with(".JPEG")) && fileExists(path)) {
        int64_t size;
        std::string jpeg, bmp;
        temporary = temporaryBmpPath();
        bool converted = fileSize(path, size) && size <= MAX_JPEG_FILE && readWholeFile(path, jpeg) &&
                         jpegToBmp(jpeg, bmp) && makeDirectories(talorahome() + "/temp") &&
                         writeFileBytes(temporary, bmp);
        if (!converted) {
            removeFile(temporary);
            return false;
        }
        path = temporary;
    }
    bool loaded = loadPicture(path);
    if (loaded) showPicture(x, y);
    if (!temporary.empty()) removeFile(temporary);
    return loaded;
}
