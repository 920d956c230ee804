// FALARIS.INI: where it is found, "@" expansion, direct reads and yes/no values.
#include "platform/paths.h"
#include "speech/config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("config_test_" + std::to_string(::getpid()));
        fs::create_directories(root / "home");
        fs::create_directories(root / "start");
        setenv("TALORA_HOME", (root / "home").c_str(), 1);
        resetTalorahome();
        previous = fs::current_path();
        fs::current_path(root / "start");
        recordStartDirectory();
    }
    void TearDown() override {
        fs::current_path(previous);
        recordStartDirectory();
        fs::remove_all(root);
        unsetenv("TALORA_HOME");
        resetTalorahome();
    }
    void write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

    fs::path root, previous;
};

} // namespace

TEST_F(ConfigTest, AtExpansion) {
    write(root / "home" / "falaris.ini",
          "[FALARIS]\nPGMFALARIS=c:\\talora\n"
          "[T]\nLEAD=@\\som\\letras\\\nMIDDLE=x;@\\bin\nTWO=@\\a;@\\b\nPLAIN=sem arroba\nMAIL=nome@exemplo\n");
    EXPECT_EQ(readConfig("T", "LEAD"), "c:\\talora\\som\\letras\\");
    EXPECT_EQ(readConfig("t", "middle"), "x;c:\\talora\\bin");
    EXPECT_EQ(readConfig("T", "TWO"), "c:\\talora\\a;c:\\talora\\b");
    EXPECT_EQ(readConfig("T", "PLAIN"), "sem arroba");
    EXPECT_EQ(readConfig("T", "MAIL"), "nome@exemplo");  // an "@" not before "\" stays
    EXPECT_EQ(readConfig("T", "MISSING"), "");
    EXPECT_EQ(readConfig("", "PGMFALARIS"), "c:\\talora");
    // Direct reads are not expanded.
    EXPECT_EQ(readConfigDirect("T", "LEAD"), "@\\som\\letras\\");
}

TEST_F(ConfigTest, TheInsertedDirectoryIsNotExpandedAgain) {
    write(root / "home" / "FALARIS.INI", "[FALARIS]\nPGMFALARIS=c:\\x@\\y\n[T]\nK=@\\z\n");
    EXPECT_EQ(readConfig("T", "K"), "c:\\x@\\y\\z");
}

TEST_F(ConfigTest, WithoutProgramDirectoryTheStartDirectoryIsUsed) {
    write(root / "home" / "FALARIS.INI", "[FALARIS]\nPGMFALARIS=@\\loop\n[T]\nK=@\\z\n");
    EXPECT_EQ(readConfig("T", "K"), unmapPath((root / "start").string()) + "\\z");
}

TEST_F(ConfigTest, TheHomeFolderComesBeforeTheStartDirectory) {
    write(root / "start" / "FALARIS.INI", "[T]\nK=start\nONLY=start only\n");
    EXPECT_EQ(readConfig("T", "K"), "start");
    // Direct reads look in the home folder alone.
    EXPECT_EQ(readConfigDirect("T", "K"), "");
    write(root / "home" / "FALARIS.INI", "[T]\nK=home\n");
    EXPECT_EQ(readConfig("T", "K"), "home");
    EXPECT_EQ(readConfig("T", "ONLY"), "");
}

TEST_F(ConfigTest, ValuesAreCutAndConverted) {
    write(root / "home" / "FALARIS.INI",
          "; comment\n[T]\nLONG=" + std::string(300, 'a') + "\nACENTO=S\xC3\xA3o\n  SPACED  =  v  \n");
    EXPECT_EQ(readConfig("T", "LONG").size(), 255u);
    EXPECT_EQ(readConfigDirect("T", "LONG", 80).size(), 80u);
    EXPECT_EQ(readConfig("T", "ACENTO"), "S\xE3o");  // UTF-8 file, Windows-1252 value
    EXPECT_EQ(readConfig("T", "SPACED"), "v");
}

TEST(ConfigYes, OnWhenNotEmptyAndNotStartingWithN) {
    EXPECT_TRUE(configYes("S"));
    EXPECT_TRUE(configYes("sim"));
    EXPECT_TRUE(configYes("1"));
    EXPECT_FALSE(configYes(""));
    EXPECT_FALSE(configYes("N"));
    EXPECT_FALSE(configYes("nao"));
}
