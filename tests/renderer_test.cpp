#include <gtest/gtest.h>

#include <unistd.h>

#include <allegro5/allegro.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/util.h"
#include "file_support.h"
#include "gui_test_support.h"
#include "nes/ppu.h"
#include "video/renderer.h"

using vek::NESPAL;
using vek::Renderer;
using vek::nes::Ppu;

namespace {

// colours of the console's palette, as documented (alpha 255)
const uint32_t BLACK = 0xFF000000;  // $0F
const uint32_t WHITE = 0xFFFFFFFF;  // $30
const uint32_t GREY = 0xFF585858;   // $00
const uint32_t RED = 0xFFA62721;    // $16
const uint32_t GREEN = 0xFF51DF21;  // $2A
const uint32_t BLUE = 0xFF3337FE;   // $12
const uint32_t PINK = 0xFFFE5EC4;   // $25
const uint32_t TEAL = 0xFF39C3DF;   // $2C
const uint32_t OLIVE = 0xFF596200;  // $18

// The frame bitmap read back as 0xAARRGGBB words, whatever its own format; at() takes
// screen coordinates, the margins being the 8 pixels beyond each edge.
struct Picture {
    guitest::Pixels pixels;
    uint32_t at(int screenX, int screenY) const {
        return pixels.at(screenX + Renderer::MARGIN, screenY + Renderer::MARGIN);
    }
};

Picture readBack(ALLEGRO_BITMAP* bitmap) { return Picture{guitest::readPixels(bitmap)}; }

struct Point {
    int x, y;
    uint32_t colour;
};

void expectPoints(const Picture& p, std::initializer_list<Point> points) {
    for (const Point& pt : points) EXPECT_EQ(p.at(pt.x, pt.y), pt.colour) << pt.x << "," << pt.y;
}

// a locked region of 32-bit pixels whose rows lie `pitchWords` apart from `topRow` on
ALLEGRO_LOCKED_REGION regionAt(uint32_t* topRow, int pitchWords) {
    ALLEGRO_LOCKED_REGION region;
    region.data = topRow;
    region.format = ALLEGRO_PIXEL_FORMAT_ARGB_8888;
    region.pitch = pitchWords * 4;
    region.pixel_size = 4;
    return region;
}

// pattern helpers: a tile's 16 bytes are 8 low-plane rows, then 8 high-plane rows
void solidTile(Ppu& ppu, unsigned int address, int colourNumber) {
    for (int i = 0; i < 8; i++) {
        ppu.vram[address + i] = (colourNumber & 1) ? 0xFF : 0x00;
        ppu.vram[address + i + 8] = (colourNumber & 2) ? 0xFF : 0x00;
    }
}

void pixelTile(Ppu& ppu, unsigned int address, int px, int py, int colourNumber) {
    for (int i = 0; i < 16; i++) ppu.vram[address + i] = 0;
    if (colourNumber & 1) ppu.vram[address + py] = (unsigned char)(0x80 >> px);
    if (colourNumber & 2) ppu.vram[address + py + 8] = (unsigned char)(0x80 >> px);
}

class RendererTest : public ::testing::Test {
protected:
    Ppu ppu{nullptr};
    Renderer* renderer = nullptr;

    void SetUp() override {
        ASSERT_TRUE(al_init());
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        al_set_new_bitmap_format(ALLEGRO_PIXEL_FORMAT_ANY);
        renderer = new Renderer(&ppu);
        ASSERT_NE(renderer->bitmap, nullptr);
        // patterns 1 to 3: solid colour 1 to 3; background palettes and sprite palettes distinct
        solidTile(ppu, 0x0010, 1);
        solidTile(ppu, 0x0020, 2);
        solidTile(ppu, 0x0030, 3);
        const unsigned char palette[32] = {
            0x0F, 0x16, 0x2A, 0x12, 0x0F, 0x25, 0x2C, 0x18, 0x0F, 0x30, 0x00, 0x16, 0x0F, 0x2A, 0x12, 0x25,
            0x0F, 0x30, 0x25, 0x2C, 0x0F, 0x18, 0x16, 0x2A, 0x0F, 0x12, 0x00, 0x30, 0x0F, 0x2C, 0x18, 0x00,
        };
        for (int i = 0; i < 32; i++) ppu.write8(0x3F00 + i, palette[i]);
        // every sprite parked below the screen
        for (int n = 0; n < 64; n++) ppu.oam[4 * n] = 0xFF;
    }

    void TearDown() override { delete renderer; }

    Picture draw() {
        renderer->update();
        return readBack(renderer->bitmap);
    }

    void sprite(int n, int y, int tile, int attributes, int x) {
        ppu.oam[4 * n] = (unsigned char)y;
        ppu.oam[4 * n + 1] = (unsigned char)tile;
        ppu.oam[4 * n + 2] = (unsigned char)attributes;
        ppu.oam[4 * n + 3] = (unsigned char)x;
    }
};

}  // namespace

// block 0 holds the console's colours; each emphasis block starts with its emphasised grey
TEST(Nespal, DocumentedEntries) {
    struct Entry {
        int index;
        uint32_t rgb;
    };
    const Entry documented[] = {
        {0x00, 0x585858}, {0x01, 0x00237C}, {0x0D, 0x000000}, {0x16, 0xA62721}, {0x1C, 0x006D85},
        {0x20, 0xFFFFFF}, {0x27, 0xE19321}, {0x2D, 0x424242}, {0x30, 0xFFFFFF}, {0x37, 0xF4D199},
        {0x3D, 0xACACAC}, {0x3F, 0x000000}, {64, 0x634643},    {128, 0x3E5C34},  {192, 0x45462D},
        {256, 0x494976},  {320, 0x4C3B52},  {384, 0x37484A},  {448, 0x393939},
    };
    for (const Entry& e : documented) {
        EXPECT_EQ(Renderer::colour(e.index), 0xFF000000u | e.rgb) << "colour " << e.index;
    }
}

TEST(Nespal, EmphasisLiftsItsChannelsAndDarkensTheOthers) {
    // single-bit blocks: the emphasised channel never drops, the other two never rise;
    // black stays black under every emphasis; all-bits emphasis darkens everything
    for (int i = 0; i < 64; i++) {
        for (int bit = 0; bit < 3; bit++) {
            int block = 1 << bit;
            for (int c = 0; c < 3; c++) {
                int base = NESPAL[i][c], emphasised = NESPAL[64 * block + i][c];
                if (c == bit) EXPECT_GE(emphasised, base) << "colour " << i << " block " << block;
                else EXPECT_LE(emphasised, base) << "colour " << i << " block " << block;
            }
        }
        for (int c = 0; c < 3; c++) {
            EXPECT_LE(NESPAL[7 * 64 + i][c], NESPAL[i][c]);
            if (NESPAL[i][c] == 0) {
                for (int block = 1; block < 8; block++) EXPECT_EQ(NESPAL[64 * block + i][c], 0);
            }
        }
    }
    // the emphasised red of white is lifted to the top and no further
    EXPECT_EQ(NESPAL[64 + 0x20][0], 255);
}

// $3F10 is a byte of its own and never the backdrop; every frame repaints every pixel
TEST_F(RendererTest, BackdropFromPaletteZeroFillsScreenAndMarginsEveryFrame) {
    ppu.write8(0x2000, 1);
    sprite(0, 99, 3, 0x00, 99);
    draw();
    ppu.write8(0x2000, 0);
    ppu.oam[0] = 0xFF;
    const struct {
        int entry;
        uint32_t colour;
    } backdrops[] = {{0x0F, BLACK}, {0x30, WHITE}, {0x00, GREY}};
    for (const auto& k : backdrops) {
        ppu.write8(0x3F00, k.entry);
        ppu.write8(0x3F10, 0x16);
        Picture p = draw();
        for (uint32_t px : p.pixels.argb) ASSERT_EQ(px, k.colour) << k.entry;
    }
}

TEST_F(RendererTest, APaletteOfBlacksShowsOnlyBlackWhateverTheTilesHold) {
    // a set-up frame at power-on: tiles and sprites of every colour number, and every
    // palette entry one of the console's blacks
    for (unsigned int t = 0; t < 4; t++) solidTile(ppu, 16 * t, (int)t);
    for (unsigned int i = 0; i < 960; i++) ppu.vram[0x2000 + i] = (unsigned char)(i % 4);
    for (int n = 0; n < 8; n++) sprite(n, 20 * n, n % 4, n % 4, 30 * n);
    const unsigned char blacks[] = {0x0D, 0x0E, 0x0F, 0x1D, 0x1E, 0x1F, 0x2F, 0x3E, 0x3F};
    for (int i = 0; i < 32; i++) ppu.write8(0x3F00 + i, blacks[i % 9]);
    ASSERT_TRUE(renderer->showsOnlyBlack());
    Picture p = draw();
    for (uint32_t px : p.pixels.argb) ASSERT_EQ(px & 0xFFFFFF, 0u);
    // one colour anywhere in the palette, a sprite's as much as the backdrop, can show
    for (int i = 0; i < 32; i++) {
        ppu.write8(0x3F00 + i, 0x30);
        EXPECT_FALSE(renderer->showsOnlyBlack()) << "palette entry " << i;
        ppu.write8(0x3F00 + i, 0x0F);
    }
}

// Where the nametables land for each scroll, table selection and mirroring: runs of one
// tile written into the tables, pixels looked up in screen coordinates. The four tables
// make a plane that repeats both ways; nothing beyond it reaches the margins.
TEST_F(RendererTest, ScrollAndMirroringPlaceTheNametables) {
    struct Run {
        unsigned int address;
        int tile, count;
    };
    const struct {
        const char* what;
        int mirroring, ctrl, scrollX, scrollY;
        std::vector<Run> runs;
        std::vector<Point> points;
    } cases[] = {
        {"unscrolled: $2000 from the top-left corner", 0, 0, 0, 0,
         {{0x2000, 1, 1}, {0x2000 + 29 * 32 + 31, 2, 1}, {0x2000 + 32 + 1, 3, 1}},
         {{0, 0, RED}, {7, 7, RED}, {8, 0, BLACK}, {8, 8, BLUE}, {15, 15, BLUE}, {248, 232, GREEN},
          {255, 239, GREEN}, {-1, 0, BLACK}, {0, -1, BLACK}, {256, 239, BLACK}, {255, 240, BLACK}}},
        {"horizontal mirroring: the second table shows $2000", 0, 0x01, 0, 0, {{0x2000, 1, 1}},
         {{0, 0, RED}, {8, 0, BLACK}}},
        {"vertical mirroring: the second table is one of its own", 1, 0x01, 0, 0, {{0x2000, 1, 1}, {0x2400, 2, 1}},
         {{0, 0, GREEN}}},
        {"vertical mirroring: the first table", 1, 0x00, 0, 0, {{0x2000, 1, 1}, {0x2400, 2, 1}}, {{0, 0, RED}}},
        // row 0 of $2000 lies wholly above the screen and is not drawn, not even into the margin
        {"vertical scroll brings in the table below", 0, 0, 0, 8,
         {{0x2000, 1, 32}, {0x2000 + 32, 2, 32}, {0x2000 + 29 * 32, 3, 32}, {0x2800, 2, 32}},
         {{0, 0, GREEN}, {200, 7, GREEN}, {0, 224, BLUE}, {0, 231, BLUE}, {0, 232, GREEN}, {255, 239, GREEN},
          {0, -8, BLACK}, {0, -1, BLACK}}},
        // $2000 partly in the margins, $2400 at the top right, $2800 = $2000 at the bottom
        // left, $2C00 = $2400 at the bottom right
        {"both scrolls reach all four tables", 1, 0, 4, 4, {{0x2000, 1, 1}, {0x2400, 3, 1}},
         {{-4, -4, RED}, {3, 3, RED}, {4, 4, BLACK}, {252, 0, BLUE}, {259, -4, BLUE}, {0, 236, RED}, {-4, 243, RED},
          {252, 236, BLUE}, {259, 243, BLUE}, {251, 235, BLACK}}},
        // the right edge shows the start of $2400 = $2000, running 4 pixels into the margin
        {"horizontal scroll draws part tiles into the side margins", 0, 0, 4, 0, {{0x2000, 1, 1}, {0x2001, 2, 1}},
         {{-4, 0, RED}, {3, 0, RED}, {-5, 0, BLACK}, {4, 0, GREEN}, {251, 0, BLACK}, {252, 0, RED}, {259, 0, RED},
          {260, 0, BLACK}}},
        // column 0 is the last pixel column of $2400, column 1 starts $2000 again
        {"scrollX 255 of the second table", 1, 0x01, 255, 0, {{0x2000, 1, 1}, {0x2000 + 31, 2, 1}, {0x2400 + 31, 3, 1}},
         {{0, 0, BLUE}, {1, 0, RED}, {8, 0, RED}, {9, 0, BLACK}}},
        // row 0 is the last pixel row of $2800, row 1 starts $2000 again
        {"scrollY 239 of the lower tables", 0, 0x02, 0, 239,
         {{0x2000, 1, 1}, {0x2000 + 29 * 32, 3, 1}, {0x2800 + 29 * 32, 2, 1}},
         {{0, 0, GREEN}, {0, 1, RED}, {0, 8, RED}, {0, 9, BLACK}}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        ppu.setNametableMirroring(k.mirroring);
        for (unsigned int a = 0x2000; a < 0x3000; a++) ppu.write8(a, 0);
        for (const Run& r : k.runs)
            for (int i = 0; i < r.count; i++) ppu.write8(r.address + i, r.tile);
        ppu.ctrl = k.ctrl;
        ppu.scrollX = k.scrollX;
        ppu.scrollY = k.scrollY;
        Picture p = draw();
        for (const Point& pt : k.points) EXPECT_EQ(p.at(pt.x, pt.y), pt.colour) << pt.x << "," << pt.y;
    }
}

TEST_F(RendererTest, AttributeBytePicksPalettesPerQuadrant) {
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) ppu.write8(0x2000 + 32 * r + c, 1);
    ppu.write8(0x23C0, 0xE4);  // 11 10 01 00: bottom-right, bottom-left, top-right, top-left
    // colour 1 of palette 0 ($16), 1 ($25), 2 ($30) and 3 ($2A)
    expectPoints(draw(), {{0, 0, RED}, {8, 8, RED}, {16, 0, PINK}, {31, 15, PINK}, {0, 16, WHITE}, {15, 31, WHITE},
                          {16, 16, GREEN}, {31, 31, GREEN}});
}

TEST_F(RendererTest, PatternTableBitsSelectBackgroundAndSpriteTables) {
    solidTile(ppu, 0x1010, 2);
    ppu.write8(0x2000, 1);
    sprite(0, 99, 1, 0x00, 100);
    ppu.ctrl = 0x10;  // background from $1000, sprites from $0000
    expectPoints(draw(), {{0, 0, GREEN}, {100, 100, WHITE}});  // sprite palette 0, colour 1: $30
    ppu.ctrl = 0x08;                                            // background from $0000, sprites from $1000
    expectPoints(draw(), {{0, 0, RED}, {100, 100, PINK}});      // colour 2: $25
}

TEST_F(RendererTest, SpritesStandOneRowBelowTheirYByteAndRunIntoTheMargins) {
    sprite(0, 0xEF, 3, 0x00, 40);   // y 240: not drawn
    sprite(1, 0xEE, 3, 0x00, 80);   // y 239: one row on screen, seven in the bottom margin
    sprite(2, 0x00, 3, 0x00, 120);  // y 1
    sprite(3, 49, 3, 0x00, 0xFC);   // x 252: half in the right margin
    Picture p = draw();
    for (int y = -8; y < 256; y++) ASSERT_EQ(p.at(40, y), BLACK) << y;
    for (int x = 252; x < 260; x++) EXPECT_EQ(p.at(x, 50), TEAL) << x;
    // sprite palette 0, colour 3: $2C
    expectPoints(p, {{80, 238, BLACK}, {80, 239, TEAL}, {87, 246, TEAL}, {80, 247, BLACK}, {120, 0, BLACK},
                     {120, 1, TEAL}, {120, 8, TEAL}, {120, 9, BLACK}, {251, 50, BLACK}, {260, 50, BLACK}});
}

// Within one priority a lower sprite number covers a higher one; a sprite in front covers
// the background and every sprite behind it, one behind shows only through background
// colour 0; sprite colour 0 is transparent.
TEST_F(RendererTest, SpritePriorities) {
    sprite(3, 99, 1, 0x00, 100);    // colour 1 of palette 0: $30
    sprite(10, 103, 2, 0x00, 104);  // colour 2 of palette 0: $25, overlapping by 4 x 4
    sprite(0, 59, 1, 0x20, 60);   // behind
    sprite(9, 59, 2, 0x00, 60);   // in front
    // background tile: left half colour 1, right half colour 0
    for (int i = 0; i < 8; i++) {
        ppu.vram[0x0040 + i] = 0xF0;
        ppu.vram[0x0048 + i] = 0x00;
    }
    ppu.write8(0x2000 + 32 * 2 + 2, 4);  // screen (16, 16)
    sprite(5, 15, 3, 0x20, 16);          // behind, solid colour 3
    ppu.write8(0x2000 + 32 * 4 + 4, 1);  // screen (32, 32)
    pixelTile(ppu, 0x0050, 2, 3, 3);
    sprite(1, 31, 5, 0x00, 32);
    expectPoints(draw(), {{104, 104, WHITE}, {107, 107, WHITE}, {108, 108, PINK}, {111, 111, PINK}, {60, 60, PINK},
                          {16, 16, RED}, {19, 23, RED},      // background colour 1 wins
                          {20, 16, TEAL}, {23, 23, TEAL},    // colour 0: the sprite shows through
                          {34, 35, TEAL}, {32, 32, RED}, {39, 39, RED}});
    // in front, the same sprite covers the whole tile
    ppu.oam[4 * 5 + 2] = 0x00;
    expectPoints(draw(), {{16, 16, TEAL}, {23, 23, TEAL}});
}

TEST_F(RendererTest, SpritesFlipHorizontallyAndVertically) {
    pixelTile(ppu, 0x0050, 1, 2, 3);  // one pixel at column 1, row 2
    sprite(0, 9, 5, 0x00, 10);
    sprite(1, 29, 5, 0x40, 30);
    sprite(2, 49, 5, 0x80, 50);
    sprite(3, 69, 5, 0xC0, 70);
    Picture p = draw();
    struct Case {
        int origin;  // the sprite's top-left corner is (origin, origin)
        int dx, dy;  // where the single pixel lands
        const char* what;
    };
    const Case cases[] = {{10, 1, 2, "plain"}, {30, 6, 2, "horizontal"}, {50, 1, 5, "vertical"}, {70, 6, 5, "both"}};
    for (const Case& c : cases) {
        for (int dy = 0; dy < 8; dy++)
            for (int dx = 0; dx < 8; dx++) {
                uint32_t expected = (dx == c.dx && dy == c.dy) ? TEAL : BLACK;
                ASSERT_EQ(p.at(c.origin + dx, c.origin + dy), expected) << c.what << " at " << dx << "," << dy;
            }
    }
}

TEST_F(RendererTest, SpritePaletteComesFromTheAttributeBits) {
    sprite(0, 9, 1, 0x01, 10);   // palette 1 colour 1: $3F15 = $18
    sprite(1, 9, 2, 0x02, 20);   // palette 2 colour 2: $3F1A = $00
    sprite(2, 9, 3, 0x03, 30);   // palette 3 colour 3: $3F1F = $00
    sprite(3, 9, 3, 0x1D, 40);   // unused bits 2-4 set, palette 1 colour 3: $3F17 = $2A
    expectPoints(draw(), {{10, 10, OLIVE}, {20, 10, GREY}, {30, 10, GREY}, {40, 10, GREEN}});
}

TEST_F(RendererTest, BottomUpRowsAreAddressedThroughTheNegativePitch) {
    ppu.setNametableMirroring(0);
    for (int i = 0; i < 30 * 32; i++) ppu.write8(0x2000 + i, (unsigned char)(1 + (i * 7 + i / 32) % 3));
    for (int i = 0; i < 64; i++) ppu.write8(0x23C0 + i, (unsigned char)(i * 37));
    for (int n = 0; n < 64; n++) sprite(n, (n * 29) % 250, 1 + n % 3, n * 13, (n * 53) % 256);
    ppu.scrollX = 3;
    ppu.scrollY = 5;
    Picture expected = draw();

    // rows stored bottom-up: the region's data points at the top row, which is the last in memory
    const int w = Renderer::BITMAP_W, h = Renderer::BITMAP_H;
    std::vector<uint32_t> buffer((size_t)w * h, 0x12345678);
    ALLEGRO_LOCKED_REGION region = regionAt(&buffer[(size_t)(h - 1) * w], -w);
    renderer->lockedRegion = &region;
    renderer->drawFrame();
    renderer->lockedRegion = nullptr;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            ASSERT_EQ(buffer[(size_t)(h - 1 - y) * w + x], expected.pixels.at(x, y)) << "bitmap pixel " << x << "," << y;
}

TEST_F(RendererTest, RowGapsInTheLockedRegionAreLeftAlone) {
    ppu.write8(0x2000, 1);
    const int stride = Renderer::BITMAP_W + 5;
    std::vector<uint32_t> buffer((size_t)stride * Renderer::BITMAP_H, 0x12345678);
    ALLEGRO_LOCKED_REGION region = regionAt(buffer.data(), stride);
    renderer->lockedRegion = &region;
    renderer->drawFrame();
    renderer->lockedRegion = nullptr;
    for (int y = 0; y < Renderer::BITMAP_H; y++) {
        for (int x = Renderer::BITMAP_W; x < stride; x++) ASSERT_EQ(buffer[(size_t)y * stride + x], 0x12345678u);
    }
    EXPECT_EQ(buffer[(size_t)8 * stride + 8], RED);
    EXPECT_EQ(buffer[(size_t)15 * stride + 15], RED);
    EXPECT_EQ(buffer[(size_t)16 * stride + 16], BLACK);
}

TEST_F(RendererTest, PatternsOutsideThePatternTablesAreReadThroughTheMapping) {
    // a tile whose 16 bytes lie at $23F8-$2407: with horizontal mirroring the second half
    // comes from $2000-$2007, so the high plane is the first bytes of the nametable
    ppu.setNametableMirroring(0);
    for (int i = 0; i < 8; i++) ppu.write8(0x23F8 + i, 0xFF);  // low plane: every pixel
    ppu.write8(0x2000, 0xF0);                                  // high plane row 0: left half
    std::vector<uint32_t> buffer((size_t)Renderer::BITMAP_W * Renderer::BITMAP_H, 0);
    ALLEGRO_LOCKED_REGION region = regionAt(buffer.data(), Renderer::BITMAP_W);
    renderer->lockedRegion = &region;
    renderer->drawTile(0, 0, 0x23F8, 0);
    renderer->lockedRegion = nullptr;
    auto at = [&](int x, int y) { return buffer[(size_t)(y + 8) * Renderer::BITMAP_W + x + 8]; };
    EXPECT_EQ(at(0, 0), BLUE);  // colour 3: $12
    EXPECT_EQ(at(3, 0), BLUE);
    EXPECT_EQ(at(4, 0), RED);  // colour 1: $16
    EXPECT_EQ(at(0, 1), RED);
    EXPECT_EQ(at(7, 7), RED);
}

namespace {

// Collects what the renderer logs as a failure into a file of the test's own.
class ErrorLogCapture {
public:
    // one file per process: ctest runs these tests side by side
    ErrorLogCapture()
        : path(std::string(::testing::TempDir()) + "renderer_error." + std::to_string(getpid()) + ".log") {
        std::remove(path.c_str());
        vek::Util::strncpy0(saved, vek::g_errorLogFileName, sizeof(saved));
        vek::Util::strncpy0(vek::g_errorLogFileName, path.c_str(), sizeof(vek::g_errorLogFileName));
    }
    ~ErrorLogCapture() {
        vek::Util::strncpy0(vek::g_errorLogFileName, saved, sizeof(vek::g_errorLogFileName));
        std::remove(path.c_str());
    }
    std::string text() const { return filetest::readFile(path); }

private:
    std::string path;
    char saved[64];
};

}  // namespace

// Formats that keep a pixel as the renderer's 32-bit word are drawn into directly; any
// other is reported and drawn right all the same (white and black survive 5-6-5 bits).
TEST(RendererFormats, EveryFormatIsDrawnRightAndOnlyForeignLayoutsAreReported) {
    ASSERT_TRUE(al_init());
    const struct {
        int format;
        const char* logged;
    } formats[] = {
        {ALLEGRO_PIXEL_FORMAT_ANY, ""},
        {ALLEGRO_PIXEL_FORMAT_ARGB_8888, ""},
        {ALLEGRO_PIXEL_FORMAT_XRGB_8888, ""},
        {ALLEGRO_PIXEL_FORMAT_RGB_565, "pixel format not supported (13)\n"},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.format);
        ErrorLogCapture log;
        Ppu ppu(nullptr);
        solidTile(ppu, 0x0010, 1);
        ppu.write8(0x2000, 1);
        ppu.write8(0x3F00, 0x30);
        ppu.write8(0x3F01, 0x0F);
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        al_set_new_bitmap_format(f.format);
        Renderer renderer(&ppu);
        al_set_new_bitmap_format(ALLEGRO_PIXEL_FORMAT_ANY);
        ASSERT_NE(renderer.bitmap, nullptr);
        renderer.update();
        EXPECT_EQ(log.text(), f.logged);
        // XRGB keeps no alpha; colours only
        Picture p = readBack(renderer.bitmap);
        EXPECT_EQ(p.at(0, 0) & 0xFFFFFF, 0x000000u);
        EXPECT_EQ(p.at(8, 0) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(p.at(-8, -8) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(p.at(263, 255) & 0xFFFFFF, 0xFFFFFFu);
    }
}

TEST(RendererFormats, WithoutABitmapUpdateDoesNothing) {
    ASSERT_TRUE(al_init());
    ErrorLogCapture log;
    Ppu ppu(nullptr);
    // a video bitmap cannot be made without a display
    al_set_new_bitmap_flags(ALLEGRO_VIDEO_BITMAP);
    Renderer renderer(&ppu);
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    EXPECT_EQ(renderer.bitmap, nullptr);
    EXPECT_EQ(log.text(), "Renderer al_create_bitmap failed\n");
    renderer.update();
    EXPECT_EQ(renderer.lockedRegion, nullptr);
}

TEST(RendererFormats, BeforeTheFirstFrameThePictureIsOpaqueBlack) {
    ASSERT_TRUE(al_init());
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    Ppu ppu(nullptr);
    Renderer renderer(&ppu);
    ASSERT_NE(renderer.bitmap, nullptr);
    const int points[][2] = {{0, 0}, {8, 8}, {135, 127}, {271, 263}};
    for (const auto& pt : points) {
        unsigned char r, g, b, a;
        al_unmap_rgba(al_get_pixel(renderer.bitmap, pt[0], pt[1]), &r, &g, &b, &a);
        EXPECT_EQ(r | g | b, 0) << pt[0] << "," << pt[1];
        EXPECT_EQ(a, 255) << pt[0] << "," << pt[1];
    }
}
