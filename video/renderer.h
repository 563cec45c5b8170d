#pragma once

#include <cstdint>

struct ALLEGRO_BITMAP;
struct ALLEGRO_LOCKED_REGION;

namespace vek {

namespace nes {
class Ppu;
}

// 512 colours (8 blocks of 64), red, green, blue. Block k is the console's 64 colours under
// the colour emphasis bits k (1 red, 2 green, 4 blue).
extern const unsigned char NESPAL[512][3];

// Redraws the whole 256 x 240 picture once per console frame from the picture
// processor's registers, nametables, pattern tables, palette and sprite memory.
//
// The frame bitmap is 272 x 264 with the picture at (8, 8); tiles and sprites that stick out
// of the picture by up to 7 pixels land in the margins. Pixels are 32-bit words 0xAARRGGBB
// (bytes blue, green, red, alpha in memory), alpha always 255.
class Renderer {
public:
    static const int BITMAP_W = 272;
    static const int BITMAP_H = 264;
    static const int MARGIN = 8;
    static const int SCREEN_W = 256;
    static const int SCREEN_H = 240;

    ALLEGRO_BITMAP* bitmap;
    nes::Ppu* ppu;
    ALLEGRO_LOCKED_REGION* lockedRegion;

    explicit Renderer(nes::Ppu* ppu);
    ~Renderer();

    // one frame: lock the bitmap, drawFrame(), unlock. Does nothing without a bitmap.
    void update();

    // backdrop, sprites behind, the nine background placements, sprites in front, all into
    // lockedRegion (which may have any row pitch, negative for bottom-up storage)
    void drawFrame();

    // drawing into lockedRegion; positions are screen positions
    void drawNametable(int x, int y, unsigned int nametable, unsigned int patternBase);
    void drawTile(int x, int y, unsigned int patternAddress, unsigned int palette);
    void drawSpriteTile(int x, int y, unsigned int patternAddress, unsigned int attributes);
    uint32_t* getBufferPtr(int x, int y);

    // NESPAL entry as a pixel word
    static uint32_t colour(unsigned int index);

    // every colour of the palette is black: whatever the nametables and sprites hold, the
    // picture is black
    bool showsOnlyBlack() const;

private:
    int lockFormat;  // the format update() locks the bitmap in
    bool lockFailureLogged;

    void drawSprite(int n);
    void drawPattern(int x, int y, unsigned int patternAddress, const uint32_t* colours, bool flipH, bool flipV);
};

}  // namespace vek
