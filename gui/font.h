#pragma once

#include <allegro5/allegro.h>

namespace vek {

// the font's glyph strip in the static bitmap format, made from gui/font/glyphs.txt
extern const unsigned char SBMP_FONT[];

// The overlay menus' proportional bitmap font: one small bitmap per character 32 to 127,
// cut from SBMP_FONT, drawn plainly or tinted. Bytes 128 and above show the box of 127.
class Font {
public:
    static const int FIRST_CHAR = 32;
    static const int NUM_GLYPHS = 96;

    ALLEGRO_BITMAP* glyphs[NUM_GLYPHS];
    int h;
    int lineH;  // distance from one text line to the next; dialogs set it before drawing
    ALLEGRO_COLOR color;
    ALLEGRO_BITMAP* strip;  // the decoded image; each glyph is a sub-bitmap of it

    Font();
    ~Font();

    // loading (the path is not read: the glyphs are compiled in)
    bool load(const char* path);

    // drawing and measuring
    void drawText(ALLEGRO_BITMAP* target, int x, int y, const char* text);
    int getH();
    void getTextSize(const char* text, int* w, int* h);
    // cuts a one-line text (in a buffer of `size` bytes) that is wider than maxW so that it
    // fits with "..." at its end
    void cutToWidth(char* text, unsigned size, int maxW);

    // tint
    void setColor(ALLEGRO_COLOR color);
    void resetColor();

private:
    ALLEGRO_BITMAP* glyphOf(unsigned char c);
    int advance(unsigned char c);
};

}  // namespace vek
