#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "app/util.h"
#include "file_support.h"

using vek::Util;

TEST(UtilStrings, TrimComparisonAndCopy) {
    // only tab, line feed, carriage return and space are trimmed: vertical tab and form feed stay
    const struct {
        const char* in;
        const char* out;
    } trims[] = {{"  word  ", "word"}, {"\t\r\n", ""},  {"two words", "two words"}, {"", ""},
                 {"value\r\n", "value"}, {"\vx\f", "\vx\f"}, {" \t x y \n", "x y"}};
    for (const auto& t : trims) {
        char buf[256];
        Util::strncpy0(buf, t.in, sizeof(buf));
        Util::trim(buf);
        EXPECT_STREQ(buf, t.out) << "'" << t.in << "'";
    }

    EXPECT_TRUE(Util::startsWith("player1ControlLeft", "player1"));
    EXPECT_FALSE(Util::startsWith("p", "player1"));
    EXPECT_TRUE(Util::startsWith("", ""));
    EXPECT_TRUE(Util::stringEquals("abc", "abd", 2));
    EXPECT_FALSE(Util::stringEquals("abc", "abd", 3));
    EXPECT_FALSE(Util::stringEquals("ab", "abc", 256));

    // the copy is cut to the bound and always terminated, and nothing is written past it
    char buf[8];
    memset(buf, 'x', sizeof(buf));
    Util::strncpy0(buf, "sixsix", 4);
    EXPECT_STREQ(buf, "six");
    EXPECT_EQ(buf[4], 'x');
}

TEST(UtilChecksum, IsAByteSum) {
    const unsigned char data[] = {0xFF, 0xFF, 0x02};
    Util::generateRomChecksum(data, 3);
    EXPECT_EQ(Util::getRomChecksum(), 0x200u);
    Util::generateRomChecksum(data, -5);
    EXPECT_EQ(Util::getRomChecksum(), 0u);
    // beyond 16 bits the sum is still exact
    std::string big(70000, '\xFF');
    Util::generateRomChecksum(reinterpret_cast<const unsigned char*>(big.data()), (int)big.size());
    EXPECT_EQ(Util::getRomChecksum(), 70000u * 255u);
}

// The error log accumulates in "error.log", whatever the version, and every message also
// reaches standard error, even one the log cannot take.
TEST(UtilLog, ErrorsGoToTheLogAndToStandardError) {
    filetest::ScopedTempDir dir;
    Util::generateFileNames("qor-204");
    testing::internal::CaptureStderr();
    Util::logErrorF("first %d\n", 1);
    Util::resetErrorLog();
    Util::logErrorF("second %s\n", "two");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "first 1\nsecond two\n");
    EXPECT_EQ(filetest::readFile("error.log"), "first 1\nsecond two\n");

    // a log that cannot be written: a directory in its place (the root user ignores a
    // folder's permissions)
    ASSERT_EQ(unlink("error.log"), 0);
    ASSERT_EQ(mkdir("error.log", 0755), 0);
    testing::internal::CaptureStderr();
    Util::logErrorF("lost? %d\n", 7);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "lost? 7\n");
}

TEST(UtilLog, LongMessagesAreCutAt1023Characters) {
    testing::internal::CaptureStdout();
    Util::logF("%s", std::string(2000, 'a').c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(1023, 'a'));
    testing::internal::CaptureStdout();
    Util::logF("100%% %s\n", "sure");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "100% sure\n");
}
