#include <gtest/gtest.h>

#include <dirent.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/util.h"
#include "config/config.h"
#include "file_support.h"

using filetest::exists;
using filetest::readFile;
using filetest::writeFile;
using vek::Config;
using vek::structConfigControl;
using vek::Util;

namespace {

const char* CFG = "Ember Spire.cfg";

bool hasLine(const std::string& text, const std::string& line) {
    return text.find("\n" + line + "\n") != std::string::npos;
}

std::string defaultFile() { return readFile(VEK_TEST_DATA_DIR "/default.cfg"); }

// the temporary files of saves in a folder: names that go on after "Ember Spire.cfg.tmp"
// or "settings.cfg.tmp"
std::vector<std::string> tempFiles(const std::string& folder = ".") {
    std::vector<std::string> found;
    DIR* d = opendir(folder.c_str());
    if (!d) return found;
    while (struct dirent* e = readdir(d)) {
        if (strstr(e->d_name, ".cfg.tmp")) found.push_back(e->d_name);
    }
    closedir(d);
    return found;
}

int countOccurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) n++;
    return n;
}

// Every test runs in an empty directory of its own, which also receives the error log.
class ConfigTest : public ::testing::Test {
protected:
    filetest::ScopedTempDir dir;

    void SetUp() override {
        ASSERT_FALSE(dir.path.empty());
        Util::generateFileNames("test");
    }

    // loads `bytes` as the configuration file into `c`
    void loadFrom(Config* c, const std::string& bytes) {
        writeFile(CFG, bytes);
        ASSERT_TRUE(c->load());
    }

    std::string errorLog() { return readFile("error.log"); }
};

// ---------------------------------------------------------------------------
// Line splitting

TEST(ConfigParseLine, SplitsAtEqualsTrimsAndCutsToTheBuffers) {
    const struct {
        const char* line;
        bool ok;
        const char* key;
        const char* value;
    } cases[] = {
        {" zoom = 2\r\n", true, "zoom", "2"},
        {"\tmusicVolume\t=\t  70 \t\n", true, "musicVolume", "70"},
        {"player2ControlA=1052675:0A02-My Pad #2\n", true, "player2ControlA", "1052675:0A02-My Pad #2"},
        // with several equals the value is the text after the last; a shorter last piece
        // leaves nothing of the longer one before it
        {"key=first=second\n", true, "key", "second"},
        {"zoom=123456=7", true, "zoom", "7"},
        {"zoom=3=", true, "zoom", ""},
        {"zoom=\n", true, "zoom", ""},
        {"#zoom=3\n", true, "#zoom", "3"},  // a comment holding '=' is an option line
        {"=5\n", false, "", ""},
        {"   =5\n", false, "", ""},
        {"     \n", false, "", ""},
        {"", false, "", ""},
        {"# a comment without equals\n", false, "", ""},
        {"zoom 2\n", false, "", ""},
    };
    Config c;
    for (const auto& k : cases) {
        SCOPED_TRACE(k.line);
        ASSERT_EQ(c.parseLine(k.line), k.ok);
        if (!k.ok) continue;
        EXPECT_STREQ(c.parseKey, k.key);
        EXPECT_STREQ(c.parseValue, k.value);
    }

    std::string key(300, 'k');
    std::string value(700, 'v');
    ASSERT_TRUE(c.parseLine((key + "=" + value + "\n").c_str()));
    EXPECT_EQ(std::string(c.parseKey), std::string(255, 'k'));
    // a value has room for a control code, its colon and a whole device text
    EXPECT_EQ(std::string(c.parseValue), std::string(sizeof(c.parseValue) - 1, 'v'));
    EXPECT_EQ(sizeof(c.parseValue), 11 + sizeof(structConfigControl::uid));
}

// ---------------------------------------------------------------------------
// Defaults and loading

TEST_F(ConfigTest, WithoutAFileTheDefaultsAreTheDefaultFile) {
    Config c;
    EXPECT_FALSE(c.load());
    EXPECT_EQ(c.numOptions, 0);  // nothing loaded: the caller fills in the defaults
    EXPECT_FALSE(exists(CFG));
    // filling them in a second time starts over instead of running past the registry
    c.loadDefaultValues();
    c.loadDefaultValues();
    EXPECT_EQ(c.numOptions, 55);
    EXPECT_NE(c.getOption("player4ControlSelect"), nullptr);
    for (int p = 0; p < 4; p++) {
        for (int b = 0; b < 8; b++) {
            const structConfigControl& k = c.controls[p][b];
            EXPECT_EQ(k.player, p);
            EXPECT_EQ(k.button, b);
            EXPECT_FALSE(k.conflict);
            EXPECT_EQ(k.joystick, nullptr);
        }
    }
    ASSERT_TRUE(c.save());
    EXPECT_EQ(readFile(CFG), defaultFile());
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(ConfigTest, EveryKeyReachesItsOwnMember) {
    // distinct in-range values for every number, so a key bound to the wrong member shows
    Config c;
    const struct {
        const char* key;
        int value;
        const int* member;
    } ints[] = {
        {"windowViewportX", 11, &c.windowViewportX}, {"windowViewportY", 12, &c.windowViewportY},
        {"windowViewportW", 13, &c.windowViewportW}, {"windowViewportH", 14, &c.windowViewportH},
        {"fullscreenViewportX", 16, &c.fullscreenViewportX}, {"fullscreenViewportY", 17, &c.fullscreenViewportY},
        {"fullscreenViewportW", 18, &c.fullscreenViewportW}, {"fullscreenViewportH", 19, &c.fullscreenViewportH},
        {"fullscreenW", 20, &c.fullscreenW}, {"fullscreenH", 21, &c.fullscreenH}, {"overscanTop", 3, &c.overscanTop},
        {"overscanBottom", 4, &c.overscanBottom}, {"zoom", 5, &c.zoom}, {"musicVolume", 31, &c.musicVolume},
        {"sfxVolume", 32, &c.sfxVolume}, {"fullscreen", 1, &c.fullscreen}, {"vsync", 1, &c.vsync},
        {"hardwareAcceleration", 0, &c.hardwareAcceleration}, {"renderMethod", 0, &c.renderMethod},
        {"swapMethod", 2, &c.swapMethod}, {"skipControllerConfig", 1, &c.skipControllerConfig},
    };
    std::string text = "borderColor=abcdef\njoystickAxisThreshold=0.33\n";
    for (const auto& k : ints) text += std::string(k.key) + "=" + std::to_string(k.value) + "\n";
    // and every binding key to its own player and button
    const char* names[8] = {"Left", "Right", "Up", "Down", "A", "B", "Start", "Select"};
    for (int p = 0; p < 4; p++) {
        for (int b = 0; b < 8; b++)
            text += "player" + std::to_string(p + 1) + "Control" + names[b] + "=" + std::to_string(1000 + p * 8 + b) + ":\n";
    }
    loadFrom(&c, text);
    for (const auto& k : ints) EXPECT_EQ(*k.member, k.value) << k.key;
    EXPECT_EQ(c.borderColor, 0xabcdefu);
    EXPECT_DOUBLE_EQ(c.joystickAxisThreshold, 0.33);
    for (int p = 0; p < 4; p++)
        for (int b = 0; b < 8; b++) EXPECT_EQ(c.controls[p][b].code, 1000u + p * 8 + b);
}

// What a file reads as, seen in the file that a save writes next: values held to their
// ranges and written as the program writes them.
TEST_F(ConfigTest, FilesReadAsTheNextSaveShows) {
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> lines;  // in the saved file
    } cases[] = {
        {"one line overrides only its option", "zoom = 2\r\n",
         {"zoom=2", "musicVolume=100", "windowViewportW=768", "player1ControlLeft=1313:", "player1ControlSelect=305:"}},
        {"an empty file", "", {"zoom=-1", "musicVolume=100"}},
        {"a key given twice: the later wins", "musicVolume=30\nsfxVolume=40\nmusicVolume=60\n",
         {"musicVolume=60", "sfxVolume=40"}},
        {"comments, unknown and misspelled keys change nothing",
         "# zoom=3\n#zoom=4\n=5\n    \nZoom=6\nzoom2=7\nunknownKey=8\njust some words\n\n", {"zoom=-1"}},
        {"values that do not convert: empty and no digits are 0, trailing text is ignored",
         "skipControllerConfig=\nmusicVolume=abc\nsfxVolume=55 percent\nplayer1ControlLeft=\n",
         {"skipControllerConfig=0", "musicVolume=0", "sfxVolume=55", "player1ControlLeft=0:"}},
        {"a colour without prefix", "borderColor=ff0000\n", {"borderColor=ff0000"}},
        {"a colour with prefix", "borderColor=0xff0000\n", {"borderColor=ff0000"}},
        {"a colour in capitals", "borderColor=00FF7f\n", {"borderColor=00ff7f"}},
        // the device text is everything after the first colon; no colon is a keyboard binding
        {"bindings", "player1ControlA=17\nplayer1ControlB=65:\nplayer3ControlStart=34: \n"
                     "player2ControlLeft=1052675:0A0220000000-Game Pad: Left\n",
         {"player1ControlA=17:", "player1ControlB=65:", "player3ControlStart=34:",
          "player2ControlLeft=1052675:0A0220000000-Game Pad: Left"}},
        {"numbers beyond their ranges",
         "windowViewportX=-99999999999999\nwindowViewportY=99999\nfullscreenViewportX=-1500\n"
         "windowViewportW=99999999999999999999\nwindowViewportH=0\nfullscreenViewportW=-768\n"
         "fullscreenViewportH=100000\nfullscreen=-2147483648\noverscanTop=200\noverscanBottom=-3\n"
         "vsync=7\nhardwareAcceleration=-1\nrenderMethod=2\nswapMethod=3\nzoom=-7\n"
         "musicVolume=99999999999\nsfxVolume=-5\nborderColor=fffffffffff\n"
         "player1ControlA=-1\nplayer1ControlB=99999999999999:pad\n",
         {"windowViewportX=2147483647", "windowViewportY=2147483647",
          "fullscreenViewportX=-1500",  // a monitor left of the main one
          "windowViewportW=768", "windowViewportH=720", "fullscreenViewportW=768", "fullscreenViewportH=720",
          "fullscreen=1", "overscanTop=64", "overscanBottom=0", "vsync=2", "hardwareAcceleration=2",
          "renderMethod=1", "swapMethod=1", "zoom=-1", "musicVolume=100", "sfxVolume=0", "borderColor=ffffff",
          "player1ControlA=0:", "player1ControlB=0:pad"}},
        {"the ends of the ranges", "zoom=1000\nvsync=0\nwindowViewportX=2147483647\n",
         {"zoom=16", "vsync=0", "windowViewportX=2147483647"}},
        // overscan always leaves a picture; the usual television cut stays
        {"overscan of the whole picture", "overscanTop=240\noverscanBottom=240\n", {"overscanTop=64", "overscanBottom=64"}},
        {"the usual overscan", "overscanTop=8\noverscanBottom=8\n", {"overscanTop=8", "overscanBottom=8"}},
        // the text after a NUL byte is not read
        {"NUL bytes, CR LF and no line feed at the end",
         "zoom=3\r\n" + std::string("musicVolume=40\0sfxVolume=10\n", 28) + std::string("\0player1ControlA=33:\n", 21) +
             "borderColor=00ff00\r\nsfxVolume=70",
         {"zoom=3", "musicVolume=40", "player1ControlA=17:", "borderColor=00ff00", "sfxVolume=70"}},
        {"lines far beyond any buffer, and lines after them",
         std::string(100000, 'x') + "=1\nmusicVolume=" + std::string(100000, '7') + "\nzoom=2\n",
         {"zoom=2", "musicVolume=100"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        Config c;
        loadFrom(&c, k.text);
        ASSERT_TRUE(c.save());
        const std::string saved = readFile(CFG);
        for (const std::string& line : k.lines) EXPECT_TRUE(hasLine(saved, line)) << line;
        EXPECT_TRUE(tempFiles().empty());
    }
}

// ---------------------------------------------------------------------------
// Saving

TEST_F(ConfigTest, ASaveWritesOnlyTheRegistryAndTheSameBytesAgain) {
    // hand-written text is dropped; a file with CR LF line ends reads as the one without
    std::string crlf;
    for (char ch : defaultFile()) {
        if (ch == '\n') crlf += '\r';
        crlf += ch;
    }
    for (const std::string& text : {"# my own comment\nmyOwnKey=1\n" + defaultFile() + "\n# trailing note\n", crlf}) {
        Config c;
        loadFrom(&c, text);
        ASSERT_TRUE(c.save());
        EXPECT_EQ(readFile(CFG), defaultFile());
        ASSERT_TRUE(c.save());
        EXPECT_EQ(readFile(CFG), defaultFile());
    }
}

TEST_F(ConfigTest, OnlyAQueuedSaveIsWrittenAndUpdateWritesItOnce) {
    const std::string mine = "zoom=3\n# my own note\n";
    writeFile(CFG, mine);
    Config c;
    ASSERT_TRUE(c.load());
    c.update();
    EXPECT_EQ(readFile(CFG), mine) << "loading queues no save";

    c.zoom = 2;
    c.queueSave();
    c.musicVolume = 50;
    c.queueSave();
    EXPECT_TRUE(c.isSaveQueued());
    EXPECT_EQ(readFile(CFG), mine) << "queueing alone writes nothing";
    c.update();
    EXPECT_FALSE(c.isSaveQueued());
    std::string saved = readFile(CFG);
    EXPECT_TRUE(hasLine(saved, "zoom=2"));
    EXPECT_TRUE(hasLine(saved, "musicVolume=50"));

    // no new request, no new write
    ASSERT_EQ(unlink(CFG), 0);
    c.update();
    EXPECT_FALSE(exists(CFG));
}

// ---------------------------------------------------------------------------
// Viewport of the current mode

TEST(ConfigViewport, AccessorsFollowTheScreenMode) {
    Config c;
    c.loadDefaultValues();
    int* const window[4] = {&c.windowViewportX, &c.windowViewportY, &c.windowViewportW, &c.windowViewportH};
    int* const full[4] = {&c.fullscreenViewportX, &c.fullscreenViewportY, &c.fullscreenViewportW,
                          &c.fullscreenViewportH};
    // any non-zero value selects the full-screen set
    for (int mode : {0, 1, 7, -1}) {
        SCOPED_TRACE(mode);
        c.fullscreen = mode;
        for (int i = 0; i < 4; i++) {
            *window[i] = 10 + i;
            *full[i] = 20 + i;
        }
        const int base = mode ? 20 : 10;
        EXPECT_EQ(c.getViewportX(), base);
        EXPECT_EQ(c.getViewportY(), base + 1);
        EXPECT_EQ(c.getViewportW(), base + 2);
        EXPECT_EQ(c.getViewportH(), base + 3);
        c.setViewportX(30);
        c.setViewportY(31);
        c.setViewportW(32);
        c.setViewportH(33);
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(*(mode ? full : window)[i], 30 + i) << i;
            EXPECT_EQ(*(mode ? window : full)[i], (mode ? 10 : 20) + i) << i;
        }
    }
    // the setters leave saving to their callers
    EXPECT_FALSE(c.isSaveQueued());
}

// ---------------------------------------------------------------------------
// Values that must read back as they were written

// The next load must read what a save wrote of what was loaded before: device texts are cut
// at load to what the binding holds (511 characters), which a save writes whole behind any
// code, and a threshold is held to its range and gets the digits it needs (six or fewer stay
// as typed).
TEST_F(ConfigTest, LoadedValuesSurviveASaveAndALoad) {
    const struct {
        std::string value;
        unsigned code;
        size_t uidLength;
    } bindings[] = {
        {":" + std::string(600, 'u'), 0, 511},  // saved as "0:", one character more than read
        {"0034:" + std::string(600, 'u'), 34, 511},
        {"4294967295:" + std::string(600, 'u'), 4294967295u, 511},
        {"7:" + std::string(100, 'u'), 7, 100},
        {"4294967295:" + std::string(506, 'u'), 4294967295u, 506},  // the value fits whole
        {"34:" + std::string(5000, 'u'), 34, 511},                  // a line longer than the reader's buffer
    };
    for (const auto& b : bindings) {
        SCOPED_TRACE(b.value.substr(0, 12));
        Config c;
        loadFrom(&c, "player3ControlB=" + b.value + "\nzoom=2\n");
        EXPECT_EQ(c.controls[2][5].code, b.code);
        EXPECT_EQ(strlen(c.controls[2][5].uid), b.uidLength);
        EXPECT_EQ(c.zoom, 2);
        ASSERT_TRUE(c.save());
        Config d;
        ASSERT_TRUE(d.load());
        EXPECT_EQ(d.controls[2][5].code, b.code);
        EXPECT_STREQ(d.controls[2][5].uid, c.controls[2][5].uid);
    }

    // a threshold of 0 or less would count a resting stick as pushed, one beyond 1 never as
    // pushed; one that is not a number is the default
    const struct {
        const char* typed;
        const char* saved;
    } thresholds[] = {
        {"0.11", "0.11"},       {"0.25", "0.25"},         {"0.123456", "0.123456"},   {"1.5e-3", "0.0015"},
        {"0.1234567", "0.1234567"}, {"0.30000000000000004", "0.30000000000000004"}, {"0.99999999", "0.99999999"},
        {"0", "0.001"},         {"0.0", "0.001"},         {"-0.5", "0.001"},          {"nothing", "0.001"},
        {"-inf", "0.001"},      {"nan", "0.11"},          {"inf", "1"},               {"5", "1"},
    };
    for (const auto& t : thresholds) {
        SCOPED_TRACE(t.typed);
        Config c;
        loadFrom(&c, std::string("joystickAxisThreshold=") + t.typed + "\n");
        ASSERT_TRUE(c.save());
        EXPECT_TRUE(hasLine(readFile(CFG), std::string("joystickAxisThreshold=") + t.saved));
        Config d;
        ASSERT_TRUE(d.load());
        EXPECT_EQ(d.joystickAxisThreshold, c.joystickAxisThreshold);
    }
}

// Bindings as older builds wrote them (a value of at most 511 characters: the code, a colon
// and the device text, which may hold bytes of 128 and above) read as they did there, the
// whole device text, and are written back byte for byte.
TEST_F(ConfigTest, BindingsWrittenByOlderBuildsReadTheSame) {
    const unsigned codes[] = {0, 2, 498, 1048579, 2158835, 4294967295u};
    const size_t uidLengths[] = {0, 13, 34, 255, 400, 500, 509};
    for (unsigned code : codes) {
        for (size_t uidLength : uidLengths) {
            for (bool high : {false, true}) {
                const std::string codeText = std::to_string(code) + ":";
                if (codeText.size() + uidLength > 511) continue;
                SCOPED_TRACE(codeText + std::to_string(uidLength));
                std::string uid;
                for (size_t i = 0; i < uidLength; i++)
                    uid += i < 13 ? "0C0322221200-"[i] : (high ? (char)(0x80 + i % 128) : (char)('a' + i % 26));
                const std::string line = "player4ControlSelect=" + codeText + uid;
                Config c;
                loadFrom(&c, line + "\n");
                EXPECT_EQ(c.controls[3][7].code, code);
                EXPECT_EQ(std::string(c.controls[3][7].uid), uid);
                ASSERT_TRUE(c.save());
                EXPECT_TRUE(hasLine(readFile(CFG), line));
            }
        }
    }
}

// Runs `body` in a child process as the user nobody (as the root user, who may read every
// file, this is what makes a file of another user unreadable); returns its exit status.
// The folder of the test is opened to everyone first.
int runAsNobody(const std::string& dir, int (*body)()) {
    chmod(dir.c_str(), 0777);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(90);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// What one run of the program does with its settings: load (or defaults), change a setting,
// save it through the frame loop and once more directly.
int playOneRun() {
    Config c;
    if (!c.load()) c.loadDefaultValues();
    c.zoom = 3;
    c.queueSave();
    c.update();
    c.save();
    return c.zoom == 3 && c.musicVolume == 100 ? 0 : 1;
}

// A file that is there but cannot be read is reported and never written over in that run,
// which plays on the defaults.
TEST_F(ConfigTest, AFileThatCannotBeReadIsLeftAsItIs) {
    const std::string mine = "zoom=2\nmusicVolume=40\n# my notes\n";
    struct Case {
        const char* what;
        const char* reason;  // in the logged message
    } cases[] = {
        {"another user's file, mode 0600", "Permission denied"},
        {"a directory in place of the file", "Is a directory"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        unlink("error.log");
        struct stat before;
        if (k.reason[0] == 'P') {
            writeFile(CFG, mine);
            ASSERT_EQ(chmod(CFG, 0600), 0);
            // as an ordinary user the file only needs to lose its read permission
            if (geteuid() != 0) {
                ASSERT_EQ(chmod(CFG, 0200), 0);
            }
        } else {
            ASSERT_EQ(mkdir(CFG, 0755), 0);
        }
        ASSERT_EQ(stat(CFG, &before), 0);

        EXPECT_EQ(runAsNobody(dir.path, playOneRun), 0);

        std::string log = errorLog();
        EXPECT_EQ(countOccurrences(log, std::string("Config::load() Could not read 'Ember Spire.cfg' (") +
                                            k.reason + "): playing on the default settings"),
                  1)
            << log;
        struct stat after;
        ASSERT_EQ(lstat(CFG, &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        if (S_ISREG(after.st_mode)) {
            chmod(CFG, 0600);
            EXPECT_EQ(readFile(CFG), mine);
            ASSERT_EQ(unlink(CFG), 0);
        } else {
            ASSERT_EQ(rmdir(CFG), 0);
        }
        EXPECT_TRUE(tempFiles().empty());
    }
}

// ---------------------------------------------------------------------------
// Saves that fail

TEST_F(ConfigTest, AFailedSaveIsLoggedOncePerRequest) {
    // a directory in place of the file cannot be replaced (as root, too)
    ASSERT_EQ(mkdir(CFG, 0755), 0);
    Config c;
    c.loadDefaultValues();
    EXPECT_FALSE(c.save());
    EXPECT_EQ(countOccurrences(errorLog(), "Config::save()"), 1);
    EXPECT_TRUE(tempFiles().empty());

    c.queueSave();
    for (int frame = 0; frame < 60; frame++) c.update();
    EXPECT_EQ(countOccurrences(errorLog(), "Config::save()"), 2);
    EXPECT_FALSE(c.isSaveQueued());

    c.queueSave();
    c.update();
    EXPECT_EQ(countOccurrences(errorLog(), "Config::save()"), 3);
    struct stat st;
    ASSERT_EQ(stat(CFG, &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(ConfigTest, AFailedSaveLeavesTheOldFileAlone) {
    const std::string old = "zoom=3\nmusicVolume=20\n";
    writeFile(CFG, old);
    Config c;
    ASSERT_TRUE(c.load());
    c.zoom = 4;
    // the temporary file cannot be created: every file descriptor is taken (the error log
    // cannot be opened either, so the message reaches standard error only)
    int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    struct rlimit files;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
    struct rlimit none = files;
    none.rlim_cur = (rlim_t)lowestFree;
    testing::internal::CaptureStderr();
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    bool created = c.save();
    setrlimit(RLIMIT_NOFILE, &files);
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(created);
    EXPECT_EQ(countOccurrences(messages, "Config::save() Could not write"), 1) << messages;
    EXPECT_EQ(readFile(CFG), old);
    EXPECT_TRUE(tempFiles().empty());

    // the disk fills up half way through the file
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 300;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = c.save();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(CFG), old);
    EXPECT_TRUE(tempFiles().empty());
    EXPECT_EQ(countOccurrences(errorLog(), "Config::save()"), 1);

    // and once there is room again the new file replaces the old one whole
    ASSERT_TRUE(c.save());
    Config d;
    ASSERT_TRUE(d.load());
    EXPECT_EQ(d.zoom, 4);
    EXPECT_EQ(d.musicVolume, 20);
}

TEST_F(ConfigTest, SavingIntoADirectoryThatIsGone) {
    std::string sub = dir.path + "/gone";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    ASSERT_EQ(chdir(sub.c_str()), 0);
    ASSERT_EQ(rmdir(sub.c_str()), 0);
    Config c;
    EXPECT_FALSE(c.load());
    c.loadDefaultValues();
    EXPECT_FALSE(c.save());
    c.queueSave();
    c.update();
    EXPECT_FALSE(c.isSaveQueued());
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    EXPECT_FALSE(exists(sub));
}

// ---------------------------------------------------------------------------
// Symbolic links and temporary files

TEST_F(ConfigTest, SavingThroughASymbolicLinkWritesTheFileItPointsTo) {
    ASSERT_EQ(mkdir("real", 0755), 0);
    ASSERT_EQ(mkdir("other", 0755), 0);
    struct Case {
        const char* what;
        const char* link;    // what "Ember Spire.cfg" points to
        const char* second;  // a second link on the way, or null
        const char* file;    // the file that is really written
        int mode;            // its permission bits beforehand; -1: it does not exist yet
    } cases[] = {
        {"a relative link into another folder", "real/settings.cfg", nullptr, "real/settings.cfg", 0640},
        {"an absolute link", "", nullptr, "real/settings.cfg", 0600},
        {"a link to a link", "other/hop.cfg", "../real/settings.cfg", "real/settings.cfg", 0604},
        {"a link to a file that is not there yet", "real/new.cfg", nullptr, "real/new.cfg", -1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        std::string link = k.link[0] ? k.link : dir.path + "/" + k.file;
        ASSERT_EQ(symlink(link.c_str(), CFG), 0);
        if (k.second) {
            ASSERT_EQ(symlink(k.second, k.link), 0);
        }
        if (k.mode >= 0) {
            writeFile(k.file, "zoom=2\n");
            ASSERT_EQ(chmod(k.file, (mode_t)k.mode), 0);
        }

        Config c;
        if (c.load())
            EXPECT_EQ(c.zoom, 2);
        else
            c.loadDefaultValues();
        c.musicVolume = 30;
        ASSERT_TRUE(c.save());

        struct stat st;
        ASSERT_EQ(lstat(CFG, &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
        char target[4096];
        ssize_t n = readlink(CFG, target, sizeof(target) - 1);
        ASSERT_GT(n, 0);
        EXPECT_EQ(std::string(target, (size_t)n), link);
        ASSERT_EQ(lstat(k.file, &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        mode_t mask = umask(0);
        umask(mask);
        EXPECT_EQ(st.st_mode & 07777, k.mode >= 0 ? (mode_t)k.mode : 0666 & ~mask);
        Config d;
        ASSERT_TRUE(d.load());
        EXPECT_EQ(d.musicVolume, 30);
        EXPECT_EQ(d.zoom, k.mode >= 0 ? 2 : -1);
        EXPECT_TRUE(tempFiles().empty());
        EXPECT_TRUE(tempFiles("real").empty());
        EXPECT_TRUE(tempFiles("other").empty());

        // a second save goes the same way
        d.musicVolume = 31;
        ASSERT_TRUE(d.save());
        Config e;
        ASSERT_TRUE(e.load());
        EXPECT_EQ(e.musicVolume, 31);
        ASSERT_EQ(lstat(CFG, &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));

        unlink(CFG);
        if (k.second) unlink(k.link);
        unlink(k.file);
    }
}

// A save killed half way leaves its temporary file behind; the next save of any instance
// removes it, but not the file another instance is writing at that moment.
TEST_F(ConfigTest, TemporaryFilesOfKilledSavesAreRemovedByTheNextSave) {
    const std::string old = "zoom=3\n";
    writeFile(CFG, old);

    // a save killed by the file-size limit after 300 bytes, as a full disk or a kill would
    fflush(nullptr);
    pid_t killed = fork();
    if (killed == 0) {
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        struct rlimit small = {300, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &small);
        signal(SIGXFSZ, SIG_DFL);
        Config c;
        c.loadDefaultValues();
        c.save();
        _exit(0);
    }
    ASSERT_GT(killed, 0);
    int status = 0;
    ASSERT_EQ(waitpid(killed, &status, 0), killed);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_EQ(readFile(CFG), old);
    std::vector<std::string> left = tempFiles();
    ASSERT_EQ(left.size(), 1u);
    const std::string prefix = "Ember Spire.cfg.tmp-" + std::to_string(killed) + "-";
    EXPECT_EQ(left[0].compare(0, prefix.size(), prefix), 0) << left[0];
    EXPECT_EQ(left[0].size(), prefix.size() + 6) << left[0];

    // another instance, alive, in the middle of its own save
    pid_t running = fork();
    if (running == 0) {
        pause();
        _exit(0);
    }
    ASSERT_GT(running, 0);
    const std::string busy = "Ember Spire.cfg.tmp-" + std::to_string(running) + "-a1B2c3";
    writeFile(busy, "zoom=");
    // the same instance an hour and a half ago: that save cannot still be going on
    const std::string ancient = "Ember Spire.cfg.tmp-" + std::to_string(running) + "-zzzzzz";
    writeFile(ancient, "zoom=");
    struct timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= 5400;
    times[1] = times[0];
    ASSERT_EQ(utimes(ancient.c_str(), times), 0);
    // names that only look alike are somebody else's
    const char* others[] = {"Ember Spire.cfg.tmp-notes", "Ember Spire.cfg.tmp-1-toolongname",
                            "settings.cfg.tmp-1-abcdef"};
    for (const char* name : others) writeFile(name, "keep me");

    Config c;
    ASSERT_TRUE(c.load());
    c.zoom = 4;
    ASSERT_TRUE(c.save());
    EXPECT_FALSE(exists(left[0])) << "the killed save's file is removed";
    EXPECT_FALSE(exists(ancient));
    EXPECT_TRUE(exists(busy)) << "the running instance's file is left alone";
    for (const char* name : others) EXPECT_EQ(readFile(name), "keep me") << name;
    Config d;
    ASSERT_TRUE(d.load());
    EXPECT_EQ(d.zoom, 4);

    // once that instance has ended, its file is left over too
    kill(running, SIGKILL);
    ASSERT_EQ(waitpid(running, &status, 0), running);
    ASSERT_TRUE(d.save());
    EXPECT_FALSE(exists(busy));
    EXPECT_EQ(tempFiles().size(), 3u);
}

// ---------------------------------------------------------------------------
// A file far too large to be a settings file

TEST_F(ConfigTest, AHugeFileIsReadOnlyUpToItsBoundAndLogsLittle) {
    // 4 MB of known keys, then a line that lies beyond the bound
    std::string text;
    while (text.size() < 4u * 1024 * 1024) text += "zoom=2\nmusicVolume=55\nplayer1ControlA=161:\n";
    text += "sfxVolume=10\n";
    writeFile(CFG, text);
    Config c;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(c.load());
    std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_EQ(c.zoom, 2);
    EXPECT_EQ(c.musicVolume, 55);
    EXPECT_EQ(c.controls[0][4].code, 161u);
    EXPECT_EQ(c.sfxVolume, 100) << "lines beyond the bound are not read";
    EXPECT_LE(countOccurrences(shown, "\n"), 2 * 55 + 2);
    EXPECT_EQ(countOccurrences(errorLog(), "Config::load() 'Ember Spire.cfg' is larger than 524288 bytes"), 1);

    // the line the bound cuts through is not applied in part ("zoom=1" of "zoom=12");
    // one that ends just inside is
    const struct {
        size_t before;  // bytes in front of "zoom=12\n"
        int zoom;
    } edges[] = {{524288 - 6, -1}, {524288 - 8, 12}};
    for (const auto& k : edges) {
        std::string edge(k.before, '#');
        edge.back() = '\n';
        edge += "zoom=12\nsfxVolume=10\n";
        writeFile(CFG, edge);
        Config e;
        ASSERT_TRUE(e.load());
        EXPECT_EQ(e.zoom, k.zoom) << k.before;
        EXPECT_EQ(e.sfxVolume, 100);
    }
}

}  // namespace
