#pragma once

#include <cstdint>

struct ALLEGRO_BITMAP;
struct ALLEGRO_LOCKED_REGION;

namespace vek {

namespace nes {
class Ppu;
}

// 512 colours (8 blocks of 64), red, green, blue.
extern const unsigned char NESPAL[512][3];

// Redraws the whole 256 x 240 picture once per console frame from the picture
// processor's registers, nametables, pattern tables, palette and sprite memory.
class Renderer {
public:
    static const int BITMAP_W = 272;
    static const int BITMAP_H = 264;
    static const int MARGIN = 8;

    ALLEGRO_BITMAP* bitmap;
    nes::Ppu* ppu;
    ALLEGRO_LOCKED_REGION* lockedRegion;

    explicit Renderer(nes::Ppu* ppu);
    ~Renderer();

    void update();
    void drawNametable(int x, int y, unsigned int nametable, unsigned int patternBase);
    void drawTile(int x, int y, unsigned int patternAddress, unsigned int palette);
    void drawSpriteTile(int x, int y, unsigned int patternAddress, unsigned int attributes);
    uint32_t* getBufferPtr(int x, int y);
};

}  // namespace vek
