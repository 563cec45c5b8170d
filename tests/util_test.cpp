#include <gtest/gtest.h>

#include <unistd.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/util.h"

using vek::Util;

namespace {

std::string trimmed(const char* in) {
    char buf[256];
    Util::strncpy0(buf, in, sizeof(buf));
    Util::trim(buf);
    return buf;
}

}  // namespace

TEST(UtilStrings, TrimRemovesOnlyTheFourWhitespaceCharacters) {
    EXPECT_EQ(trimmed("  word  "), "word");
    EXPECT_EQ(trimmed("\t\r\n"), "");
    EXPECT_EQ(trimmed("two words"), "two words");
    EXPECT_EQ(trimmed(""), "");
    EXPECT_EQ(trimmed("value\r\n"), "value");
    // vertical tab and form feed are not whitespace here
    EXPECT_EQ(trimmed("\vx\f"), "\vx\f");
    EXPECT_EQ(trimmed(" \t x y \n"), "x y");
}

TEST(UtilStrings, StartsWithComparesThePrefixBytes) {
    EXPECT_TRUE(Util::startsWith("player1ControlLeft", "player1"));
    EXPECT_FALSE(Util::startsWith("p", "player1"));
    EXPECT_TRUE(Util::startsWith("anything", ""));
    EXPECT_TRUE(Util::startsWith("", ""));
}

TEST(UtilStrings, StringEqualsStopsAfterN) {
    EXPECT_TRUE(Util::stringEquals("abc", "abd", 2));
    EXPECT_FALSE(Util::stringEquals("abc", "abd", 3));
    EXPECT_FALSE(Util::stringEquals("ab", "abc", 256));
    EXPECT_TRUE(Util::stringEquals("zoom", "zoom", 256));
}

TEST(UtilStrings, Strncpy0CutsAndAlwaysTerminates) {
    char buf[8];
    memset(buf, 'x', sizeof(buf));
    Util::strncpy0(buf, "sixsix", 4);
    EXPECT_STREQ(buf, "six");
    EXPECT_EQ(buf[4], 'x');  // nothing written past the bound

    memset(buf, 'x', sizeof(buf));
    Util::strncpy0(buf, "ab", sizeof(buf));
    EXPECT_STREQ(buf, "ab");
    for (size_t i = 2; i < sizeof(buf); i++) EXPECT_EQ(buf[i], 0) << i;
}

TEST(UtilChecksum, IsAWrappingByteSum) {
    const unsigned char data[] = {0xFF, 0xFF, 0x02};
    Util::generateRomChecksum(data, 3);
    EXPECT_EQ(Util::getRomChecksum(), 0x200u);
    Util::generateRomChecksum(data, 0);
    EXPECT_EQ(Util::getRomChecksum(), 0u);
    Util::generateRomChecksum(data, -5);
    EXPECT_EQ(Util::getRomChecksum(), 0u);

    // 2^24 bytes of $FF wrap nowhere yet; the sum is exact in 32 bits
    std::string big(70000, '\xFF');
    Util::generateRomChecksum(reinterpret_cast<const unsigned char*>(big.data()), (int)big.size());
    EXPECT_EQ(Util::getRomChecksum(), 70000u * 255u);
}

class UtilLogTest : public ::testing::Test {
protected:
    char oldDir[4096];
    char tmpDir[64];
    void SetUp() override {
        ASSERT_NE(getcwd(oldDir, sizeof(oldDir)), nullptr);
        strcpy(tmpDir, "/tmp/vekutilXXXXXX");
        ASSERT_NE(mkdtemp(tmpDir), nullptr);
        ASSERT_EQ(chdir(tmpDir), 0);
        Util::generateFileNames("qor-204");
    }
    void TearDown() override {
        chmod(tmpDir, 0755);
        unlink((std::string(tmpDir) + "/error.log").c_str());
        ASSERT_EQ(chdir(oldDir), 0);
        rmdir(tmpDir);
    }
    static std::string readFile(const char* path) {
        std::ifstream f(path);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
};

TEST_F(UtilLogTest, FileNamesDoNotDependOnTheVersion) {
    EXPECT_STREQ(Util::getErrorLogFileName(), "error.log");
    EXPECT_STREQ(Util::getMovieFileName(), "recording.vekmov");
    Util::generateFileNames("something else");
    EXPECT_STREQ(Util::getErrorLogFileName(), "error.log");
}

TEST_F(UtilLogTest, ErrorsAccumulateInTheLogAndReachStandardError) {
    testing::internal::CaptureStderr();
    Util::logErrorF("first %d\n", 1);
    Util::resetErrorLog();
    Util::logErrorF("second %s\n", "two");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile("error.log"), "first 1\nsecond two\n");
    EXPECT_EQ(err, "first 1\nsecond two\n");
}

TEST_F(UtilLogTest, UnwritableLogStillReachesStandardError) {
    if (geteuid() == 0) {
        // root ignores directory permissions: make the log name a directory instead
        ASSERT_EQ(mkdir("error.log", 0755), 0);
    } else {
        ASSERT_EQ(chmod(tmpDir, 0555), 0);
    }
    testing::internal::CaptureStderr();
    Util::logErrorF("lost? %d\n", 7);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "lost? 7\n");
    rmdir("error.log");
}

TEST_F(UtilLogTest, LongMessagesAreCutAt1023Characters) {
    std::string msg(2000, 'a');
    testing::internal::CaptureStdout();
    Util::logF("%s", msg.c_str());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, std::string(1023, 'a'));

    testing::internal::CaptureStdout();
    Util::logF("100%% %s\n", "sure");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "100% sure\n");
}
