// Turns the glyph art of the overlay font into a glyph strip in the static bitmap format:
// a 7-byte header (width and height big-endian, key colour r g b) and then r g b per pixel,
// rows from the top. Ink is white, blank pixels are the black key colour; the last row is
// the marker row, red at the first column of every glyph and once more after the last one.
// usage: fontconv GLYPHS.txt OUTPUT.sbmp WIDTH
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int FIRST_CHAR = 32;
const int NUM_GLYPHS = 96;
const int GLYPH_H = 7;

struct Glyph {
    int code = -1;
    int line = 0;
    std::vector<std::string> rows;
};

bool fail(const char* file, int line, const char* what) {
    fprintf(stderr, "%s:%d: %s\n", file, line, what);
    return false;
}

// "[A]" names the glyph of 'A', "[DEL]" the glyph of 127
int headerCode(const std::string& s) {
    if (s == "[DEL]") return 127;
    if (s.size() == 3 && s[0] == '[' && s[2] == ']') return (unsigned char)s[1];
    return -1;
}

bool parse(const char* path, std::vector<Glyph>& glyphs) {
    std::ifstream in(path);
    if (!in) {
        fprintf(stderr, "fontconv: cannot open %s\n", path);
        return false;
    }
    std::string s;
    int line = 0;
    Glyph* cur = nullptr;
    while (std::getline(in, s)) {
        line++;
        if (!s.empty() && s.back() == '\r') s.pop_back();
        if (s.empty() || s[0] == ';') continue;
        if (!cur || (int)cur->rows.size() == GLYPH_H) {
            int code = headerCode(s);
            if (code < FIRST_CHAR || code >= FIRST_CHAR + NUM_GLYPHS)
                return fail(path, line, "expected a glyph header such as [A]");
            glyphs.push_back(Glyph());
            cur = &glyphs.back();
            cur->code = code;
            cur->line = line;
            continue;
        }
        if (s.find_first_not_of("#.") != std::string::npos)
            return fail(path, line, "glyph rows hold only '#' and '.'");
        if (!cur->rows.empty() && s.size() != cur->rows[0].size())
            return fail(path, line, "all rows of a glyph must have the same width");
        cur->rows.push_back(s);
    }
    if (cur && (int)cur->rows.size() != GLYPH_H)
        return fail(path, cur->line, "glyph has fewer than seven rows");
    if ((int)glyphs.size() != NUM_GLYPHS) {
        fprintf(stderr, "%s: %zu glyphs, expected %d (codes 32 to 127)\n", path, glyphs.size(),
                NUM_GLYPHS);
        return false;
    }
    for (int i = 0; i < NUM_GLYPHS; i++) {
        if (glyphs[i].code != FIRST_CHAR + i)
            return fail(path, glyphs[i].line, "glyphs must follow each other in code order");
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: fontconv GLYPHS.txt OUTPUT.sbmp WIDTH\n");
        return 2;
    }
    std::vector<Glyph> glyphs;
    if (!parse(argv[1], glyphs)) return 1;

    // every glyph gets one blank column on its right; the closing marker needs one column too
    int used = 0;
    for (const Glyph& g : glyphs) used += (int)g.rows[0].size() + 1;
    const int width = atoi(argv[3]);
    const int height = GLYPH_H + 1;
    if (width < used + 1 || width > 65535) {
        fprintf(stderr, "fontconv: the glyphs need %d columns, the strip is %d wide\n", used + 1,
                width);
        return 1;
    }

    std::vector<unsigned char> px((size_t)width * height * 3, 0);
    auto set = [&](int x, int y, unsigned char r, unsigned char g, unsigned char b) {
        unsigned char* p = &px[((size_t)y * width + x) * 3];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    };
    int x0 = 0;
    for (const Glyph& g : glyphs) {
        int w = (int)g.rows[0].size();
        for (int y = 0; y < GLYPH_H; y++) {
            for (int x = 0; x < w; x++) {
                if (g.rows[y][x] == '#') set(x0 + x, y, 255, 255, 255);
            }
        }
        set(x0, GLYPH_H, 255, 0, 0);
        x0 += w + 1;
    }
    set(x0, GLYPH_H, 255, 0, 0);

    FILE* out = fopen(argv[2], "wb");
    if (!out) {
        fprintf(stderr, "fontconv: cannot write %s\n", argv[2]);
        return 1;
    }
    const unsigned char header[7] = {(unsigned char)(width >> 8), (unsigned char)width,
                                     (unsigned char)(height >> 8), (unsigned char)height, 0, 0, 0};
    fwrite(header, 1, sizeof(header), out);
    fwrite(px.data(), 1, px.size(), out);
    if (fclose(out) != 0) return 1;
    return 0;
}
