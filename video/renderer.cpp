#include "video/renderer.h"

#include <allegro5/allegro.h>

#include <cstddef>

#include "app/util.h"
#include "nes/ppu.h"

namespace vek {

namespace {

constexpr unsigned char reverseBits(unsigned v) {
    unsigned r = 0;
    for (int i = 0; i < 8; i++) r |= ((v >> i) & 1) << (7 - i);
    return (unsigned char)r;
}

struct ReverseTable {
    unsigned char bits[256];
};

constexpr ReverseTable makeReverseTable() {
    ReverseTable t{};
    for (unsigned v = 0; v < 256; v++) t.bits[v] = reverseBits(v);
    return t;
}

constexpr ReverseTable REVERSED = makeReverseTable();

// The four nametables make a 512 x 480 plane that repeats both ways; these nine placements
// (relative to the scroll position) cover every part of it that can reach the screen.
struct Placement {
    int x, y;
    unsigned int nametable;
};

constexpr Placement PLACEMENTS[9] = {
    {0, 0, 0x2000},     {256, 0, 0x2400},   {0, 240, 0x2800},
    {256, 240, 0x2C00}, {0, 480, 0x2000},   {256, 480, 0x2400},
    {512, 0, 0x2000},   {512, 240, 0x2800}, {512, 480, 0x2000},
};

// ARGB_8888 and XRGB_8888 keep a pixel as the same 32-bit word (blue, green, red, alpha or
// unused in memory), so the renderer writes into either directly
bool isNativeFormat(int format) {
    return format == ALLEGRO_PIXEL_FORMAT_ARGB_8888 || format == ALLEGRO_PIXEL_FORMAT_XRGB_8888;
}

}  // namespace

Renderer::Renderer(nes::Ppu* ppu)
    : bitmap(nullptr), ppu(ppu), lockedRegion(nullptr), lockFormat(ALLEGRO_PIXEL_FORMAT_ANY),
      lockFailureLogged(false) {
    bitmap = al_create_bitmap(BITMAP_W, BITMAP_H);
    if (!bitmap) {
        Util::logErrorF("Renderer al_create_bitmap failed\n");
        return;
    }
    int format = al_get_bitmap_format(bitmap);
    if (!isNativeFormat(format)) {
        // any other layout is locked as ARGB_8888 and converted by Allegro on unlock, so
        // that 32-bit pixel words never land in a buffer laid out for smaller pixels
        Util::logErrorF("pixel format not supported (%d)\n", format);
        lockFormat = ALLEGRO_PIXEL_FORMAT_ARGB_8888;
    }
}

Renderer::~Renderer() {
    if (bitmap) {
        al_destroy_bitmap(bitmap);
        bitmap = nullptr;
    }
}

uint32_t Renderer::colour(unsigned int index) {
    const unsigned char* c = NESPAL[index & 511];
    return 0xFF000000u | (uint32_t)c[0] << 16 | (uint32_t)c[1] << 8 | c[2];
}

void Renderer::update() {
    // without a bitmap (its creation failed and was logged) there is nothing to draw into
    if (!bitmap || !ppu) return;

    lockedRegion = al_lock_bitmap(bitmap, lockFormat, ALLEGRO_LOCK_WRITEONLY);
    if (!lockedRegion) {
        if (!lockFailureLogged) Util::logErrorF("Renderer al_lock_bitmap failed\n");
        lockFailureLogged = true;
        return;
    }
    if (lockedRegion->pixel_size == 4) drawFrame();
    al_unlock_bitmap(bitmap);
    lockedRegion = nullptr;
}

void Renderer::drawFrame() {
    if (!lockedRegion || !ppu) return;

    uint32_t backdrop = colour(ppu->read8(0x3F00));
    for (int y = -MARGIN; y < BITMAP_H - MARGIN; y++) {
        uint32_t* row = getBufferPtr(-MARGIN, y);
        for (int x = 0; x < BITMAP_W; x++) row[x] = backdrop;
    }

    for (int n = 63; n >= 0; n--) {
        if (ppu->oam[4 * n + 2] & 0x20) drawSprite(n);
    }

    int sx = ppu->scrollX + ((ppu->ctrl & 0x01) ? 256 : 0);
    int sy = ppu->scrollY + ((ppu->ctrl & 0x02) ? 240 : 0);
    unsigned int backgroundBase = (ppu->ctrl & 0x10) ? 0x1000 : 0x0000;
    for (const Placement& p : PLACEMENTS) drawNametable(p.x - sx, p.y - sy, p.nametable, backgroundBase);

    for (int n = 63; n >= 0; n--) {
        if (!(ppu->oam[4 * n + 2] & 0x20)) drawSprite(n);
    }
}

void Renderer::drawNametable(int x, int y, unsigned int nametable, unsigned int patternBase) {
    if (x < -256 || x > 255 || y < -240 || y > 239) return;

    for (int r = 0; r < 30; r++) {
        int ty = y + 8 * r;
        if (ty < -7 || ty > 239) continue;
        for (int c = 0; c < 32; c++) {
            int tx = x + 8 * c;
            if (tx < -7 || tx > 255) continue;
            unsigned int tile = ppu->read8(nametable + 32 * r + c);
            unsigned int attribute = ppu->read8(nametable + 0x3C0 + 8 * (r / 4) + c / 4);
            unsigned int palette = (attribute >> (4 * ((r / 2) % 2) + 2 * ((c / 2) % 2))) & 3;
            drawTile(tx, ty, tile * 16 + patternBase, palette);
        }
    }
}

void Renderer::drawTile(int x, int y, unsigned int patternAddress, unsigned int palette) {
    uint32_t colours[4];
    for (unsigned int c = 1; c < 4; c++) colours[c] = colour(ppu->read8(0x3F00 + 4 * palette + c));
    drawPattern(x, y, patternAddress, colours, false, false);
}

void Renderer::drawSpriteTile(int x, int y, unsigned int patternAddress, unsigned int attributes) {
    if (y > 239) return;
    uint32_t colours[4];
    for (unsigned int c = 1; c < 4; c++) colours[c] = colour(ppu->read8(0x3F10 + 4 * (attributes & 3) + c));
    drawPattern(x, y, patternAddress, colours, (attributes & 0x40) != 0, (attributes & 0x80) != 0);
}

void Renderer::drawSprite(int n) {
    const unsigned char* sprite = &ppu->oam[4 * n];
    int y = sprite[0] + 1;
    if (y >= 240) return;
    unsigned int spriteBase = (ppu->ctrl & 0x08) ? 0x1000 : 0x0000;
    drawSpriteTile(sprite[3], y, sprite[1] * 16 + spriteBase, sprite[2]);
}

void Renderer::drawPattern(int x, int y, unsigned int patternAddress, const uint32_t* colours, bool flipH,
                           bool flipV) {
    // a tile must fit the bitmap, margins included; nothing the frame draws comes close
    if (!lockedRegion || x < -MARGIN || x > BITMAP_W - 2 * MARGIN || y < -MARGIN || y > BITMAP_H - 2 * MARGIN)
        return;

    for (int i = 0; i < 8; i++) {
        unsigned int row = flipV ? 7 - i : i;
        unsigned int low = ppu->read8(patternAddress + row);
        unsigned int high = ppu->read8(patternAddress + row + 8);
        if (!(low | high)) continue;
        if (flipH) {
            low = REVERSED.bits[low];
            high = REVERSED.bits[high];
        }
        uint32_t* dst = getBufferPtr(x, y + i);
        for (int j = 0; j < 8; j++) {
            unsigned int b = 7 - j;
            unsigned int c = ((high >> b) & 1) << 1 | ((low >> b) & 1);
            if (c) dst[j] = colours[c];
        }
    }
}

uint32_t* Renderer::getBufferPtr(int x, int y) {
    unsigned char* row = (unsigned char*)lockedRegion->data + (ptrdiff_t)(y + MARGIN) * lockedRegion->pitch;
    return (uint32_t*)row + (x + MARGIN);
}

}  // namespace vek
