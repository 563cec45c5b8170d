#pragma once
// Shared by the font, input, dialog and renderer tests: Allegro without a display, input
// events built by hand, pixels read back as 0xAARRGGBB words, and comparison of pictures
// with reference PNGs in tests/data.

#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace guitest {

// Allegro with memory bitmaps, the primitives and the PNG codec; no display is needed. The
// keyboard driver names the keys in the input dialog.
inline void initAllegro() {
    ASSERT_TRUE(al_init());
    ASSERT_TRUE(al_install_keyboard());
    ASSERT_TRUE(al_init_primitives_addon());
    ASSERT_TRUE(al_init_image_addon());
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    al_set_new_bitmap_format(ALLEGRO_PIXEL_FORMAT_ANY);
}

inline ALLEGRO_EVENT keyEvent(unsigned type, int keycode) {
    ALLEGRO_EVENT e;
    memset(&e, 0, sizeof(e));
    e.type = type;
    e.keyboard.keycode = keycode;
    return e;
}

inline ALLEGRO_EVENT buttonEvent(unsigned type, ALLEGRO_JOYSTICK* id, int button) {
    ALLEGRO_EVENT e;
    memset(&e, 0, sizeof(e));
    e.type = type;
    e.joystick.id = id;
    e.joystick.button = button;
    return e;
}

inline ALLEGRO_EVENT axisEvent(ALLEGRO_JOYSTICK* id, int stick, int axis, float pos) {
    ALLEGRO_EVENT e;
    memset(&e, 0, sizeof(e));
    e.type = ALLEGRO_EVENT_JOYSTICK_AXIS;
    e.joystick.id = id;
    e.joystick.stick = stick;
    e.joystick.axis = axis;
    e.joystick.pos = pos;
    return e;
}

struct Pixels {
    int w = 0, h = 0;
    std::vector<uint32_t> argb;
    uint32_t at(int x, int y) const { return argb[(size_t)y * w + x]; }
};

inline Pixels readPixels(ALLEGRO_BITMAP* bmp) {
    Pixels p;
    p.w = al_get_bitmap_width(bmp);
    p.h = al_get_bitmap_height(bmp);
    p.argb.resize((size_t)p.w * p.h);
    ALLEGRO_LOCKED_REGION* r = al_lock_bitmap(bmp, ALLEGRO_PIXEL_FORMAT_ARGB_8888, ALLEGRO_LOCK_READONLY);
    if (!r) {
        ADD_FAILURE() << "cannot lock bitmap";
        return p;
    }
    for (int y = 0; y < p.h; y++) {
        const uint32_t* row = (const uint32_t*)((const char*)r->data + (ptrdiff_t)y * r->pitch);
        for (int x = 0; x < p.w; x++) p.argb[(size_t)y * p.w + x] = row[x];
    }
    al_unlock_bitmap(bmp);
    return p;
}

inline uint32_t rgb(int r, int g, int b) {
    return 0xFF000000u | (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
}

inline std::string outputDir() {
    std::string dir = std::string(VEK_BINARY_DIR) + "/test-output";
    mkdir(dir.c_str(), 0755);
    return dir;
}

inline std::string sourceDir() {
    return std::string(VEK_TEST_DATA_DIR) + "/../..";
}

// Saves the picture under test-output/NAME.png (to be looked at) and compares it pixel by
// pixel with tests/data/NAME.png. A picture that was never approved fails.
inline void expectMatchesReference(ALLEGRO_BITMAP* bmp, const std::string& name) {
    const std::string out = outputDir() + "/" + name + ".png";
    EXPECT_TRUE(al_save_bitmap(out.c_str(), bmp)) << out;
    const std::string ref = std::string(VEK_TEST_DATA_DIR) + "/" + name + ".png";
    ALLEGRO_BITMAP* refBmp = al_load_bitmap(ref.c_str());
    if (!refBmp) {
        ADD_FAILURE() << "no reference picture " << ref << "; look at " << out
                      << " and copy it there if it is right";
        return;
    }
    Pixels a = readPixels(bmp);
    Pixels b = readPixels(refBmp);
    al_destroy_bitmap(refBmp);
    ASSERT_EQ(a.w, b.w) << name;
    ASSERT_EQ(a.h, b.h) << name;
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < a.h; y++) {
        for (int x = 0; x < a.w; x++) {
            if (a.at(x, y) != b.at(x, y)) {
                if (differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
    }
    EXPECT_EQ(differing, 0) << name << ": " << differing << " pixels differ, the first at ("
                            << firstX << "," << firstY << "); see " << out;
}

// A bitmap cleared to one opaque colour.
inline ALLEGRO_BITMAP* makeCanvas(int w, int h, ALLEGRO_COLOR c) {
    ALLEGRO_BITMAP* old = al_get_target_bitmap();
    ALLEGRO_BITMAP* bmp = al_create_bitmap(w, h);
    al_set_target_bitmap(bmp);
    al_clear_to_color(c);
    if (old) al_set_target_bitmap(old);
    return bmp;
}

}  // namespace guitest
