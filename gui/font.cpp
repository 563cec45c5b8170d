#include "gui/font.h"

#include <cstring>
#include <vector>

#include "app/util.h"

namespace vek {

Font::Font() : h(1), lineH(1), color(al_map_rgba(255, 255, 255, 255)), strip(nullptr) {
    for (int i = 0; i < NUM_GLYPHS; i++) glyphs[i] = nullptr;
}

Font::~Font() {
    for (int i = 0; i < NUM_GLYPHS; i++) {
        if (glyphs[i]) al_destroy_bitmap(glyphs[i]);
        glyphs[i] = nullptr;
    }
    if (strip) al_destroy_bitmap(strip);
    strip = nullptr;
}

bool Font::load(const char* path) {
    (void)path;
    if (glyphs[0]) return false;
    ALLEGRO_BITMAP* strip = Util::loadStaticBitmap(SBMP_FONT);
    if (!strip) {
        Util::logErrorF("Font::load() al_load_bitmap failed\n");
        return false;
    }
    lineH = al_get_bitmap_height(strip);
    h = lineH - 1;

    // each red pixel of the marker row (the last one) opens a glyph that ends where the next
    // one opens; the row is read under one lock, which keeps video bitmaps fast
    const int stripW = al_get_bitmap_width(strip);
    std::vector<int> markers;
    if (al_lock_bitmap_region(strip, 0, h, stripW, 1, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY)) {
        for (int x = 0; x < stripW; x++) {
            unsigned char r, g, b;
            al_unmap_rgb(al_get_pixel(strip, x, h), &r, &g, &b);
            if (r != 0) markers.push_back(x);
        }
        al_unlock_bitmap(strip);
    }
    // the glyphs are windows into the strip: nothing is copied and no glyph needs a
    // drawing target of its own, which is what made the start of the program slow
    for (size_t m = 1; m < markers.size() && (int)m <= NUM_GLYPHS; m++) {
        const int start = markers[m - 1];
        glyphs[m - 1] = al_create_sub_bitmap(strip, start, 0, markers[m] - start, h);
    }
    if (!glyphs[0]) {
        for (int i = 0; i < NUM_GLYPHS; i++) {
            if (glyphs[i]) al_destroy_bitmap(glyphs[i]);
            glyphs[i] = nullptr;
        }
        al_destroy_bitmap(strip);
        return false;
    }
    this->strip = strip;
    return true;
}

// The glyph of a byte above the space: its own up to 127; bytes 128 and above (a gamepad
// name in UTF-8, say) all show the box of 127, whether char is signed or not.
ALLEGRO_BITMAP* Font::glyphOf(unsigned char c) {
    return glyphs[(c < 128 ? c : 127) - FIRST_CHAR];
}

// how far the pen moves for one byte; space and control characters move by a space
int Font::advance(unsigned char c) {
    if (c > 32) {
        ALLEGRO_BITMAP* g = glyphOf(c);
        return g ? al_get_bitmap_width(g) : 0;
    }
    return glyphs[0] ? al_get_bitmap_width(glyphs[0]) : 0;
}

void Font::drawText(ALLEGRO_BITMAP* target, int x, int y, const char* text) {
    if (!glyphs[0]) return;
    unsigned char r, g, b, a;
    al_unmap_rgba(color, &r, &g, &b, &a);
    const bool plain = r == 255 && g == 255 && b == 255 && a == 255;
    al_set_target_bitmap(target);
    int px = x;
    int py = y;
    for (const char* p = text; *p; p++) {
        const unsigned char c = (unsigned char)*p;
        if (c == '\n') {
            py += lineH;
            px = x;
        } else if (c > 32) {
            ALLEGRO_BITMAP* glyph = glyphOf(c);
            if (!glyph) continue;
            if (plain)
                al_draw_bitmap(glyph, px, py, 0);
            else
                al_draw_tinted_bitmap(glyph, color, px, py, 0);
            px += al_get_bitmap_width(glyph);
        } else {
            px += advance(c);
        }
    }
}

int Font::getH() {
    return h;
}

void Font::getTextSize(const char* text, int* w, int* h) {
    if (!glyphs[0]) {
        if (w) *w = 0;
        if (h) *h = 0;
        return;
    }
    int widest = 0;
    int lineW = 0;
    int lines = 0;
    for (const char* p = text; *p; p++) {
        if (*p == '\n') {
            lines++;
            lineW = 0;
            continue;
        }
        lineW += advance((unsigned char)*p);
        if (lineW > widest) widest = lineW;
    }
    if (w) *w = widest;
    if (h) *h = this->h + lineH * lines;
}

void Font::cutToWidth(char* text, unsigned size, int maxW) {
    static const char MARK[] = "...";
    int w = 0;
    getTextSize(text, &w, nullptr);
    if (w <= maxW) return;
    int markW = 0;
    getTextSize(MARK, &markW, nullptr);
    size_t len = strlen(text);
    while (len > 0 && (w + markW > maxW || len + sizeof(MARK) > size)) w -= advance((unsigned char)text[--len]);
    if (len + sizeof(MARK) > size) return;
    text[len] = 0;
    strcat(text, MARK);
}

void Font::setColor(ALLEGRO_COLOR color) {
    this->color = color;
}

void Font::resetColor() {
    color = al_map_rgba(255, 255, 255, 255);
}

}  // namespace vek
