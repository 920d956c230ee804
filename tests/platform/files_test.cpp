// The file services of the script's file slots: text lines and their ends,
// Ctrl+Z, I/O results of failing writes, byte files, renames that must not
// replace, and directory listings.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/files-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    void put(const std::string& name, const std::string& content) const {
        std::ofstream(path(name), std::ios::binary) << content;
    }
    std::string get(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Every line of the file as a reading slot gives it, joined with "|".
    std::string readAll(const std::string& content) {
        put("in.txt", content);
        TextFile f;
        EXPECT_EQ(textFileOpenRead(f, path("in.txt")), 0);
        std::string all, line;
        while (!textFileAtEnd(f)) {
            EXPECT_EQ(textFileReadLine(f, line), 0);
            all += line + "|";
        }
        EXPECT_EQ(textFileClose(f), 0);
        return all;
    }
    std::string dir;
};

TEST_F(FilesTest, ReadsLinesUpToEveryKindOfLineEnd) {
    struct Case {
        std::string content, lines;
    };
    const std::string longLine(TEXT_FILE_BUFFER + 100, 'x');
    const Case cases[] = {
        {"a\r\nb\r\n", "a|b|"},
        {"a\nb\rc\r\nd", "a|b|c|d|"},     // LF, CR, CR LF, and no end at all
        {"\r\n\r\n", "||"},                // empty lines
        {"a\r\r\nb", "a||b|"},             // a lone CR, then CR LF
        {"", ""},
        {"a\x1a" "b\r\nc", "a|"},          // Ctrl+Z ends the file
        {"a\r\n\x1a", "a|"},
        {longLine + "\r\nz", longLine + "|z|"},
        // CR LF split across two buffer fills is still one line end.
        {std::string(TEXT_FILE_BUFFER - 1, 'y') + "\r\nz", std::string(TEXT_FILE_BUFFER - 1, 'y') + "|z|"},
    };
    for (const Case& c : cases) EXPECT_EQ(readAll(c.content), c.lines) << c.content.substr(0, 20);
}

// A line longer than the reader accepts is refused, also when it spans
// several buffer fills or has no line end; a line of exactly that length is not.
TEST_F(FilesTest, ALineLongerThanTheLimitIsRefused) {
    const size_t limit = TEXT_FILE_BUFFER + 10;
    struct Case {
        std::string content;
        int result;
        size_t length;
    };
    const Case cases[] = {
        {std::string(limit, 'x') + "\r\n", 0, limit},
        {std::string(limit + 1, 'x') + "\r\n", EFBIG, 0},
        {std::string(limit + 1, 'x'), EFBIG, 0},
        {std::string(3 * TEXT_FILE_BUFFER, 'x') + "\n", EFBIG, 0},
    };
    for (const Case& c : cases) {
        put("long.txt", c.content);
        TextFile f;
        ASSERT_EQ(textFileOpenRead(f, path("long.txt")), 0);
        std::string line = "before";
        EXPECT_EQ(textFileReadLine(f, line, limit), c.result) << c.content.size();
        EXPECT_EQ(line.size(), c.length) << c.content.size();
        textFileClose(f);
    }
}

TEST_F(FilesTest, WritesLinesWithCrLfAndAppendsAfterTheLastLine) {
    TextFile f;
    ASSERT_EQ(textFileCreate(f, path("out.txt")), 0);
    EXPECT_EQ(textFileWrite(f, "um", true), 0);
    EXPECT_EQ(textFileWrite(f, "do", false), 0);
    EXPECT_EQ(textFileWrite(f, "is", true), 0);
    EXPECT_EQ(textFileClose(f), 0);
    EXPECT_EQ(get("out.txt"), "um\r\ndois\r\n");

    ASSERT_EQ(textFileOpenAppend(f, path("out.txt")), 0);
    EXPECT_EQ(textFileWrite(f, "tres", true), 0);
    EXPECT_EQ(textFileClose(f), 0);
    EXPECT_EQ(get("out.txt"), "um\r\ndois\r\ntres\r\n");

    EXPECT_EQ(textFileOpenAppend(f, path("missing.txt")), ENOENT);
    EXPECT_EQ(f.mode, TextFileMode::Closed);
}

TEST_F(FilesTest, AppendingOverwritesATrailingCtrlZ) {
    put("z.txt", "a\r\n\x1a\x1a");
    TextFile f;
    ASSERT_EQ(textFileOpenAppend(f, path("z.txt")), 0);
    EXPECT_EQ(textFileWrite(f, "b", true), 0);
    EXPECT_EQ(textFileClose(f), 0);
    EXPECT_EQ(get("z.txt"), "a\r\nb\r\n");
    EXPECT_EQ(readAll(get("z.txt")), "a|b|");
}

TEST_F(FilesTest, WrongDirectionAndDirectoriesGiveErrors) {
    put("r.txt", "x\r\n");
    TextFile f;
    ASSERT_EQ(textFileOpenRead(f, path("r.txt")), 0);
    EXPECT_EQ(textFileWrite(f, "y", true), EBADF);
    EXPECT_EQ(textFileClose(f), 0);
    ASSERT_EQ(textFileCreate(f, path("w.txt")), 0);
    std::string line;
    EXPECT_EQ(textFileReadLine(f, line), EBADF);
    EXPECT_TRUE(textFileAtEnd(f));
    EXPECT_EQ(textFileClose(f), 0);
    EXPECT_EQ(textFileOpenRead(f, dir), EISDIR);
    EXPECT_NE(textFileCreate(f, dir), 0);
    EXPECT_EQ(textFileOpenRead(f, ""), ENOENT);
    EXPECT_EQ(openByteFileForReading(dir), -1);
}

TEST_F(FilesTest, DevicesThatNeverEndAndPipesNeverHang) {
    TextFile f;
    EXPECT_EQ(textFileOpenRead(f, "/dev/zero"), EINVAL);
    EXPECT_EQ(openByteFileForReading("/dev/zero"), -1);
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(textFileOpenRead(f, path("fifo")), EINVAL);
    EXPECT_NE(textFileOpenAppend(f, path("fifo")), 0);
    EXPECT_EQ(createByteFile(path("fifo")), -1);
    ASSERT_EQ(textFileOpenAppend(f, "/dev/null"), 0);
    EXPECT_EQ(textFileWrite(f, "x", true), 0);
    EXPECT_EQ(textFileClose(f), 0);
}

TEST_F(FilesTest, AFullDeviceFailsTheFlushAndTheClose) {
    TextFile f;
    ASSERT_EQ(textFileOpenAppend(f, "/dev/full"), 0);
    EXPECT_EQ(textFileWrite(f, "buffered", true), 0);
    EXPECT_EQ(textFileFlush(f), ENOSPC);
    // The failed bytes are dropped: the error is reported once.
    EXPECT_EQ(textFileClose(f), 0);

    ASSERT_EQ(textFileOpenAppend(f, "/dev/full"), 0);
    EXPECT_EQ(textFileWrite(f, "x", true), 0);
    EXPECT_EQ(textFileClose(f), ENOSPC);
    EXPECT_EQ(f.mode, TextFileMode::Closed);

    ASSERT_EQ(textFileOpenAppend(f, "/dev/full"), 0);
    EXPECT_EQ(textFileWrite(f, std::string(TEXT_FILE_BUFFER, 'x'), false), ENOSPC);
    EXPECT_EQ(textFileClose(f), 0);
}

TEST_F(FilesTest, ByteFilesCopyAndReportShortWrites) {
    put("b.bin", std::string("\0\x1a\r\n", 4));
    int in = openByteFileForReading(path("b.bin"));
    ASSERT_GE(in, 0);
    char buf[16];
    EXPECT_EQ(readBytes(in, buf, sizeof buf), 4);
    EXPECT_EQ(readBytes(in, buf, sizeof buf), 0);
    closeByteFile(in);
    int full = createByteFile("/dev/full");
    ASSERT_GE(full, 0);
    EXPECT_EQ(writeBytes(full, buf, 4), 0u);
    closeByteFile(full);
    EXPECT_TRUE(sameFile(path("b.bin"), dir + "/./b.bin"));
    EXPECT_FALSE(sameFile(path("b.bin"), path("missing")));
}

TEST_F(FilesTest, RenameNeverReplaces) {
    put("a", "A");
    put("b", "B");
    EXPECT_FALSE(renamePath(path("a"), path("b")));
    EXPECT_EQ(get("b"), "B");
    EXPECT_TRUE(renamePath(path("a"), path("c")));
    EXPECT_EQ(get("c"), "A");
    EXPECT_TRUE(renamePath(path("c"), path("c")));
    EXPECT_FALSE(renamePath(path("a"), path("d")));
}

TEST_F(FilesTest, DirectoriesAreMadeOneLevelAtATime) {
    EXPECT_TRUE(createDirectory(path("d")));
    EXPECT_FALSE(createDirectory(path("d")));
    EXPECT_FALSE(createDirectory(path("x/y")));
    put("d/f", "");
    EXPECT_FALSE(removeDirectory(path("d")));
    EXPECT_FALSE(removeFile(path("d")));
    EXPECT_TRUE(removeFile(path("d/f")));
    EXPECT_TRUE(removeDirectory(path("d")));
}

TEST_F(FilesTest, ListsMatchingEntriesInOrderWithoutHiddenOnes) {
    for (const char* name : {"b.m3u", "A.M3U", "c.m3u", ".hidden.m3u", "notes.txt", "m\xC3\xBAsica.m3u"})
        put(name, "");
    fs::create_directories(path("Dir.m3u"));
    fs::create_directories(path(".git"));
    using Names = std::vector<std::string>;
    EXPECT_EQ(listDirectory(dir, "*.m3u", false), (Names{"A.M3U", "b.m3u", "c.m3u", "m\xFAsica.m3u"}));
    EXPECT_EQ(listDirectory(dir, "*", true), (Names{"Dir.m3u"}));
    EXPECT_EQ(listDirectory(dir, "NOTES.TXT", false), (Names{"notes.txt"}));
    EXPECT_EQ(listDirectory(dir, "*.wav", false), Names{});
    EXPECT_EQ(listDirectory(path("missing"), "*", false), Names{});
}

} // namespace
