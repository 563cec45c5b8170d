#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/util.h"
#include "gui/font.h"
#include "gui_test_support.h"

using vek::Font;
using vek::Util;
using guitest::rgb;

namespace {

// The glyph art as written in gui/font/glyphs.txt: character -> seven rows of '#' and '.'.
std::map<int, std::vector<std::string>> readGlyphArt() {
    std::map<int, std::vector<std::string>> art;
    std::ifstream in(guitest::sourceDir() + "/gui/font/glyphs.txt");
    std::string s;
    int cur = -1;
    while (std::getline(in, s)) {
        if (s.empty() || s[0] == ';') continue;
        if (cur < 0 || art[cur].size() == 7) {
            cur = s == "[DEL]" ? 127 : (unsigned char)s[1];
            continue;
        }
        art[cur].push_back(s);
    }
    return art;
}

class FontTest : public ::testing::Test {
protected:
    Font font;
    void SetUp() override {
        guitest::initAllegro();
        ASSERT_TRUE(font.load("font.png"));
    }
    int width(const char* text) {
        int w = -1;
        font.getTextSize(text, &w, nullptr);
        return w;
    }
    int height(const char* text) {
        int h = -1;
        font.getTextSize(text, nullptr, &h);
        return h;
    }
};

}  // namespace

TEST(StaticBitmap, DecodesSizeBigEndianAndKeyColour) {
    guitest::initAllegro();
    // 258 x 2: the width needs both header bytes; key colour (0, 0, 0)
    const int w = 258, h = 2;
    std::vector<unsigned char> data = {1, 2, 0, 2, 0, 0, 0};
    for (int i = 0; i < w * h; i++) {
        data.push_back((unsigned char)i);  // red counts up, so (0,0,0) appears at 0, 256 and 512
        data.push_back(0);
        data.push_back(i == 1 || i == 256 ? 1 : 0);
    }
    ALLEGRO_BITMAP* before = guitest::makeCanvas(4, 4, al_map_rgb(0, 0, 0));
    al_set_target_bitmap(before);

    ALLEGRO_BITMAP* bmp = Util::loadStaticBitmap(data.data());
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(al_get_target_bitmap(), before) << "the previous target comes back";
    EXPECT_EQ(al_get_bitmap_width(bmp), 258);
    EXPECT_EQ(al_get_bitmap_height(bmp), 2);

    guitest::Pixels p = guitest::readPixels(bmp);
    EXPECT_EQ(p.at(0, 0) >> 24, 0u) << "the key colour is transparent";
    EXPECT_EQ(p.at(1, 0), rgb(1, 0, 1));
    EXPECT_EQ(p.at(200, 0), rgb(200, 0, 0));
    EXPECT_EQ(p.at(0, 1), rgb(2, 0, 0)) << "pixel 258 starts the second row";
    EXPECT_EQ(p.at(256, 0), rgb(0, 0, 1)) << "a colour next to the key stays opaque";
    EXPECT_EQ(p.at(254, 1) >> 24, 0u) << "pixel 512 is the key again";
    al_destroy_bitmap(bmp);
    al_destroy_bitmap(before);
}

TEST_F(FontTest, GlyphsAreTheArtOfGlyphsTxtPlusOneColumnOfSpacing) {
    EXPECT_EQ(font.getH(), 7);
    EXPECT_EQ(font.lineH, 8);
    std::map<int, std::vector<std::string>> art = readGlyphArt();
    ASSERT_EQ(art.size(), 96u);
    for (int c = 32; c < 128; c++) {
        SCOPED_TRACE(c);
        ALLEGRO_BITMAP* g = font.glyphs[c - 32];
        ASSERT_NE(g, nullptr);
        const std::vector<std::string>& rows = art[c];
        ASSERT_EQ(rows.size(), 7u);
        ASSERT_EQ(al_get_bitmap_width(g), (int)rows[0].size() + 1);
        ASSERT_EQ(al_get_bitmap_height(g), 7);
        guitest::Pixels p = guitest::readPixels(g);
        for (int y = 0; y < 7; y++) {
            for (int x = 0; x < p.w; x++) {
                const bool ink = x < (int)rows[y].size() && rows[y][x] == '#';
                EXPECT_EQ(p.at(x, y), ink ? 0xFFFFFFFFu : 0u) << "at " << x << "," << y;
            }
        }
    }
}

TEST_F(FontTest, MeasuresLinesAndAdvances) {
    const int wA = al_get_bitmap_width(font.glyphs['A' - 32]);
    const int wB = al_get_bitmap_width(font.glyphs['B' - 32]);
    const int space = al_get_bitmap_width(font.glyphs[0]);
    EXPECT_EQ(width("AB"), wA + wB);
    EXPECT_EQ(height("AB"), 7);
    EXPECT_EQ(width(""), 0);
    EXPECT_EQ(height(""), 7);
    font.lineH = 10;
    EXPECT_EQ(height("A\nB"), 17);
    EXPECT_EQ(width("A\n"), wA);
    EXPECT_EQ(height("A\n"), 7 + 10);
    EXPECT_EQ(width("AB\nA"), wA + wB) << "the widest line counts";
    EXPECT_EQ(width("\t \n"), 2 * space) << "space and control characters move by a space";

    // a second load is refused and keeps the glyphs
    ALLEGRO_BITMAP* a = font.glyphs['A' - 32];
    EXPECT_FALSE(font.load("font.png"));
    EXPECT_EQ(font.glyphs['A' - 32], a);
}

TEST_F(FontTest, DrawsAtThePen) {
    ALLEGRO_BITMAP* canvas = guitest::makeCanvas(64, 32, al_map_rgb(0, 0, 0));
    // '|' is a full-height bar in the first column of its glyph; '\t' and ' ' only move
    const char text[] = {'|', '\t', '|', ' ', '|', '\n', '|', 0};
    font.lineH = 9;
    font.drawText(canvas, 3, 4, text);
    EXPECT_EQ(al_get_target_bitmap(), canvas);
    guitest::Pixels p = guitest::readPixels(canvas);
    const int bar = al_get_bitmap_width(font.glyphs['|' - 32]);
    const int space = al_get_bitmap_width(font.glyphs[0]);
    const int xs[] = {3, 3 + bar + space, 3 + 2 * bar + 2 * space};
    for (int x : xs) {
        EXPECT_EQ(p.at(x, 4), 0xFFFFFFFFu) << x;
        EXPECT_EQ(p.at(x, 10), 0xFFFFFFFFu) << x;
        EXPECT_EQ(p.at(x + 1, 4), 0xFF000000u) << x;
    }
    EXPECT_EQ(p.at(3, 3), 0xFF000000u);
    EXPECT_EQ(p.at(3, 11), 0xFF000000u);
    EXPECT_EQ(p.at(3, 4 + 9), 0xFFFFFFFFu) << "second line one lineH lower, back at x";

    al_destroy_bitmap(canvas);
}

// Gamepad names can carry any byte. Those of 128 and above draw the box of character 127,
// between their neighbours, and measure as wide as it.
TEST_F(FontTest, BytesAbove127DrawTheBoxGlyph) {
    ALLEGRO_BITMAP* expected = guitest::makeCanvas(40, 9, al_map_rgb(0, 0, 0));
    font.drawText(expected, 1, 1, "|\x7f|\x7f\x7f|");
    guitest::Pixels want = guitest::readPixels(expected);
    const int box = al_get_bitmap_width(font.glyphs[127 - 32]);
    const unsigned char bytes[][3] = {{128, 129, 130}, {200, 0xC3, 0x84}, {255, 254, 0xE2}};
    for (const auto& b : bytes) {
        SCOPED_TRACE((int)b[0]);
        const char text[] = {'|', (char)b[0], '|', (char)b[1], (char)b[2], '|', 0};
        ALLEGRO_BITMAP* canvas = guitest::makeCanvas(40, 9, al_map_rgb(0, 0, 0));
        font.drawText(canvas, 1, 1, text);
        EXPECT_TRUE(guitest::readPixels(canvas).argb == want.argb);
        EXPECT_EQ(width(text), width("|||") + 3 * box);
        al_destroy_bitmap(canvas);
    }
    al_destroy_bitmap(expected);
}

// Over-long texts (a gamepad's name in a row of the input dialog) are cut to the longest
// beginning that fits with "..." after it; texts that fit stay whole.
TEST_F(FontTest, CutsTextToAWidthWithAMark) {
    const struct {
        const char* text;
        int maxW;
        unsigned size;
    } cases[] = {
        {"Pad", 100, 64},
        {"Logitech Dual Action Wireless Gamepad", 80, 64},
        {"Logitech Dual Action Wireless Gamepad", 81, 64},
        {"Manette \xc3\xa9l\xc3\xa9gante sans fil", 50, 64},
        {"WWWWWWWW", 20, 64},
        {"WWWWWWWW", 3, 64},
        {"WWWWWWWW", 20, 6},  // a small buffer still holds the mark
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.text) + " in " + std::to_string(k.maxW));
        char buf[64];
        Util::strncpy0(buf, k.text, k.size);
        const std::string before = buf;
        font.cutToWidth(buf, k.size, k.maxW);
        const std::string after = buf;
        ASSERT_LT(after.size(), k.size);
        if (width(before.c_str()) <= k.maxW) {
            EXPECT_EQ(after, before);
            continue;
        }
        ASSERT_GE(after.size(), 3u);
        EXPECT_EQ(after.substr(after.size() - 3), "...");
        const std::string kept = after.substr(0, after.size() - 3);
        EXPECT_EQ(before.compare(0, kept.size(), kept), 0);
        if (!kept.empty()) {
            EXPECT_LE(width(after.c_str()), k.maxW);
        }
        // one more character would not have fitted (or not fitted the buffer)
        std::string longer = before.substr(0, kept.size() + 1) + "...";
        EXPECT_TRUE(width(longer.c_str()) > k.maxW || longer.size() >= k.size);
    }
}

TEST_F(FontTest, UnloadedFontMeasuresAndDrawsNothing) {
    Font unloaded;
    int w = -1, h = -1;
    unloaded.getTextSize("AB", &w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    ALLEGRO_BITMAP* canvas = guitest::makeCanvas(16, 16, al_map_rgb(0, 0, 0));
    unloaded.drawText(canvas, 0, 0, "||||");
    for (uint32_t v : guitest::readPixels(canvas).argb) EXPECT_EQ(v, 0xFF000000u);
    al_destroy_bitmap(canvas);
}

// Every character, and the dialogs' longest lines, at 1x on the menus' grey: the picture to
// look at when the glyph art changes.
TEST_F(FontTest, SpecimenMatchesReference) {
    ALLEGRO_BITMAP* canvas = guitest::makeCanvas(256, 100, al_map_rgb(72, 72, 72));
    std::string all;
    for (int c = 32; c < 128; c++) {
        all += (char)c;
        if (c % 32 == 31) all += '\n';
    }
    font.lineH = 10;
    font.drawText(canvas, 4, 4, all.c_str());
    font.drawText(canvas, 4, 40,
                  "The quick brown fox jumps over the lazy dog.\n"
                  "Would you like to configure\n"
                  "no effect. In this case, you will\n"
                  "Integral; Square&Clean Pixels  V1.0.1  100%");
    font.setColor(al_map_rgb(140, 190, 255));
    font.drawText(canvas, 4, 84, "Player 1      Player 2  0O 1lI| Key 82");
    font.resetColor();
    guitest::expectMatchesReference(canvas, "font_specimen");
    al_destroy_bitmap(canvas);
}

// The dialogs place their text at fixed pitches and columns; the glyph widths have to leave
// every line inside its box and clear of the columns that follow it.
TEST_F(FontTest, TextsFitTheDialogLayouts) {
    font.lineH = 9;
    struct Message {
        int w, h;
        const char* text;
    };
    const char* notice =
        "If you notice any problems,\nyou may have to restart the\ngame for the new setting to\n"
        "take effect gracefully.";
    const std::string screenMode = std::string("Switched to Windowed mode.\n\n") + notice;
    const std::string fullscreen = std::string("Switched to Fullscreen mode.\n\n") + notice;
    const std::string vsyncOn = std::string("Vsync enabled!\n\n") + notice +
                                "\n\nNote that this setting may have\nno effect. In this case, you will\n"
                                "have to enable VSYNC manually\nin your graphics card's control\npanel.";
    const std::string vsyncOff = std::string("Vsync disabled!\n\n") + notice +
                                 "\n\nNote that this setting may have\nno effect. In this case, you will\n"
                                 "have to disable VSYNC manually\nin your graphics card's control\npanel.";
    const Message messages[] = {
        {128, 48, "Reset game?\nAny progress will be lost."},
        {128, 48, "Exit the game?\nAny progress will be lost."},
        {128, 50, "Would you like to configure\na controller now?"},
        {150, 90, screenMode.c_str()},
        {150, 90, fullscreen.c_str()},
        {150, 140, vsyncOn.c_str()},
        {150, 140, vsyncOff.c_str()},
    };
    for (const Message& m : messages) {
        SCOPED_TRACE(m.text);
        int tw, th;
        font.getTextSize(m.text, &tw, &th);
        // text at x + 11 inside the outline at x + w - 3; options 8 below it, a glyph high
        EXPECT_LE(11 + tw, m.w - 4);
        EXPECT_LE(10 + th + 8 + 7, m.h - 4);
    }

    // menus: rows at x + 11 in front of what stands to their right
    EXPECT_LE(11 + width("Input Settings"), 100 - 6);
    EXPECT_LE(11 + width("Border Color"), 66 - 1) << "before the '<' of the value";
    EXPECT_LE(11 + width("Sound Effects"), 71 - 1) << "before the volume bar";
    EXPECT_LE(11 + width("  Select (drop fairy)"), 95 - 1) << "before the bindings";
    // values of the video dialog with their '>' inside the selection bar
    for (const char* v : {"Stretched; Keep Aspect Ratio", "Integral; Square&Clean Pixels", "Force 16x zoom"}) {
        // the last ink column (before the glyph's spacing column) on the bar's last column
        EXPECT_LE(72 + width(v) + width(">") - 2, 200 - 6) << v;
    }
    EXPECT_LE(232 + width("V1.0.1"), 256 + 1) << "the version label ends at the overlay's edge";
    // the player labels stand 45 pixels apart, like the markers around them
    EXPECT_EQ(width("Player 1      "), 45);
    EXPECT_EQ(width("Player 4      "), 45);
    EXPECT_LT(width("Player 1"), width("<                 >") - width(">"));
    // the capture box: the button name after "to use for:" and inside the box
    int tw;
    font.getTextSize("Press a key or gamepad button\nto use for:\n\n                  ESC to clear", &tw, nullptr);
    EXPECT_LT(10 + width("to use for:"), 56);
    EXPECT_LE(56 + width("Select (drop fairy)"), tw + 20 - 4);
    EXPECT_LE(tw + 20, 256);
}
