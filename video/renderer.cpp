#include "video/renderer.h"

#include <allegro5/allegro.h>

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/util.h"
#include "nes/ppu.h"

namespace vek {

namespace {

// A pattern row is two bit planes, leftmost pixel in bit 7. SPREAD[b] puts bit 7 - j of b
// into byte j, so SPREAD[low] | SPREAD[high] << 1 holds the row's eight colour numbers, left
// to right; SPREAD_FLIPPED does the same for a horizontally flipped row.
struct SpreadTable {
    uint64_t bytes[256];
};

constexpr SpreadTable makeSpreadTable(bool flipped) {
    SpreadTable t{};
    for (unsigned v = 0; v < 256; v++) {
        uint64_t s = 0;
        for (int j = 0; j < 8; j++) {
            int bit = flipped ? j : 7 - j;
            s |= (uint64_t)((v >> bit) & 1) << (8 * j);
        }
        t.bytes[v] = s;
    }
    return t;
}

constexpr SpreadTable SPREAD = makeSpreadTable(false);
constexpr SpreadTable SPREAD_FLIPPED = makeSpreadTable(true);

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
    // until the console's first frame (the start-up question stops it) the picture is black,
    // not whatever the new bitmap's memory held
    ALLEGRO_BITMAP* previous = al_get_target_bitmap();
    al_set_target_bitmap(bitmap);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    al_set_target_bitmap(previous);
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

bool Renderer::showsOnlyBlack() const {
    if (!ppu) return true;
    for (unsigned int i = 0; i < 32; i++) {
        if (colour(ppu->read8(0x3F00 + i)) & 0xFFFFFF) return false;
    }
    return true;
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
    uint32_t colours[4] = {0, 0, 0, 0};
    for (unsigned int c = 1; c < 4; c++) colours[c] = colour(ppu->read8(0x3F00 + 4 * palette + c));
    drawPattern(x, y, patternAddress, colours, false, false);
}

void Renderer::drawSpriteTile(int x, int y, unsigned int patternAddress, unsigned int attributes) {
    if (y > 239) return;
    uint32_t colours[4] = {0, 0, 0, 0};
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

    // the tile's 16 bytes: pattern tables are read in place, anything else through the mapping
    unsigned char copy[16];
    const unsigned char* planes = ppu->vram + patternAddress;
    if (patternAddress > 0x2000 - 16) {
        for (unsigned int k = 0; k < 16; k++) copy[k] = (unsigned char)ppu->read8(patternAddress + k);
        planes = copy;
    }

    const SpreadTable& spread = flipH ? SPREAD_FLIPPED : SPREAD;
    unsigned char* rowStart = (unsigned char*)getBufferPtr(x, y);
    const ptrdiff_t pitch = lockedRegion->pitch;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi32(1), two = _mm_set1_epi32(2), three = _mm_set1_epi32(3);
    const __m128i colour1 = _mm_set1_epi32((int)colours[1]);
    const __m128i colour2 = _mm_set1_epi32((int)colours[2]);
    const __m128i colour3 = _mm_set1_epi32((int)colours[3]);
#endif
    for (int i = 0; i < 8; i++) {
        unsigned int row = flipV ? 7 - i : i;
        unsigned int low = planes[row], high = planes[row + 8];
        if (!(low | high)) continue;
        uint64_t numbers = spread.bytes[low] | spread.bytes[high] << 1;
        uint32_t* dst = (uint32_t*)(rowStart + i * pitch);
        // colour number 0 keeps what is there. Busy tiles mix the four numbers unpredictably,
        // so each pixel's choice is made with masks rather than branches.
#if defined(__SSE2__)
        __m128i bytes = _mm_loadl_epi64((const __m128i*)&numbers);  // byte j: pixel j
        __m128i words = _mm_unpacklo_epi8(bytes, zero);
        for (int half = 0; half < 2; half++) {
            __m128i n = half ? _mm_unpackhi_epi16(words, zero) : _mm_unpacklo_epi16(words, zero);
            __m128i* p = (__m128i*)(dst + 4 * half);
            __m128i keep = _mm_and_si128(_mm_cmpeq_epi32(n, zero), _mm_loadu_si128(p));
            __m128i pick1 = _mm_and_si128(_mm_cmpeq_epi32(n, one), colour1);
            __m128i pick2 = _mm_and_si128(_mm_cmpeq_epi32(n, two), colour2);
            __m128i pick3 = _mm_and_si128(_mm_cmpeq_epi32(n, three), colour3);
            _mm_storeu_si128(p, _mm_or_si128(_mm_or_si128(keep, pick1), _mm_or_si128(pick2, pick3)));
        }
#else
        for (int j = 0; j < 8; j++) {
            unsigned int c = (unsigned int)(numbers >> (8 * j)) & 3;
            uint32_t old = dst[j], chosen = colours[c];
            dst[j] = c ? chosen : old;
        }
#endif
    }
}

uint32_t* Renderer::getBufferPtr(int x, int y) {
    unsigned char* row = (unsigned char*)lockedRegion->data + (ptrdiff_t)(y + MARGIN) * lockedRegion->pitch;
    return (uint32_t*)row + (x + MARGIN);
}

}  // namespace vek
