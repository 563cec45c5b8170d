#pragma once

// The real cartridge image running in the real console, for the game's tests: frames with
// held buttons, the game's variables by name (from the linker's label file), and pictures
// drawn by the real renderer into memory bitmaps.

#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "nes/cpu.h"
#include "nes/nes.h"
#include "nes/ppu.h"
#include "nes/rom_data.h"
#include "video/renderer.h"

namespace vektest {

// Addresses of the cartridge's labels, read from the label file ld65 writes next to the image.
class Labels {
public:
    bool load(const std::string& path) {
        std::ifstream in(path);
        if (!in) return false;
        std::string al, hex, name;
        while (in >> al >> hex >> name) {
            if (!name.empty() && name[0] == '.') name = name.substr(1);
            table[name] = (unsigned int)std::stoul(hex, nullptr, 16);
        }
        return !table.empty();
    }
    bool has(const std::string& name) const { return table.count(name) != 0; }
    unsigned int operator[](const std::string& name) const {
        auto it = table.find(name);
        if (it == table.end()) {
            ADD_FAILURE() << "the cartridge has no label " << name;
            return 0;
        }
        return it->second;
    }

private:
    std::map<std::string, unsigned int> table;
};

inline const Labels& cartridgeLabels() {
    static Labels labels;
    static bool loaded = labels.load(std::string(VEK_BINARY_DIR) + "/rom/ember.lbl");
    if (!loaded) ADD_FAILURE() << "cannot read " << VEK_BINARY_DIR << "/rom/ember.lbl";
    return labels;
}

// A picture of 256 x 240 pixels as 0xRRGGBB words.
struct Picture {
    int w = 256, h = 240;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[(size_t)y * w + x]; }
    bool operator==(const Picture& o) const { return w == o.w && h == o.h && pixels == o.pixels; }
    bool operator!=(const Picture& o) const { return !(*this == o); }
};

inline bool startAllegro() {
    static bool ok = al_init() && al_init_image_addon();
    return ok;
}

// The screen part of the renderer's bitmap (the picture without its margins).
inline Picture readScreen(ALLEGRO_BITMAP* bitmap) {
    Picture p;
    p.pixels.resize(256 * 240);
    ALLEGRO_LOCKED_REGION* r = al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ARGB_8888, ALLEGRO_LOCK_READONLY);
    if (!r) {
        ADD_FAILURE() << "cannot lock the frame bitmap";
        return p;
    }
    for (int y = 0; y < 240; y++) {
        const uint32_t* row = (const uint32_t*)((const char*)r->data + (ptrdiff_t)(y + 8) * r->pitch);
        for (int x = 0; x < 256; x++) p.pixels[(size_t)y * 256 + x] = row[x + 8] & 0xFFFFFF;
    }
    al_unlock_bitmap(bitmap);
    return p;
}

inline bool loadPicture(const std::string& path, Picture& out) {
    if (!startAllegro()) return false;
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* b = al_load_bitmap(path.c_str());
    if (!b) return false;
    out.w = al_get_bitmap_width(b);
    out.h = al_get_bitmap_height(b);
    out.pixels.assign((size_t)out.w * out.h, 0);
    ALLEGRO_LOCKED_REGION* r = al_lock_bitmap(b, ALLEGRO_PIXEL_FORMAT_ARGB_8888, ALLEGRO_LOCK_READONLY);
    for (int y = 0; r && y < out.h; y++) {
        const uint32_t* row = (const uint32_t*)((const char*)r->data + (ptrdiff_t)y * r->pitch);
        for (int x = 0; x < out.w; x++) out.pixels[(size_t)y * out.w + x] = row[x] & 0xFFFFFF;
    }
    if (r) al_unlock_bitmap(b);
    al_destroy_bitmap(b);
    return r != nullptr;
}

inline bool savePicture(const std::string& path, const Picture& p) {
    if (!startAllegro()) return false;
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    al_set_new_bitmap_format(ALLEGRO_PIXEL_FORMAT_ANY);
    ALLEGRO_BITMAP* b = al_create_bitmap(p.w, p.h);
    if (!b) return false;
    ALLEGRO_LOCKED_REGION* r = al_lock_bitmap(b, ALLEGRO_PIXEL_FORMAT_ARGB_8888, ALLEGRO_LOCK_WRITEONLY);
    for (int y = 0; r && y < p.h; y++) {
        uint32_t* row = (uint32_t*)((char*)r->data + (ptrdiff_t)y * r->pitch);
        for (int x = 0; x < p.w; x++) row[x] = 0xFF000000 | p.pixels[(size_t)y * p.w + x];
    }
    if (r) al_unlock_bitmap(b);
    bool ok = r && al_save_bitmap(path.c_str(), b);
    al_destroy_bitmap(b);
    return ok;
}

// Where tests leave the pictures they took, for people to look at.
inline std::string shotPath(const std::string& name) {
    std::string dir = std::string(VEK_BINARY_DIR) + "/test-shots";
    (void)system(("mkdir -p '" + dir + "'").c_str());
    return dir + "/" + name;
}

// Player numbers are 0 to 3; buttons use the console's bits (A = 1 ... Right = 128).
class Cartridge {
public:
    vek::nes::Nes* nes;
    vek::Renderer* renderer = nullptr;
    const Labels& labels;
    int frame = 0;              // frames run so far
    int framesWithoutMarker = 0;  // frames since the first marker that ended by budget
    bool sawMarker = false;

    // main-loop work, measured when frames run stepped (see stepFrame): CPU cycles from the
    // end of the frame's NMI to the moment the main loop hands the next frame over (frames
    // during which the game writes video memory itself, picture off, are left out)
    int lastWork = 0;
    int worstWork = 0;
    int worstWorkFrame = 0;
    int lastUsed = 0;  // CPU cycles of the last stepped frame, marker to marker
    bool markerInVblank = false;  // the last stepped frame's marker ran inside vertical blank

    Cartridge() : nes(new vek::nes::Nes()), labels(cartridgeLabels()) { nes->loadInternalRom(vek::ROM_DATA); }
    ~Cartridge() {
        delete renderer;
        delete nes;
    }
    Cartridge(const Cartridge&) = delete;
    Cartridge& operator=(const Cartridge&) = delete;

    void hold(int player, int buttons) {
        nes->clearButtons(player, 0xFF);
        nes->setButtons(player, buttons);
    }
    void release(int player) { nes->clearButtons(player, 0xFF); }

    // one console frame as the program runs it
    bool run() {
        nes->update();
        note();
        return nes->cpu->renderDone;
    }
    void run(int n) {
        for (int i = 0; i < n; i++) run();
    }
    // presses buttons for a few frames, then lets go
    void tap(int player, int buttons, int frames = 3) {
        hold(player, buttons);
        run(frames);
        release(player);
    }

    // One frame run instruction by instruction, measuring the main loop's work (lastWork).
    bool stepFrame() {
        vek::nes::Cpu* cpu = nes->cpu;
        const unsigned int handOver = labels["wait_frame"];
        cpu->renderDone = false;
        int budget = vek::nes::Nes::FRAME_BUDGET;
        int work = 0;
        // neither power-on nor a frame in which the game draws with the picture off counts
        const unsigned int busy = labels["nmi_busy"];
        bool working = sawMarker && cpu->ram[busy] == 0;
        while (budget > 0 && !cpu->renderDone) {
            cpu->run(1);  // one instruction (and the RTI after a frame-done marker)
            int spent = 1 - cpu->cyclesLeft;
            budget -= spent;
            if (working && cpu->ram[busy] != 0) working = false;
            if (working) {
                work += spent;
                if ((cpu->pc & 0xFFFF) == handOver) {
                    working = false;
                    lastWork = work;
                    if (work > worstWork) {
                        worstWork = work;
                        worstWorkFrame = frame;
                    }
                }
            }
        }
        lastUsed = vek::nes::Nes::FRAME_BUDGET - budget;
        markerInVblank = cpu->inVblank == 1;
        note();
        return cpu->renderDone;
    }

    unsigned int addr(const std::string& label) const { return labels[label]; }
    int ram(const std::string& label, int index = 0) const { return nes->cpu->ram[(labels[label] + index) & 0x7FF]; }
    int ram16(const std::string& label) const { return ram(label) | ram(label, 1) << 8; }

    Picture picture() {
        if (!renderer) {
            startAllegro();
            al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
            al_set_new_bitmap_format(ALLEGRO_PIXEL_FORMAT_ANY);
            renderer = new vek::Renderer(nes->ppu);
        }
        renderer->update();
        return readScreen(renderer->bitmap);
    }

    // sprites on the screen (Y below 239) with the given palette
    int spritesWithPalette(int palette) const {
        int n = 0;
        for (int i = 0; i < 64; i++) {
            const unsigned char* s = &nes->ppu->oam[4 * i];
            if (s[0] < 239 && (s[2] & 3) == palette) n++;
        }
        return n;
    }

private:
    void note() {
        frame++;
        if (nes->cpu->renderDone)
            sawMarker = true;
        else if (sawMarker)
            framesWithoutMarker++;
    }
};

// A recorded input script (vek-runner's format, as tools/autoplay writes it): button changes by
// frame, and the moments it marks ("# NAME at frame F").
struct Recording {
    std::map<int, std::vector<std::pair<int, int>>> changes;  // frame -> (player, buttons)
    std::map<int, std::string> marks;                         // frame -> name
    int endFrame = -1;

    bool load(const std::string& path) {
        std::ifstream in(path);
        if (!in) return false;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream ws(line);
            if (line.compare(0, 1, "#") == 0) {
                std::string hash, name, at, word;
                int frame;
                if (ws >> hash >> name >> at >> word >> frame && at == "at" && word == "frame") {
                    if (name == "end")
                        endFrame = frame;
                    else
                        marks[frame] = name;
                }
                continue;
            }
            int frame, player;
            std::string buttons;
            if (!(ws >> frame >> player >> buttons)) continue;
            int mask = 0;
            const char* letters = "ABsSUDLR";
            for (char c : buttons)
                for (int b = 0; b < 8; b++)
                    if (c == letters[b]) mask |= 1 << b;
            changes[frame].push_back({player - 1, mask});
        }
        return endFrame >= 0;
    }
};

}  // namespace vektest
