// gfxconv: the cartridge's graphics and floor converter.
//
// usage: gfxconv OUTDIR INPUT...
//
// Reads text pixel art (one character per pixel: '.' or '0' is colour 0, '1' to '3' the
// palette colours), metatile definitions and floor maps, and writes into OUTDIR:
//   ember.chr       8,192 bytes: pattern table 0 (background) then pattern table 1 (sprites)
//   gfx_const.inc   constants and .global declarations for every assembly module
//   gfx_data.inc    the tables themselves (metasprites, background blocks, metatiles, floors)
//   chr_preview.png both pattern tables side by side, for review
//   chr_tiles.txt   what first took each used tile ("TABLE INDEX OWNER"), for budgeting
//
// Input directives (one per line, '#' starts a comment outside pixel rows):
//   types NAME...              metatile behaviours, numbered from 0 (MTT_NAME)
//   entities NAME...           object kinds placed by floor maps, numbered from 0 (ENT_NAME)
//   entity CHAR NAME [UNDER] [standing]
//                              map character CHAR places object NAME on metatile char UNDER;
//                              a standing object needs ground under it on every floor
//   ground TYPE...             the metatile behaviours that are ground to stand on
//   glyph CHAR                 8 rows: font glyph at index (CHAR - 32) of table 0
//   fontcopy TEXT              copies those glyphs to the same indices of table 1
//   sprite NAME WxH            H*8 rows of W*8: a metasprite ms_NAME (tiles in table 1,
//                              shared under flips, blank tiles left out)
//   bg NAME WxH TABLE          a block of background tiles bg_NAME: width, height, tiles
//   metatile NAME CHAR PAL TYPE  16 rows of 16: a 2x2-tile metatile of table 0
//   level NAME                 map rows of 16 characters up to "end"
//
// A floor's portals (behaviour "portal") link in pairs from the top down, the first with the
// second and the third with the fourth; linked portals stay within PORTAL_REACH rows of each
// other, so that the upper one is loaded while a mage stands at the lower one (the view keeps
// the highest mage six rows below its top and loads one row above it).
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Tile {
    unsigned char px[8][8] = {};
    bool operator==(const Tile& o) const { return memcmp(px, o.px, sizeof px) == 0; }
    bool blank() const {
        for (auto& r : px)
            for (unsigned char c : r)
                if (c) return false;
        return true;
    }
    Tile flipped(bool h, bool v) const {
        Tile t;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) t.px[y][x] = px[v ? 7 - y : y][h ? 7 - x : x];
        return t;
    }
};

struct Table {
    Tile tiles[256];
    bool used[256] = {};
    std::string owner[256];
    int count() const { return (int)std::count(used, used + 256, true); }
};

struct Art {
    int w = 0, h = 0;  // in tiles
    std::vector<std::string> rows;
    std::string where;
    Tile tileAt(int tx, int ty) const {
        Tile t;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) {
                char c = rows[ty * 8 + y][tx * 8 + x];
                t.px[y][x] = (c == '.' || c == '0') ? 0 : (unsigned char)(c - '0');
            }
        return t;
    }
};

struct Glyph {
    char ch;
    Art art;
};
struct Sprite {
    std::string name;
    Art art;
};
struct Block {
    std::string name;
    int table;
    Art art;
};
struct Metatile {
    std::string name;
    char ch;
    int pal;
    std::string type;
    Art art;
};
struct EntityChar {
    char ch;
    std::string name;
    char under;
    bool standing;
};
struct Level {
    std::string name;
    std::vector<std::string> rows;
    std::string where;
};

const int MAX_PORTALS = 4, PORTAL_REACH = 7;

std::vector<std::string> g_types, g_entities, g_ground;
std::vector<EntityChar> g_entityChars;
std::vector<Glyph> g_glyphs;
std::string g_fontCopy;
std::vector<Sprite> g_sprites;
std::vector<Block> g_blocks;
std::vector<Metatile> g_metatiles;
std::vector<Level> g_levels;
Table g_tables[2];

[[noreturn]] void fail(const std::string& where, const std::string& msg) {
    fprintf(stderr, "%s: error: %s\n", where.c_str(), msg.c_str());
    exit(1);
}

std::string upper(std::string s) {
    for (char& c : s) c = (char)toupper((unsigned char)c);
    return s;
}

std::string lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

bool validName(const std::string& s) {
    if (s.empty() || !(isalpha((unsigned char)s[0]) || s[0] == '_')) return false;
    for (char c : s)
        if (!(isalnum((unsigned char)c) || c == '_')) return false;
    return true;
}

std::string stripComment(const std::string& line) {
    size_t p = line.find('#');
    return p == std::string::npos ? line : line.substr(0, p);
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

// One input file, read line by line.
struct Reader {
    std::vector<std::string> lines;
    std::string file;
    size_t pos = 0;
    std::string where() const { return file + ":" + std::to_string(pos); }
};

bool pixelRow(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!(c == '.' || (c >= '0' && c <= '3'))) return false;
    return true;
}

Art readArt(Reader& r, int w, int h) {
    Art a;
    a.w = w;
    a.h = h;
    a.where = r.where();
    while ((int)a.rows.size() < h * 8) {
        if (r.pos >= r.lines.size()) fail(a.where, "pixel art ends early");
        std::string row = trim(r.lines[r.pos++]);
        if (row.empty()) continue;
        if (!pixelRow(row)) fail(r.where(), "not a pixel row: '" + row + "'");
        if ((int)row.size() != w * 8)
            fail(r.where(), "pixel row is " + std::to_string(row.size()) + " wide, expected " +
                                std::to_string(w * 8));
        a.rows.push_back(row);
    }
    return a;
}

bool parseSize(const std::string& s, int& w, int& h) {
    return sscanf(s.c_str(), "%dx%d", &w, &h) == 2 && w >= 1 && h >= 1 && w <= 32 && h <= 30;
}

char parseChar(const std::string& word, const std::string& where) {
    if (word == "space") return ' ';
    if (word == "hash") return '#';
    if (word.size() != 1) fail(where, "expected one character, got '" + word + "'");
    return word[0];
}

void parseFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail(path, "cannot open");
    Reader r;
    r.file = path;
    std::string line;
    while (std::getline(in, line)) r.lines.push_back(line);

    while (r.pos < r.lines.size()) {
        std::string raw = r.lines[r.pos++];
        std::string text = trim(stripComment(raw));
        if (text.empty()) continue;
        std::istringstream ws(text);
        std::string cmd;
        ws >> cmd;
        std::vector<std::string> args;
        std::string a;
        while (ws >> a) args.push_back(a);
        std::string where = r.where();

        if (cmd == "types") {
            for (auto& t : args) g_types.push_back(t);
        } else if (cmd == "entities") {
            for (auto& t : args) g_entities.push_back(t);
        } else if (cmd == "entity") {
            bool standing = !args.empty() && args.back() == "standing";
            if (standing) args.pop_back();
            if (args.size() < 2 || args.size() > 3) fail(where, "entity CHAR NAME [UNDER] [standing]");
            EntityChar e{parseChar(args[0], where), args[1], args.size() > 2 ? parseChar(args[2], where) : '.',
                         standing};
            g_entityChars.push_back(e);
        } else if (cmd == "ground") {
            for (auto& t : args) g_ground.push_back(t);
        } else if (cmd == "glyph") {
            // the character itself may be '#', which stripComment removed
            std::string t = trim(raw);
            std::string word = trim(t.substr(5));
            if (word.empty()) word = "#";
            char ch = parseChar(word, where);
            if (ch < 32 || ch > 95) fail(where, "glyphs cover ASCII 32 to 95");
            g_glyphs.push_back({ch, readArt(r, 1, 1)});
        } else if (cmd == "fontcopy") {
            size_t q1 = raw.find('"'), q2 = raw.rfind('"');
            if (q1 == std::string::npos || q2 == q1) fail(where, "fontcopy \"TEXT\"");
            g_fontCopy += raw.substr(q1 + 1, q2 - q1 - 1);
        } else if (cmd == "sprite") {
            int w, h;
            if (args.size() != 2 || !validName(args[0]) || !parseSize(args[1], w, h))
                fail(where, "sprite NAME WxH");
            g_sprites.push_back({args[0], readArt(r, w, h)});
        } else if (cmd == "bg") {
            int w, h;
            if (args.size() != 3 || !validName(args[0]) || !parseSize(args[1], w, h) ||
                (args[2] != "0" && args[2] != "1"))
                fail(where, "bg NAME WxH TABLE");
            g_blocks.push_back({args[0], args[2][0] - '0', readArt(r, w, h)});
        } else if (cmd == "metatile") {
            // the map character may be '#'
            std::istringstream rs(trim(raw));
            std::string c0, name, chw, pal, type;
            rs >> c0 >> name >> chw >> pal >> type;
            if (!validName(name) || pal.size() != 1 || pal[0] < '0' || pal[0] > '3' || type.empty())
                fail(where, "metatile NAME CHAR PALETTE TYPE");
            g_metatiles.push_back({name, parseChar(chw, where), pal[0] - '0', type, readArt(r, 2, 2)});
        } else if (cmd == "level") {
            if (args.size() != 1 || !validName(args[0])) fail(where, "level NAME");
            Level lv;
            lv.name = args[0];
            lv.where = where;
            for (;;) {
                if (r.pos >= r.lines.size()) fail(where, "level without end");
                std::string row = r.lines[r.pos++];
                while (!row.empty() && (row.back() == '\r' || row.back() == ' ')) row.pop_back();
                if (trim(row) == "end") break;
                if (row.empty() || row[0] == ';') continue;  // ';' starts a comment line in maps
                if (row.size() != 16)
                    fail(r.where(), "map rows are 16 characters wide, this one is " + std::to_string(row.size()));
                lv.rows.push_back(row);
            }
            g_levels.push_back(lv);
        } else {
            fail(where, "unknown directive '" + cmd + "'");
        }
    }
}

// Finds the tile in the table (optionally under a flip) or gives it a free index.
int placeTile(int table, const Tile& t, bool allowFlip, int& attr, const std::string& owner) {
    Table& tb = g_tables[table];
    attr = 0;
    for (int i = 0; i < 256; i++) {
        if (!tb.used[i]) continue;
        if (tb.tiles[i] == t) return i;
    }
    if (allowFlip) {
        for (int i = 0; i < 256; i++) {
            if (!tb.used[i]) continue;
            for (int f = 1; f < 4; f++) {
                if (tb.tiles[i].flipped(f & 1, f & 2) == t) {
                    attr = ((f & 1) ? 0x40 : 0) | ((f & 2) ? 0x80 : 0);
                    return i;
                }
            }
        }
    }
    for (int i = 0; i < 256; i++) {
        if (!tb.used[i]) {
            tb.used[i] = true;
            tb.tiles[i] = t;
            tb.owner[i] = owner;
            return i;
        }
    }
    fail(owner, "pattern table " + std::to_string(table) + " is full");
}

int typeIndex(const std::string& name, const std::string& where) {
    for (size_t i = 0; i < g_types.size(); i++)
        if (g_types[i] == name) return (int)i;
    fail(where, "unknown metatile type '" + name + "'");
}

int entityIndex(const std::string& name, const std::string& where) {
    for (size_t i = 0; i < g_entities.size(); i++)
        if (g_entities[i] == name) return (int)i;
    fail(where, "unknown entity '" + name + "'");
}

int metatileOfChar(char c) {
    for (size_t i = 0; i < g_metatiles.size(); i++)
        if (g_metatiles[i].ch == c) return (int)i;
    return -1;
}

std::string hex2(int v) {
    char b[8];
    snprintf(b, sizeof b, "$%02X", v & 0xFF);
    return b;
}

// Writes a list of bytes as .byte lines of at most 16 values.
void writeBytes(std::ostream& o, const std::vector<int>& v) {
    for (size_t i = 0; i < v.size(); i += 16) {
        o << "    .byte ";
        for (size_t j = i; j < v.size() && j < i + 16; j++) o << (j > i ? "," : "") << hex2(v[j]);
        o << "\n";
    }
}

bool isGround(int mt) {
    const std::string& type = g_metatiles[mt].type;
    return std::find(g_ground.begin(), g_ground.end(), type) != g_ground.end();
}

// The rules a floor's map keeps: standing objects stand on ground, portals come in pairs
// close enough to be loaded together.
void checkFloor(const Level& lv, const std::vector<int>& map) {
    auto at = [&](size_t r, int c) { return "floor " + lv.name + " row " + std::to_string(r + 1) + " column " +
                                            std::to_string(c + 1); };
    std::vector<std::pair<size_t, int>> portals;
    for (size_t r = 0; r < lv.rows.size(); r++)
        for (int c = 0; c < 16; c++) {
            char ch = lv.rows[r][c];
            auto it = std::find_if(g_entityChars.begin(), g_entityChars.end(),
                                   [&](const EntityChar& e) { return e.ch == ch; });
            if (it != g_entityChars.end() && it->standing &&
                (r + 1 >= lv.rows.size() || !isGround(map[(r + 1) * 16 + c])))
                fail(lv.where, at(r, c) + ": " + it->name + " stands on nothing (put it on the row above ground)");
            if (g_metatiles[map[r * 16 + c]].type == "portal") portals.push_back({r, c});
        }
    if (portals.size() > (size_t)MAX_PORTALS)
        fail(lv.where, "floor " + lv.name + " has " + std::to_string(portals.size()) + " portals, at most " +
                           std::to_string(MAX_PORTALS));
    if (portals.size() % 2)
        fail(lv.where, at(portals.back().first, portals.back().second) + ": a portal without a partner");
    for (size_t i = 0; i < portals.size(); i += 2) {
        size_t gap = portals[i + 1].first - portals[i].first;
        if (gap > (size_t)PORTAL_REACH)
            fail(lv.where, at(portals[i].first, portals[i].second) + ": its linked portal (" +
                               at(portals[i + 1].first, portals[i + 1].second) + ") is " + std::to_string(gap) +
                               " rows below, more than the " + std::to_string(PORTAL_REACH) +
                               " loaded above a mage at it");
    }
}

bool writePreview(const std::string& path) {
    // two tables of 16 x 16 tiles, each tile 8 x 8 pixels scaled 3 times, one pixel of grid
    const int scale = 3, cell = 8 * scale + 1, tableW = 16 * cell + 1, gap = 12;
    const int W = tableW * 2 + gap, H = tableW;
    std::vector<unsigned char> rgb(W * H * 3, 0);
    const unsigned char grid[3] = {40, 40, 48};
    const unsigned char shades[2][4][3] = {
        {{16, 16, 24}, {96, 72, 56}, {176, 144, 112}, {248, 232, 200}},   // background
        {{16, 24, 40}, {200, 40, 40}, {248, 184, 136}, {40, 24, 16}},    // sprites
    };
    for (int t = 0; t < 2; t++) {
        int ox = t * (tableW + gap);
        for (int y = 0; y < H; y++)
            for (int x = 0; x < tableW; x++) memcpy(&rgb[(y * W + ox + x) * 3], grid, 3);
        for (int i = 0; i < 256; i++) {
            int cx = ox + 1 + (i % 16) * cell, cy = 1 + (i / 16) * cell;
            const Tile& tl = g_tables[t].tiles[i];
            for (int y = 0; y < 8 * scale; y++)
                for (int x = 0; x < 8 * scale; x++) {
                    const unsigned char* c = g_tables[t].used[i] ? shades[t][tl.px[y / scale][x / scale]]
                                                                 : (((x / 4 + y / 4) & 1) ? grid : shades[t][0]);
                    memcpy(&rgb[((cy + y) * W + cx + x) * 3], c, 3);
                }
        }
    }
    png_image img;
    memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = W;
    img.height = H;
    img.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&img, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: gfxconv OUTDIR INPUT...\n");
        return 2;
    }
    std::string out = argv[1];
    std::vector<std::string> inputs;
    for (int i = 2; i < argc; i++) {
        inputs.push_back(argv[i]);
        parseFile(argv[i]);
    }

    // index 0 of both tables is the blank tile (the space glyph)
    for (auto& tb : g_tables) {
        tb.used[0] = true;
        tb.owner[0] = "blank";
    }
    for (auto& g : g_glyphs) {
        int idx = g.ch - 32;
        std::string owner = std::string("glyph '") + g.ch + "'";
        if (idx != 0 && g_tables[0].used[idx]) fail(g.art.where, "glyph defined twice");
        Tile t = g.art.tileAt(0, 0);
        if (idx == 0 && !t.blank()) fail(g.art.where, "the space glyph must be blank");
        g_tables[0].used[idx] = true;
        g_tables[0].tiles[idx] = t;
        g_tables[0].owner[idx] = owner;
        if (g_fontCopy.find(g.ch) != std::string::npos) {
            g_tables[1].used[idx] = true;
            g_tables[1].tiles[idx] = t;
            g_tables[1].owner[idx] = owner;
        }
    }
    for (char c : g_fontCopy)
        if (!g_tables[1].used[c - 32]) fail("fontcopy", std::string("no glyph for '") + c + "'");

    std::ostringstream cst, dat;
    std::string banner = "; generated by gfxconv from the cartridge's art and floor sources; do not edit\n";
    cst << banner << "\n; metatile behaviours\n";
    for (size_t i = 0; i < g_types.size(); i++) cst << "MTT_" << upper(g_types[i]) << " = " << i << "\n";
    cst << "\n; object kinds placed by the floor maps\n";
    for (size_t i = 0; i < g_entities.size(); i++) cst << "ENT_" << upper(g_entities[i]) << " = " << i << "\n";
    dat << banner;

    // metatiles first, so that level tiles sit together in table 0
    std::vector<int> tl, tr, bl, br, at, ty;
    cst << "\n; metatiles (16 x 16 pixels)\nNUM_METATILES = " << g_metatiles.size() << "\n";
    for (size_t i = 0; i < g_metatiles.size(); i++) {
        auto& m = g_metatiles[i];
        if (metatileOfChar(m.ch) != (int)i) fail(m.art.where, std::string("map character '") + m.ch + "' used twice");
        int dummy;
        std::string owner = "metatile " + m.name;
        tl.push_back(placeTile(0, m.art.tileAt(0, 0), false, dummy, owner));
        tr.push_back(placeTile(0, m.art.tileAt(1, 0), false, dummy, owner));
        bl.push_back(placeTile(0, m.art.tileAt(0, 1), false, dummy, owner));
        br.push_back(placeTile(0, m.art.tileAt(1, 1), false, dummy, owner));
        at.push_back(m.pal);
        ty.push_back(typeIndex(m.type, m.art.where));
        cst << "MT_" << upper(m.name) << " = " << i << "\n";
    }
    if (g_metatiles.size() > 256) fail("metatiles", "more than 256 metatiles");
    if (!g_metatiles.empty()) {
        cst << ".global mt_tl, mt_tr, mt_bl, mt_br, mt_pal, mt_type\n";
        const char* names[] = {"mt_tl", "mt_tr", "mt_bl", "mt_br", "mt_pal", "mt_type"};
        std::vector<int>* tabs[] = {&tl, &tr, &bl, &br, &at, &ty};
        for (int k = 0; k < 6; k++) {
            dat << "\n" << names[k] << ":\n";
            writeBytes(dat, *tabs[k]);
        }
    }

    // background blocks
    cst << "\n; background blocks: width, height, then tiles row by row\n";
    for (auto& b : g_blocks) {
        std::vector<int> bytes{b.art.w, b.art.h};
        for (int y = 0; y < b.art.h; y++)
            for (int x = 0; x < b.art.w; x++) {
                int dummy;
                bytes.push_back(placeTile(b.table, b.art.tileAt(x, y), false, dummy, "bg " + b.name));
            }
        cst << ".global bg_" << lower(b.name) << "\n";
        if (b.art.w == 1 && b.art.h == 1) cst << "TILE_" << upper(b.name) << " = " << hex2(bytes[2]) << "\n";
        dat << "\nbg_" << lower(b.name) << ":\n";
        writeBytes(dat, bytes);
    }

    // metasprites: count, width in pixels, then (dy, tile, attributes, dx) per sprite
    cst << "\n; metasprites: count, width in pixels, then dy, tile, attributes, dx per sprite\n";
    for (auto& s : g_sprites) {
        std::vector<int> bytes{0, s.art.w * 8};
        int n = 0;
        for (int y = 0; y < s.art.h; y++)
            for (int x = 0; x < s.art.w; x++) {
                Tile t = s.art.tileAt(x, y);
                if (t.blank()) continue;
                int attr;
                int idx = placeTile(1, t, true, attr, "sprite " + s.name);
                bytes.insert(bytes.end(), {y * 8, idx, attr, x * 8});
                n++;
            }
        bytes[0] = n;
        cst << ".global ms_" << lower(s.name) << "\n";
        if (s.art.w == 1 && s.art.h == 1 && n == 1) {
            cst << "TILE_" << upper(s.name) << " = " << hex2(bytes[3]) << "\n";
            if (bytes[4] != 0) fail(s.art.where, "single-tile sprite stored flipped");
        }
        dat << "\nms_" << lower(s.name) << ":\n";
        writeBytes(dat, bytes);
    }

    for (auto& t : g_ground) typeIndex(t, "ground");
    for (auto& e : g_entityChars)
        if (metatileOfChar(e.ch) >= 0)
            fail("entity " + e.name, std::string("map character '") + e.ch + "' is also a metatile's");

    // floors: rows from the top, 16 metatile numbers each; objects bottom first:
    // row (from the top), column, kind; $FF ends the list
    cst << "\n; floors\n";
    for (auto& lv : g_levels) {
        std::vector<int> map, objs;
        struct Obj {
            int row, col, kind;
        };
        std::vector<Obj> list;
        for (size_t r = 0; r < lv.rows.size(); r++) {
            for (int c = 0; c < 16; c++) {
                char ch = lv.rows[r][c];
                int mt = metatileOfChar(ch);
                if (mt < 0) {
                    auto it = std::find_if(g_entityChars.begin(), g_entityChars.end(),
                                           [&](const EntityChar& e) { return e.ch == ch; });
                    if (it == g_entityChars.end())
                        fail(lv.where, "floor " + lv.name + " row " + std::to_string(r + 1) +
                                           ": unknown map character '" + std::string(1, ch) + "'");
                    mt = metatileOfChar(it->under);
                    if (mt < 0) fail(lv.where, "entity '" + it->name + "' stands on an unknown metatile");
                    list.push_back({(int)r, c, entityIndex(it->name, lv.where)});
                }
                map.push_back(mt);
            }
        }
        if (lv.rows.size() < 15 || lv.rows.size() > 250)
            fail(lv.where, "floor " + lv.name + " must have 15 to 250 rows");
        checkFloor(lv, map);
        std::stable_sort(list.begin(), list.end(), [](const Obj& a, const Obj& b) { return a.row > b.row; });
        for (auto& o : list) objs.insert(objs.end(), {o.row, o.col, o.kind});
        objs.push_back(0xFF);
        std::string n = lower(lv.name);
        cst << ".global lvl_" << n << "_map, lvl_" << n << "_objs\n";
        cst << "LVL_" << upper(lv.name) << "_ROWS = " << lv.rows.size() << "\n";
        dat << "\nlvl_" << n << "_map:\n";
        writeBytes(dat, map);
        dat << "lvl_" << n << "_objs:\n";
        writeBytes(dat, objs);
    }

    cst << "\n; pattern table use\nCHR_TILES_BG = " << g_tables[0].count() << "\nCHR_TILES_SPRITE = " << g_tables[1].count()
        << "\n";

    auto save = [&](const std::string& name, const std::string& text) {
        std::string path = out + "/" + name;
        std::ofstream f(path, std::ios::binary);
        f << text;
        if (!f) fail(path, "cannot write");
    };
    save("gfx_const.inc", cst.str());
    save("gfx_data.inc", dat.str());

    std::string chr(8192, '\0');
    for (int t = 0; t < 2; t++)
        for (int i = 0; i < 256; i++) {
            const Tile& tile = g_tables[t].tiles[i];
            for (int y = 0; y < 8; y++) {
                int lo = 0, hi = 0;
                for (int x = 0; x < 8; x++) {
                    lo |= (tile.px[y][x] & 1) << (7 - x);
                    hi |= ((tile.px[y][x] >> 1) & 1) << (7 - x);
                }
                chr[t * 4096 + i * 16 + y] = (char)lo;
                chr[t * 4096 + i * 16 + 8 + y] = (char)hi;
            }
        }
    save("ember.chr", chr);
    std::ostringstream owners;
    for (int t = 0; t < 2; t++)
        for (int i = 0; i < 256; i++)
            if (g_tables[t].used[i]) owners << t << " " << hex2(i) << " " << g_tables[t].owner[i] << "\n";
    save("chr_tiles.txt", owners.str());
    if (!writePreview(out + "/chr_preview.png")) fail(out, "cannot write chr_preview.png");
    printf("gfxconv: table 0 %d/256 tiles, table 1 %d/256 tiles, %zu metatiles, %zu floors\n",
           g_tables[0].count(), g_tables[1].count(), g_metatiles.size(), g_levels.size());
    return 0;
}
