// Helpers of the text-to-speech engine's tests: Windows-1252 texts written
// as UTF-8 literals, and small data files in a folder of their own.
#pragma once

#include "platform/encoding.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

namespace ttstest {

inline std::string cp(std::string_view utf8) {
    return utf8ToCp1252(utf8);
}
inline std::string utf8(std::string_view cp1252) {
    return cp1252ToUtf8(cp1252);
}

// A folder of its own for one test program's files.
inline std::string testFolder(const std::string& name) {
    std::string dir = ::testing::TempDir() + "tts_" + name + "_" + std::to_string(getpid());
    EXPECT_TRUE(makeDirectories(dir));
    return dir;
}

inline std::string writeFile(const std::string& path, std::string_view bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

} // namespace ttstest
