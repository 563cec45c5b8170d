#include <allegro5/allegro.h>

#include "app/util.h"

namespace vek {

// Header: width and height big-endian, then the key colour; then r g b per pixel, rows from
// the top. Pixels of the key colour become fully transparent.
ALLEGRO_BITMAP* Util::loadStaticBitmap(const unsigned char* data) {
    const int w = (data[0] << 8) | data[1];
    const int h = (data[2] << 8) | data[3];
    const unsigned char keyR = data[4], keyG = data[5], keyB = data[6];
    const unsigned char* p = data + 7;

    ALLEGRO_BITMAP* oldTarget = al_get_target_bitmap();
    ALLEGRO_BITMAP* bmp = al_create_bitmap(w, h);
    if (!bmp) return nullptr;
    if (!al_lock_bitmap(bmp, al_get_bitmap_format(bmp), ALLEGRO_LOCK_WRITEONLY)) {
        al_destroy_bitmap(bmp);
        return nullptr;
    }
    al_set_target_bitmap(bmp);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++, p += 3) {
            const bool key = p[0] == keyR && p[1] == keyG && p[2] == keyB;
            al_put_pixel(x, y, al_map_rgba(p[0], p[1], p[2], key ? 0 : 255));
        }
    }
    al_set_target_bitmap(oldTarget);
    al_unlock_bitmap(bmp);
    return bmp;
}

}  // namespace vek
