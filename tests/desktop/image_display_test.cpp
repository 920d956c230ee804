// Image display: JPEG files made here with libjpeg go through the temporary
// BMP to the console backend; broken ones fail, and no temporary file is
// ever left in the home's temp folder.
#include "console/console.h"
#include "console/picture.h"
#include "desktop/image_display.h"
#include "platform/paths.h"

#include "../console/picture_backend.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace fs = std::filesystem;

namespace {

// A 16 x 8 JPEG: red on the left half, blue on the right (grey: dark and light).
std::string makeJpeg(bool grey) {
    const int width = 16, height = 8, components = grey ? 1 : 3;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(width * components);
    for (int x = 0; x < width; ++x) {
        bool left = x < width / 2;
        if (grey) {
            row[x] = left ? 40 : 220;
        } else {
            row[x * 3] = left ? 255 : 0;
            row[x * 3 + 1] = 0;
            row[x * 3 + 2] = left ? 0 : 255;
        }
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string jpeg(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return jpeg;
}

using picturetest::PictureBackend;

// Each channel within `slack` of the expected one (JPEG is lossy).
::testing::AssertionResult near(const std::vector<int>& got, const std::vector<int>& want, int slack = 24) {
    for (size_t i = 0; i < 3; ++i)
        if (std::abs(got[i] - want[i]) > slack)
            return ::testing::AssertionFailure()
                   << "got " << got[0] << "," << got[1] << "," << got[2] << " for " << want[0] << "," << want[1]
                   << "," << want[2];
    return ::testing::AssertionSuccess();
}

class ImageDisplayTest : public ::testing::Test {
protected:
    fs::path root;
    PictureBackend* backend = nullptr;

    void SetUp() override {
        char dir[] = "/tmp/image_display_test_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root = dir;
        setenv("TALORA_HOME", (root / "home").c_str(), 1);
        resetTalorahome();
        resetConsole();
        auto owned = std::make_unique<PictureBackend>();
        backend = owned.get();
        setConsoleBackend(std::move(owned));
    }
    void TearDown() override {
        removePicture();
        resetConsole();
        setConsoleBackend(nullptr);
        fs::remove_all(root);
        unsetenv("TALORA_HOME");
        resetTalorahome();
    }
    std::string file(const std::string& name, const std::string& bytes) {
        std::ofstream((root / name), std::ios::binary) << bytes;
        return (root / name).string();
    }
    // What the home's temp folder holds (it may not exist at all).
    std::vector<std::string> leftInTemp() const {
        std::vector<std::string> names;
        if (fs::exists(root / "home" / "temp"))
            for (const auto& e : fs::directory_iterator(root / "home" / "temp")) names.push_back(e.path().string());
        return names;
    }
};

TEST_F(ImageDisplayTest, ColourAndGreyJpegsAreShownAtTheirPlace) {
    ASSERT_TRUE(showPictureFile(file("foto.JPG", makeJpeg(false)), 7, 9));
    EXPECT_EQ(backend->width, 16);
    EXPECT_EQ(backend->height, 8);
    EXPECT_EQ(backend->x, 7);
    EXPECT_EQ(backend->y, 9);
    EXPECT_TRUE(near(backend->at(2, 4), {255, 0, 0}));
    EXPECT_TRUE(near(backend->at(13, 4), {0, 0, 255}));
    EXPECT_TRUE(leftInTemp().empty());

    // A grey picture becomes an 8-bit BMP with a grey colour table.
    std::string bmp;
    ASSERT_TRUE(jpegToBmp(makeJpeg(true), bmp));
    EXPECT_EQ(bmp[28], 8);
    EXPECT_EQ(bmp.size(), 14u + 40 + 1024 + 16 * 8);
    ASSERT_TRUE(showPictureFile(file("cinza.jpeg", makeJpeg(true)), 0, 0));
    EXPECT_TRUE(near(backend->at(2, 4), {40, 40, 40}, 8));
    EXPECT_TRUE(near(backend->at(13, 4), {220, 220, 220}, 8));
    EXPECT_TRUE(leftInTemp().empty());
}

TEST_F(ImageDisplayTest, BrokenOrMissingPicturesFailAndLeaveNothingBehind) {
    const std::string jpeg = makeJpeg(false);
    ASSERT_TRUE(showPictureFile(file("bom.jpg", jpeg), 0, 0));
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"metade.jpg", jpeg.substr(0, jpeg.size() / 2)},
        {"cabecalho.jpg", jpeg.substr(0, 20)},
        {"vazio.jpg", ""},
        {"texto.jpg", "isto não é uma foto\n"},
        {"foto.bmp", jpeg},  // a JPEG under another name is not converted
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(showPictureFile(file(c.name, c.bytes), 0, 0)) << c.name;
        EXPECT_TRUE(leftInTemp().empty()) << c.name;
    }
    EXPECT_FALSE(showPictureFile((root / "falta.jpg").string(), 0, 0));
    EXPECT_FALSE(showPictureFile((root / "falta.bmp").string(), 0, 0));
    // The picture shown before stays.
    EXPECT_EQ(backend->width, 16);
}

} // namespace
