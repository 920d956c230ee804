// The path mapping: drive letters, "\" paths, POSIX paths, relative paths,
// case-insensitive matching of existing components, wildcards, and the
// confinement the fuzzer relies on.
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/paths-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = fs::canonical(tmpl).string();
        home = root + "/home";
        work = root + "/work";
        fs::create_directories(home + "/drive_c/ondaria/temp");
        fs::create_directories(home + "/drive_c/M\xC3\xBAsica");  // "Música" on disk, UTF-8
        fs::create_directories(work + "/Sub");
        ASSERT_EQ(setenv("TALORA_HOME", home.c_str(), 1), 0);
        resetTalorahome();
        ASSERT_EQ(chdir(work.c_str()), 0);
    }
    void TearDown() override {
        setPathRoot("");
        [[maybe_unused]] int ignored = chdir("/");
        fs::remove_all(root);
        resetTalorahome();
    }
    std::string root, home, work;
};

TEST_F(PathsTest, MapsScriptPaths) {
    struct Case {
        const char* script;
        std::string expected;
    };
    const Case cases[] = {
        {"c:\\ondaria\\temp\\x.txt", home + "/drive_c/ondaria/temp/x.txt"},
        // Existing components match in any case; a new name keeps its own.
        {"C:\\ONDARIA\\Temp\\X.TXT", home + "/drive_c/ondaria/temp/X.TXT"},
        {"c:\\m\xDAsica\\a", home + "/drive_c/M\xC3\xBAsica/a"},  // "MÚSICA" in Windows-1252
        {"D:\\dados\\y", home + "/drive_d/dados/y"},
        {"c:", home + "/drive_c"},
        {"\\ondaria\\temp", home + "/drive_c/ondaria/temp"},
        {"c:/ondaria\\temp//x", home + "/drive_c/ondaria/temp/x"},
        {"/etc/passwd", "/etc/passwd"},
        {"sub\\a.txt", "Sub/a.txt"},
        {"SUB/new\\B.txt", "Sub/new/B.txt"},
        {"..\\x", "../x"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(mapPath(c.script), c.expected) << c.script;
    // A path ends at a NUL byte, as it would on Windows.
    EXPECT_EQ(mapPath(std::string_view("a\0/../../x", 10)), "a");
}

// ".." at a drive's root stays there, as on Windows, for every drive and for
// relative paths that climb out of a drive folder; elsewhere the file system
// resolves it.
TEST_F(PathsTest, DotDotNeverLeavesADriveFolder) {
    const std::string c = home + "/drive_c";
    struct Case {
        const char* script;
        std::string expected;
    };
    const Case fromOutside[] = {
        {"c:\\..\\..\\segredo", c + "/segredo"},
        {"\\..\\..\\segredo", c + "/segredo"},
        {"d:/../x", home + "/drive_d/x"},
        {"c:..", c},
        {"C:\\ONDARIA\\..\\..\\ondaria\\.\\TEMP", c + "/ondaria/temp"},
        {"c:\\naoexiste\\..\\ondaria", c + "/ondaria"},
        {"..\\x", "../x"},                 // the current folder is in no drive
        {"/tmp/../etc", "/tmp/../etc"},     // POSIX paths pass unchanged
    };
    for (const Case& k : fromOutside) EXPECT_EQ(mapPath(k.script), k.expected) << k.script;

    ASSERT_EQ(chdir((c + "/ondaria/temp").c_str()), 0);
    const Case fromInside[] = {
        {"..\\..\\..\\..\\fora", c + "/fora"},
        {"..\\x", c + "/ondaria/x"},
        {"../../M\xDAsica/..", c},
        {"a.txt", "a.txt"},  // without "..", relative paths stay relative
    };
    for (const Case& k : fromInside) EXPECT_EQ(mapPath(k.script), k.expected) << k.script;

    // A home folder named through a symbolic link: the current folder is its real path.
    std::string link = root + "/link";
    fs::create_directory_symlink(home, link);
    ASSERT_EQ(setenv("TALORA_HOME", link.c_str(), 1), 0);
    resetTalorahome();
    EXPECT_EQ(mapPath("..\\..\\..\\fora"), c + "/fora");
    EXPECT_EQ(mapPath("c:\\..\\x"), link + "/drive_c/x");
}

TEST_F(PathsTest, ExactNameWinsOverOtherCase) {
    fs::create_directories(work + "/a");
    fs::create_directories(work + "/A");
    EXPECT_EQ(mapPath("A"), "A");
    EXPECT_EQ(mapPath("a"), "a");
}

TEST_F(PathsTest, UnmapsToTheScriptsView) {
    EXPECT_EQ(unmapPath(home + "/drive_c/ondaria"), "C:\\ondaria");
    EXPECT_EQ(unmapPath(home + "/drive_c"), "C:\\");
    EXPECT_EQ(unmapPath(home + "/drive_c/M\xC3\xBAsica"), "C:\\M\xFAsica");
    EXPECT_EQ(unmapPath(home + "/drive_cx"), home + "/drive_cx");
    EXPECT_EQ(unmapPath("/tmp/x"), "/tmp/x");
}

TEST_F(PathsTest, HomeGivenThroughASymlinkStillUnmaps) {
    std::string link = root + "/link";
    fs::create_directory_symlink(home, link);
    ASSERT_EQ(setenv("TALORA_HOME", link.c_str(), 1), 0);
    resetTalorahome();
    // getcwd() names the real folder, not the link.
    EXPECT_EQ(unmapPath(home + "/drive_c/ondaria"), "C:\\ondaria");
}

TEST_F(PathsTest, SplitsSearchPatterns) {
    std::string folder, name;
    splitSearchPattern("c:\\ONDARIA\\*.m3u", folder, name);
    EXPECT_EQ(folder, home + "/drive_c/ondaria");
    EXPECT_EQ(name, "*.m3u");
    splitSearchPattern("*.txt", folder, name);
    EXPECT_EQ(folder, ".");
    EXPECT_EQ(name, "*.txt");
    splitSearchPattern("c:*.txt", folder, name);
    EXPECT_EQ(folder, home + "/drive_c");
    EXPECT_EQ(name, "*.txt");
    splitSearchPattern("sub/", folder, name);
    EXPECT_EQ(folder, "Sub");
    EXPECT_EQ(name, "");
}

TEST(Wildcards, MatchAsOnWindows) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.*", "LEIAME", true},   {"*.*", "a.b.c", true},     {"*", "x", true},
        {"*.m3u", "Rock.M3U", true}, {"*.m3u", "a.m3u.bak", false}, {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false}, {"a*b*c", "aXXbYYc", true}, {"a*b*c", "aXXbYY", false},
        {"*.", "LEIAME", true},    {"*.", "a.b", false},      {"x.*", "x", true},
        {"*.txt", "txt", false},   {"", "a", false},          {"r?ck", "ROCK", true},
        {"\xC9*", "\xE9t\xE9", true},  // É* matches "été"
        {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    };
    for (const Case& c : cases) EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

TEST(Names, CompareIgnoringCase) {
    EXPECT_TRUE(sameNameIgnoringCase("Ondaria.TXT", "ONDARIA.txt"));
    EXPECT_TRUE(sameNameIgnoringCase("\xE7\xE3o", "\xC7\xC3O"));  // ção
    EXPECT_FALSE(sameNameIgnoringCase("a", "ab"));
    EXPECT_TRUE(nameLessIgnoringCase("a.m3u", "B.m3u"));
    EXPECT_FALSE(nameLessIgnoringCase("b", "A"));
    EXPECT_TRUE(nameLessIgnoringCase("ab", "ABC"));
}

TEST_F(PathsTest, ConfinementKeepsEveryPathInside) {
    // The fuzzer's layout: the root is the home folder and the current directory.
    ASSERT_EQ(setenv("TALORA_HOME", root.c_str(), 1), 0);
    resetTalorahome();
    ASSERT_EQ(chdir(root.c_str()), 0);
    setPathRoot(root);
    struct Case {
        const char* script;
        std::string expected;
    };
    const Case cases[] = {
        {"/etc/passwd", root + "/etc/passwd"},
        {"..\\..\\..\\x", root + "/x"},
        {"c:\\..\\..\\..\\etc\\passwd", root + "/drive_c/etc/passwd"},
        {"c:\\ondaria", root + "/drive_c/ondaria"},
        {"work/../../..", root},
        {"/", root},
        {"WORK\\sub\\.\\f", root + "/work/Sub/f"},
    };
    for (const Case& c : cases) EXPECT_EQ(mapPath(c.script), c.expected) << c.script;

    ASSERT_EQ(chdir((work + "/Sub").c_str()), 0);
    EXPECT_EQ(mapPath("..\\..\\..\\y"), root + "/y");
    EXPECT_EQ(mapPath("z"), work + "/Sub/z");
    EXPECT_EQ(unmapPath(work + "/Sub"), "/work/Sub");
    EXPECT_EQ(unmapPath(root), "/");

    // A current directory outside the root counts as the root.
    ASSERT_EQ(chdir("/tmp"), 0);
    EXPECT_EQ(mapPath("q"), root + "/q");

    setPathRoot("");
    EXPECT_EQ(mapPath("/etc/passwd"), "/etc/passwd");
}

TEST_F(PathsTest, DriveFoldersOfAHomeOutsideTheRootMoveInside) {
    setPathRoot(work);
    EXPECT_EQ(mapPath("c:\\ondaria"), work + "/drive_c/ondaria");
}

} // namespace
