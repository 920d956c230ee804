// Helpers of the text-to-speech engine's tests: Windows-1252 texts written
// as UTF-8 literals, and small data files in a folder of their own.
#pragma once

#include "platform/encoding.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

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
    std::string command = "mkdir -p '" + dir + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
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

// The lines of a text file, as the engine reads them.
inline bool readLines(const std::string& path, std::vector<std::string>& lines) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string content;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
    std::fclose(f);
    lines.clear();
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

} // namespace ttstest
