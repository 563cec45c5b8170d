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

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/util.h"
#include "config/config.h"

using vek::Config;
using vek::structConfigControl;
using vek::structConfigOption;
using vek::Util;

namespace {

const char* CFG = "Ember Spire.cfg";
const int NO_POSITION = 2147483647;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

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
    char oldCwd[4096];
    std::string dir;

    void SetUp() override {
        ASSERT_NE(getcwd(oldCwd, sizeof(oldCwd)), nullptr);
        char tmpl[] = "/tmp/vek_config_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        Util::generateFileNames("test");
    }

    void TearDown() override {
        ASSERT_EQ(chdir(oldCwd), 0);
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
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

TEST(ConfigParseLine, SplitsAtTheFirstEqualsAndTrimsBothSides) {
    Config c;
    ASSERT_TRUE(c.parseLine(" zoom = 2\r\n"));
    EXPECT_STREQ(c.parseKey, "zoom");
    EXPECT_STREQ(c.parseValue, "2");

    ASSERT_TRUE(c.parseLine("\tmusicVolume\t=\t  70 \t\n"));
    EXPECT_STREQ(c.parseKey, "musicVolume");
    EXPECT_STREQ(c.parseValue, "70");

    // spaces inside the value stay
    ASSERT_TRUE(c.parseLine("player2ControlA=1052675:0A02-My Pad #2\n"));
    EXPECT_STREQ(c.parseKey, "player2ControlA");
    EXPECT_STREQ(c.parseValue, "1052675:0A02-My Pad #2");
}

TEST(ConfigParseLine, WithSeveralEqualsTheValueIsTheTextAfterTheLast) {
    Config c;
    ASSERT_TRUE(c.parseLine("key=first=second\n"));
    EXPECT_STREQ(c.parseKey, "key");
    EXPECT_STREQ(c.parseValue, "second");

    // a shorter last piece leaves nothing of the longer one before it
    ASSERT_TRUE(c.parseLine("zoom=123456=7"));
    EXPECT_STREQ(c.parseKey, "zoom");
    EXPECT_STREQ(c.parseValue, "7");

    ASSERT_TRUE(c.parseLine("zoom=3="));
    EXPECT_STREQ(c.parseValue, "");
}

TEST(ConfigParseLine, LinesThatAreNoOptionLines) {
    Config c;
    EXPECT_FALSE(c.parseLine("=5\n"));
    EXPECT_FALSE(c.parseLine("   =5\n"));
    EXPECT_FALSE(c.parseLine("     \n"));
    EXPECT_FALSE(c.parseLine("\n"));
    EXPECT_FALSE(c.parseLine(""));
    EXPECT_FALSE(c.parseLine("# a comment without equals\n"));
    EXPECT_FALSE(c.parseLine("zoom 2\n"));
    // a comment holding '=' is an option line whose key starts with '#'
    ASSERT_TRUE(c.parseLine("#zoom=3\n"));
    EXPECT_STREQ(c.parseKey, "#zoom");
    // an empty value is still an option line
    ASSERT_TRUE(c.parseLine("zoom=\n"));
    EXPECT_STREQ(c.parseKey, "zoom");
    EXPECT_STREQ(c.parseValue, "");
}

TEST(ConfigParseLine, OverlongKeysAndValuesAreCutToTheirBuffers) {
    Config c;
    std::string key(300, 'k');
    std::string value(700, 'v');
    ASSERT_TRUE(c.parseLine((key + "=" + value + "\n").c_str()));
    EXPECT_EQ(std::string(c.parseKey), std::string(255, 'k'));
    // a value has room for a control code, its colon and a whole device text
    EXPECT_EQ(std::string(c.parseValue), std::string(sizeof(c.parseValue) - 1, 'v'));
    EXPECT_EQ(sizeof(c.parseValue), 11 + sizeof(structConfigControl::uid));
}

// ---------------------------------------------------------------------------
// Defaults

TEST_F(ConfigTest, DefaultsWhenThereIsNoFile) {
    Config c;
    EXPECT_FALSE(c.load());
    EXPECT_EQ(c.numOptions, 0);  // nothing loaded: the caller fills in the defaults
    EXPECT_FALSE(exists(CFG));
    c.loadDefaultValues();
    EXPECT_EQ(c.numOptions, 55);

    EXPECT_EQ(c.windowViewportX, NO_POSITION);
    EXPECT_EQ(c.windowViewportY, NO_POSITION);
    EXPECT_EQ(c.windowViewportW, 768);
    EXPECT_EQ(c.windowViewportH, 720);
    EXPECT_EQ(c.fullscreen, 0);
    EXPECT_EQ(c.fullscreenViewportX, NO_POSITION);
    EXPECT_EQ(c.fullscreenViewportW, 768);
    EXPECT_EQ(c.borderColor, 0x111111u);
    EXPECT_EQ(c.vsync, 2);
    EXPECT_EQ(c.hardwareAcceleration, 2);
    EXPECT_EQ(c.renderMethod, 1);
    EXPECT_EQ(c.swapMethod, 1);
    EXPECT_EQ(c.zoom, -1);
    EXPECT_EQ(c.skipControllerConfig, 0);
    EXPECT_EQ(c.musicVolume, 100);
    EXPECT_EQ(c.sfxVolume, 100);
    EXPECT_DOUBLE_EQ(c.joystickAxisThreshold, 0.11);

    // player 1 on the arrow keys, A on A, B on D, Start on W, Select on S
    const unsigned player1[8] = {82 * 16 + 1, 83 * 16 + 1, 84 * 16 + 1, 85 * 16 + 1,
                                 1 * 16 + 1,  4 * 16 + 1,  23 * 16 + 1, 19 * 16 + 1};
    for (int p = 0; p < 4; p++) {
        for (int b = 0; b < 8; b++) {
            const structConfigControl& k = c.controls[p][b];
            EXPECT_EQ(k.player, p);
            EXPECT_EQ(k.button, b);
            EXPECT_EQ(k.code, p == 0 ? player1[b] : 0u) << p << " " << b;
            EXPECT_STREQ(k.uid, "");
            EXPECT_FALSE(k.conflict);
            EXPECT_EQ(k.joystick, nullptr);
        }
    }
    // filling it a second time starts over instead of running past the registry
    c.loadDefaultValues();
    EXPECT_EQ(c.numOptions, 55);
    EXPECT_NE(c.getOption("player4ControlSelect"), nullptr);
}

TEST_F(ConfigTest, EveryKeyReachesItsOwnMember) {
    // distinct in-range values for every number, so a key bound to the wrong member shows
    Config c;
    loadFrom(&c,
             "windowViewportX=11\nwindowViewportY=12\nwindowViewportW=13\nwindowViewportH=14\n"
             "fullscreen=1\nfullscreenViewportX=16\nfullscreenViewportY=17\n"
             "fullscreenViewportW=18\nfullscreenViewportH=19\nfullscreenW=20\nfullscreenH=21\n"
             "borderColor=abcdef\noverscanTop=3\noverscanBottom=4\nvsync=1\n"
             "hardwareAcceleration=0\nrenderMethod=0\nswapMethod=2\nzoom=5\n"
             "skipControllerConfig=1\nmusicVolume=31\nsfxVolume=32\n"
             "joystickAxisThreshold=0.33\n");
    EXPECT_EQ(c.windowViewportX, 11);
    EXPECT_EQ(c.windowViewportY, 12);
    EXPECT_EQ(c.windowViewportW, 13);
    EXPECT_EQ(c.windowViewportH, 14);
    EXPECT_EQ(c.fullscreen, 1);
    EXPECT_EQ(c.fullscreenViewportX, 16);
    EXPECT_EQ(c.fullscreenViewportY, 17);
    EXPECT_EQ(c.fullscreenViewportW, 18);
    EXPECT_EQ(c.fullscreenViewportH, 19);
    EXPECT_EQ(c.fullscreenW, 20);
    EXPECT_EQ(c.fullscreenH, 21);
    EXPECT_EQ(c.borderColor, 0xabcdefu);
    EXPECT_EQ(c.overscanTop, 3);
    EXPECT_EQ(c.overscanBottom, 4);
    EXPECT_EQ(c.vsync, 1);
    EXPECT_EQ(c.hardwareAcceleration, 0);
    EXPECT_EQ(c.renderMethod, 0);
    EXPECT_EQ(c.swapMethod, 2);
    EXPECT_EQ(c.zoom, 5);
    EXPECT_EQ(c.skipControllerConfig, 1);
    EXPECT_EQ(c.musicVolume, 31);
    EXPECT_EQ(c.sfxVolume, 32);
    EXPECT_DOUBLE_EQ(c.joystickAxisThreshold, 0.33);

    // and every binding key to its own player and button
    std::string text;
    for (int p = 0; p < 4; p++) {
        const char* names[8] = {"Left", "Right", "Up", "Down", "A", "B", "Start", "Select"};
        for (int b = 0; b < 8; b++)
            text += "player" + std::to_string(p + 1) + "Control" + names[b] + "=" +
                    std::to_string(1000 + p * 8 + b) + ":\n";
    }
    Config d;
    loadFrom(&d, text);
    for (int p = 0; p < 4; p++)
        for (int b = 0; b < 8; b++) EXPECT_EQ(d.controls[p][b].code, 1000u + p * 8 + b);
}

// ---------------------------------------------------------------------------
// Loading

TEST_F(ConfigTest, OneLineOverridesOnlyItsOption) {
    Config c;
    loadFrom(&c, "zoom = 2\r\n");
    EXPECT_EQ(c.zoom, 2);
    EXPECT_EQ(c.musicVolume, 100);
    EXPECT_EQ(c.windowViewportW, 768);
    EXPECT_EQ(c.controls[0][0].code, 1313u);
    EXPECT_EQ(c.controls[0][7].code, 305u);
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(ConfigTest, ADuplicateKeyIsAppliedTwiceAndTheLaterWins) {
    Config c;
    loadFrom(&c, "musicVolume=30\nsfxVolume=40\nmusicVolume=60\n");
    EXPECT_EQ(c.musicVolume, 60);
    EXPECT_EQ(c.sfxVolume, 40);
}

TEST_F(ConfigTest, CommentsUnknownAndMisspelledKeysChangeNothing) {
    Config c;
    loadFrom(&c,
             "# zoom=3\n"
             "#zoom=4\n"
             "=5\n"
             "    \n"
             "Zoom=6\n"
             "zoom2=7\n"
             "unknownKey=8\n"
             "just some words\n"
             "\n");
    EXPECT_EQ(c.zoom, -1);
}

TEST_F(ConfigTest, ValuesThatDoNotConvert) {
    Config c;
    loadFrom(&c,
             "skipControllerConfig=\n"    // empty: 0
             "musicVolume=abc\n"          // no digits: 0
             "sfxVolume=55 percent\n"     // trailing text ignored
             "player1ControlLeft=\n");    // empty binding: unbound
    EXPECT_EQ(c.skipControllerConfig, 0);
    EXPECT_EQ(c.musicVolume, 0);
    EXPECT_EQ(c.sfxVolume, 55);
    EXPECT_EQ(c.controls[0][0].code, 0u);
    EXPECT_STREQ(c.controls[0][0].uid, "");
}

TEST_F(ConfigTest, ColoursWithAndWithoutPrefix) {
    Config a;
    loadFrom(&a, "borderColor=ff0000\n");
    EXPECT_EQ(a.borderColor, 0xff0000u);
    Config b;
    loadFrom(&b, "borderColor=0xff0000\n");
    EXPECT_EQ(b.borderColor, 0xff0000u);
    Config c;
    loadFrom(&c, "borderColor=00FF7f\n");
    EXPECT_EQ(c.borderColor, 0x00ff7fu);

    // saved as six lower-case digits without a prefix
    ASSERT_TRUE(b.save());
    std::string saved = readFile(CFG);
    EXPECT_NE(saved.find("\nborderColor=ff0000\n"), std::string::npos);
    ASSERT_TRUE(c.save());
    EXPECT_NE(readFile(CFG).find("\nborderColor=00ff7f\n"), std::string::npos);
}

TEST_F(ConfigTest, AxisThresholds) {
    Config a;
    loadFrom(&a, "joystickAxisThreshold=0.25\n");
    EXPECT_DOUBLE_EQ(a.joystickAxisThreshold, 0.25);

    for (const char* bad : {"0", "-0.5", "0.0", "nothing"}) {
        Config c;
        loadFrom(&c, std::string("joystickAxisThreshold=") + bad + "\n");
        EXPECT_DOUBLE_EQ(c.joystickAxisThreshold, 0.001) << bad;
        ASSERT_TRUE(c.save());
        EXPECT_NE(readFile(CFG).find("\njoystickAxisThreshold=0.001\n"), std::string::npos);
    }
}

TEST_F(ConfigTest, BindingsWithAndWithoutDeviceText) {
    Config c;
    loadFrom(&c,
             "player1ControlA=17\n"
             "player1ControlB=65:\n"
             "player2ControlLeft=1052675:0A0220000000-Game Pad: Left\n"
             "player3ControlStart=34: \n");
    // no colon: a keyboard binding, the device text emptied
    EXPECT_EQ(c.controls[0][4].code, 17u);
    EXPECT_STREQ(c.controls[0][4].uid, "");
    EXPECT_EQ(c.controls[0][5].code, 65u);
    EXPECT_STREQ(c.controls[0][5].uid, "");
    // the device text is everything after the first colon, colons included
    EXPECT_EQ(c.controls[1][0].code, 1052675u);
    EXPECT_STREQ(c.controls[1][0].uid, "0A0220000000-Game Pad: Left");
    // the line's trailing space is trimmed before the value is split
    EXPECT_EQ(c.controls[2][6].code, 34u);
    EXPECT_STREQ(c.controls[2][6].uid, "");
    // player and button come from the key's position, not from the file
    EXPECT_EQ(c.controls[1][0].player, 1);
    EXPECT_EQ(c.controls[1][0].button, 0);
    EXPECT_EQ(c.controls[2][6].player, 2);
    EXPECT_EQ(c.controls[2][6].button, 6);

    ASSERT_TRUE(c.save());
    std::string saved = readFile(CFG);
    EXPECT_NE(saved.find("\nplayer1ControlA=17:\n"), std::string::npos);
    EXPECT_NE(saved.find("\nplayer2ControlLeft=1052675:0A0220000000-Game Pad: Left\n"),
              std::string::npos);
}

TEST_F(ConfigTest, LoadingDoesNotWriteTheFile) {
    writeFile(CFG, "zoom=3\n# my own note\n");
    Config c;
    ASSERT_TRUE(c.load());
    EXPECT_EQ(readFile(CFG), "zoom=3\n# my own note\n");
    EXPECT_FALSE(c.isSaveQueued());
}

// ---------------------------------------------------------------------------
// Saving

TEST_F(ConfigTest, DefaultFileIsByteExact) {
    Config c;
    c.loadDefaultValues();
    ASSERT_TRUE(c.save());
    std::string expected = readFile(VEK_TEST_DATA_DIR "/default.cfg");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(readFile(CFG), expected);
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(ConfigTest, SavingIsStableAndDropsHandWrittenText) {
    std::string expected = readFile(VEK_TEST_DATA_DIR "/default.cfg");
    writeFile(CFG, "# my own comment\nmyOwnKey=1\n" + expected + "\n# trailing note\n");
    Config c;
    ASSERT_TRUE(c.load());
    ASSERT_TRUE(c.save());
    std::string first = readFile(CFG);
    EXPECT_EQ(first, expected);
    ASSERT_TRUE(c.save());
    EXPECT_EQ(readFile(CFG), first);
}

TEST_F(ConfigTest, RoundTripOfChangedValues) {
    Config c;
    c.loadDefaultValues();
    c.windowViewportX = -300;
    c.windowViewportY = 40;
    c.fullscreen = 1;
    c.fullscreenViewportW = 1920;
    c.fullscreenViewportH = 1080;
    c.borderColor = 0x0a0b0c;
    c.overscanTop = 8;
    c.overscanBottom = 8;
    c.zoom = 3;
    c.musicVolume = 40;
    c.joystickAxisThreshold = 0.3;
    c.controls[1][4].code = 2 * 16 + 2;
    Util::strncpy0(c.controls[1][4].uid, "0C0121000000-Pad", sizeof(c.controls[1][4].uid));
    c.controls[0][2].code = 0;
    ASSERT_TRUE(c.save());
    std::string saved = readFile(CFG);
    EXPECT_NE(saved.find("\nborderColor=0a0b0c\n"), std::string::npos);
    EXPECT_NE(saved.find("\njoystickAxisThreshold=0.3\n"), std::string::npos);
    EXPECT_NE(saved.find("\nplayer1ControlUp=0:\n"), std::string::npos);

    Config d;
    ASSERT_TRUE(d.load());
    EXPECT_EQ(d.windowViewportX, -300);
    EXPECT_EQ(d.windowViewportY, 40);
    EXPECT_EQ(d.fullscreen, 1);
    EXPECT_EQ(d.fullscreenViewportW, 1920);
    EXPECT_EQ(d.fullscreenViewportH, 1080);
    EXPECT_EQ(d.borderColor, 0x0a0b0cu);
    EXPECT_EQ(d.overscanTop, 8);
    EXPECT_EQ(d.overscanBottom, 8);
    EXPECT_EQ(d.zoom, 3);
    EXPECT_EQ(d.musicVolume, 40);
    EXPECT_DOUBLE_EQ(d.joystickAxisThreshold, 0.3);
    EXPECT_EQ(d.controls[1][4].code, 34u);
    EXPECT_STREQ(d.controls[1][4].uid, "0C0121000000-Pad");
    EXPECT_EQ(d.controls[0][2].code, 0u);
    ASSERT_TRUE(d.save());
    EXPECT_EQ(readFile(CFG), saved);
}

TEST_F(ConfigTest, CommentLinesFollowTheLineFeeds) {
    // a registry of our own, to see the comment rule on comments the table does not have
    Config c;
    int a = 1, b = 2, e = 3;
    c.registerOptionInt("a", &a, 1, "first\n\nsecond\n");
    c.registerOptionInt("b", &b, 2, "\n");
    c.registerOptionInt("e", &e, 3, "\n\nlast");
    c.registerOption("f", vek::OPTION_DOUBLE, &c.joystickAxisThreshold, "2.5", "");
    ASSERT_TRUE(c.save());
    EXPECT_EQ(readFile(CFG),
              "# first\n"
              "\n"
              "# second\n"
              "a=1\n"
              "\n"
              "b=2\n"
              "\n"
              "\n"
              "# last\n"
              "e=3\n"
              "f=2.5\n");
}

TEST_F(ConfigTest, QueuedSaveIsWrittenOnceByUpdate) {
    Config c;
    c.loadDefaultValues();
    c.update();
    EXPECT_FALSE(exists(CFG));  // nothing queued, nothing written

    c.zoom = 2;
    c.queueSave();
    c.musicVolume = 50;
    c.queueSave();
    EXPECT_TRUE(c.isSaveQueued());
    EXPECT_FALSE(exists(CFG));  // queueing alone writes nothing
    c.update();
    EXPECT_FALSE(c.isSaveQueued());
    std::string saved = readFile(CFG);
    EXPECT_NE(saved.find("\nzoom=2\n"), std::string::npos);
    EXPECT_NE(saved.find("\nmusicVolume=50\n"), std::string::npos);

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
    c.windowViewportX = 10;
    c.windowViewportY = 20;
    c.windowViewportW = 30;
    c.windowViewportH = 40;
    c.fullscreenViewportX = 1;
    c.fullscreenViewportY = 2;
    c.fullscreenViewportW = 3;
    c.fullscreenViewportH = 4;

    c.fullscreen = 0;
    EXPECT_EQ(c.getViewportX(), 10);
    EXPECT_EQ(c.getViewportY(), 20);
    EXPECT_EQ(c.getViewportW(), 30);
    EXPECT_EQ(c.getViewportH(), 40);
    c.setViewportX(100);
    c.setViewportY(200);
    c.setViewportW(300);
    c.setViewportH(400);
    EXPECT_EQ(c.windowViewportX, 100);
    EXPECT_EQ(c.windowViewportY, 200);
    EXPECT_EQ(c.windowViewportW, 300);
    EXPECT_EQ(c.windowViewportH, 400);
    EXPECT_EQ(c.fullscreenViewportX, 1);
    EXPECT_EQ(c.fullscreenViewportH, 4);

    // any non-zero value selects the full-screen set
    for (int mode : {1, 7, -1}) {
        c.fullscreen = mode;
        EXPECT_EQ(c.getViewportX(), 1);
        EXPECT_EQ(c.getViewportY(), 2);
        EXPECT_EQ(c.getViewportW(), 3);
        EXPECT_EQ(c.getViewportH(), 4);
    }
    c.setViewportX(5);
    c.setViewportY(6);
    c.setViewportW(7);
    c.setViewportH(8);
    EXPECT_EQ(c.fullscreenViewportX, 5);
    EXPECT_EQ(c.fullscreenViewportY, 6);
    EXPECT_EQ(c.fullscreenViewportW, 7);
    EXPECT_EQ(c.fullscreenViewportH, 8);
    EXPECT_EQ(c.windowViewportX, 100);
    EXPECT_EQ(c.windowViewportH, 400);
    // the setters leave saving to their callers
    EXPECT_FALSE(c.isSaveQueued());
}

// ---------------------------------------------------------------------------
// Malformed and hostile files

TEST_F(ConfigTest, NumbersBeyondTheirRangeAreBroughtBackAndSavedThatWay) {
    Config c;
    loadFrom(&c,
             "windowViewportX=-99999999999999\n"
             "windowViewportY=99999\n"
             "fullscreenViewportX=-1500\n"
             "windowViewportW=99999999999999999999\n"
             "windowViewportH=0\n"
             "fullscreenViewportW=-768\n"
             "fullscreenViewportH=100000\n"
             "fullscreen=-2147483648\n"
             "overscanTop=200\n"
             "overscanBottom=-3\n"
             "vsync=7\n"
             "hardwareAcceleration=-1\n"
             "renderMethod=2\n"
             "swapMethod=3\n"
             "zoom=-7\n"
             "musicVolume=99999999999\n"
             "sfxVolume=-5\n"
             "borderColor=fffffffffff\n"
             "player1ControlA=-1\n"
             "player1ControlB=99999999999999:pad\n");
    EXPECT_EQ(c.windowViewportX, NO_POSITION);
    EXPECT_EQ(c.windowViewportY, NO_POSITION);
    EXPECT_EQ(c.fullscreenViewportX, -1500);  // a monitor left of the main one
    EXPECT_EQ(c.windowViewportW, 768);
    EXPECT_EQ(c.windowViewportH, 720);
    EXPECT_EQ(c.fullscreenViewportW, 768);
    EXPECT_EQ(c.fullscreenViewportH, 720);
    EXPECT_EQ(c.fullscreen, 1);
    EXPECT_EQ(c.overscanTop, 64);
    EXPECT_EQ(c.overscanBottom, 0);
    EXPECT_EQ(c.vsync, 2);
    EXPECT_EQ(c.hardwareAcceleration, 2);
    EXPECT_EQ(c.renderMethod, 1);
    EXPECT_EQ(c.swapMethod, 1);
    EXPECT_EQ(c.zoom, -1);
    EXPECT_EQ(c.musicVolume, 100);
    EXPECT_EQ(c.sfxVolume, 0);
    EXPECT_EQ(c.borderColor, 0xffffffu);
    EXPECT_EQ(c.controls[0][4].code, 0u);
    EXPECT_EQ(c.controls[0][5].code, 0u);

    ASSERT_TRUE(c.save());
    std::string saved = readFile(CFG);
    for (const char* line :
         {"\nwindowViewportX=2147483647\n", "\nwindowViewportW=768\n", "\nfullscreen=1\n",
          "\noverscanTop=64\n", "\noverscanBottom=0\n", "\nzoom=-1\n", "\nmusicVolume=100\n",
          "\nsfxVolume=0\n", "\nborderColor=ffffff\n", "\nplayer1ControlA=0:\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line;

    Config d;
    loadFrom(&d, "zoom=1000\nvsync=0\njoystickAxisThreshold=5\nwindowViewportX=2147483647\n");
    EXPECT_EQ(d.zoom, 16);
    EXPECT_EQ(d.vsync, 0);
    EXPECT_DOUBLE_EQ(d.joystickAxisThreshold, 1.0);
    EXPECT_EQ(d.windowViewportX, NO_POSITION);
}

TEST_F(ConfigTest, OverscanAlwaysLeavesAPicture) {
    Config c;
    loadFrom(&c, "overscanTop=240\noverscanBottom=240\n");
    EXPECT_GT(240 - c.overscanTop - c.overscanBottom, 0);
    EXPECT_GE(c.overscanTop, 0);
    EXPECT_GE(c.overscanBottom, 0);
    Config d;
    loadFrom(&d, "overscanTop=8\noverscanBottom=8\n");  // the usual television cut stays
    EXPECT_EQ(d.overscanTop, 8);
    EXPECT_EQ(d.overscanBottom, 8);
}

TEST_F(ConfigTest, ThresholdsThatAreNotNumbers) {
    Config a;
    loadFrom(&a, "joystickAxisThreshold=nan\n");
    EXPECT_DOUBLE_EQ(a.joystickAxisThreshold, 0.11);
    Config b;
    loadFrom(&b, "joystickAxisThreshold=inf\n");
    EXPECT_DOUBLE_EQ(b.joystickAxisThreshold, 1.0);
    Config c;
    loadFrom(&c, "joystickAxisThreshold=-inf\n");
    EXPECT_DOUBLE_EQ(c.joystickAxisThreshold, 0.001);
}

TEST_F(ConfigTest, NulBytesCrLfAndAMissingFinalLineFeed) {
    Config c;
    std::string text = "zoom=3\r\n";
    text += std::string("musicVolume=40\0sfxVolume=10\n", 28);
    text += std::string("\0player1ControlA=33:\n", 21);
    text += "borderColor=00ff00\r\n";
    text += "sfxVolume=70";  // no line feed at the end of the file
    loadFrom(&c, text);
    EXPECT_EQ(c.zoom, 3);
    EXPECT_EQ(c.musicVolume, 40);   // the text after a NUL byte is not read
    EXPECT_EQ(c.controls[0][4].code, 17u);
    EXPECT_EQ(c.borderColor, 0x00ff00u);
    EXPECT_EQ(c.sfxVolume, 70);

    // the whole default file with CR LF line ends reads as the defaults
    std::string crlf;
    for (char ch : readFile(VEK_TEST_DATA_DIR "/default.cfg")) {
        if (ch == '\n') crlf += '\r';
        crlf += ch;
    }
    Config d;
    loadFrom(&d, crlf);
    EXPECT_STREQ(d.controls[0][0].uid, "");
    ASSERT_TRUE(d.save());
    EXPECT_EQ(readFile(CFG), readFile(VEK_TEST_DATA_DIR "/default.cfg"));
}

TEST_F(ConfigTest, VeryLongLines) {
    Config c;
    std::string text;
    text += std::string(100000, 'x') + "=1\n";                // a key far beyond any buffer
    text += "musicVolume=" + std::string(100000, '7') + "\n";  // a value far beyond any buffer
    text += "player2ControlA=34:" + std::string(5000, 'u') + "\n";
    text += "zoom=2\n";
    loadFrom(&c, text);
    EXPECT_EQ(c.zoom, 2);  // lines after the long ones are still read
    EXPECT_EQ(c.musicVolume, 100);
    EXPECT_EQ(c.controls[1][4].code, 34u);
    EXPECT_LT(strlen(c.controls[1][4].uid), sizeof(c.controls[1][4].uid));
    ASSERT_TRUE(c.save());
    Config d;
    ASSERT_TRUE(d.load());
    EXPECT_STREQ(d.controls[1][4].uid, c.controls[1][4].uid);
}

// The next load must read what a save wrote of what was loaded before: device texts are cut
// at load to what the binding holds (511 characters), which a save writes whole behind any
// code, and a threshold gets the digits it needs (six or fewer stay as typed).
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
    };
    for (const auto& b : bindings) {
        Config c;
        loadFrom(&c, "player3ControlB=" + b.value + "\n");
        EXPECT_EQ(c.controls[2][5].code, b.code) << b.value.substr(0, 12);
        EXPECT_EQ(strlen(c.controls[2][5].uid), b.uidLength) << b.value.substr(0, 12);
        ASSERT_TRUE(c.save());
        Config d;
        ASSERT_TRUE(d.load());
        EXPECT_EQ(d.controls[2][5].code, b.code);
        EXPECT_STREQ(d.controls[2][5].uid, c.controls[2][5].uid) << b.value.substr(0, 12);
    }

    const struct {
        const char* typed;
        const char* saved;
    } thresholds[] = {
        {"0.11", "0.11"},           {"0.25", "0.25"},      {"0.123456", "0.123456"},
        {"1.5e-3", "0.0015"},       {"0.1234567", "0.1234567"},
        {"0.30000000000000004", "0.30000000000000004"},    {"0.99999999", "0.99999999"},
    };
    for (const auto& t : thresholds) {
        Config c;
        loadFrom(&c, std::string("joystickAxisThreshold=") + t.typed + "\n");
        ASSERT_TRUE(c.save());
        EXPECT_NE(readFile(CFG).find(std::string("\njoystickAxisThreshold=") + t.saved + "\n"), std::string::npos)
            << t.typed;
        Config d;
        ASSERT_TRUE(d.load());
        EXPECT_EQ(d.joystickAxisThreshold, c.joystickAxisThreshold) << t.typed;
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
                std::string uid;
                for (size_t i = 0; i < uidLength; i++)
                    uid += i < 13 ? "0C0322221200-"[i] : (high ? (char)(0x80 + i % 128) : (char)('a' + i % 26));
                const std::string line = "player4ControlSelect=" + codeText + uid + "\n";
                Config c;
                loadFrom(&c, line);
                EXPECT_EQ(c.controls[3][7].code, code);
                EXPECT_EQ(std::string(c.controls[3][7].uid), uid) << codeText << uidLength;
                ASSERT_TRUE(c.save());
                EXPECT_NE(readFile(CFG).find("\n" + line), std::string::npos) << codeText << uidLength;
            }
        }
    }
}

TEST_F(ConfigTest, EmptyFileAndADirectoryInPlaceOfTheFile) {
    Config a;
    loadFrom(&a, "");
    EXPECT_EQ(a.numOptions, 55);
    EXPECT_EQ(a.zoom, -1);

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

        EXPECT_EQ(runAsNobody(dir, playOneRun), 0);

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

    // a file that is simply not there is created by the first save, readable by its owner
    EXPECT_EQ(runAsNobody(dir, playOneRun), 0);
    Config c;
    ASSERT_TRUE(c.load());
    EXPECT_EQ(c.zoom, 3);
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
    std::string sub = dir + "/gone";
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
    ASSERT_EQ(chdir(dir.c_str()), 0);
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
        std::string link = k.link[0] ? k.link : dir + "/" + k.file;
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
