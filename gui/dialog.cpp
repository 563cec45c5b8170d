#include "gui/dialog.h"

#include <allegro5/allegro_primitives.h>

#include "gui/gui.h"

namespace vek {
namespace gui {

Dialog::Dialog(Gui* gui, int w, int h) : w(w), h(h), redraw(true), gui(gui) {}

Dialog::~Dialog() {}

void Dialog::render(ALLEGRO_BITMAP* target, int x, int y) {
    (void)target;
    (void)x;
    (void)y;
}

void Dialog::onKeyDown(int navkey) {
    (void)navkey;
}

void Dialog::onControlDown(int code, const char* uid) {
    (void)code;
    (void)uid;
}

void Dialog::drawFrame(ALLEGRO_BITMAP* target, int x, int y, int w, int h) {
    al_set_target_bitmap(target);
    al_draw_filled_rectangle(x, y, x + w - 1, y + h - 1, al_map_rgb(72, 72, 72));
    al_draw_rectangle(x + 2, y + 2, x + w - 2, y + h - 2, al_map_rgb(255, 255, 255), 1);
}

void Dialog::drawSelectionBar(int x, int lineY) {
    al_draw_filled_rectangle(x + 5, lineY, x + w - 5, lineY + gui->font.getH(),
                             al_map_rgb(120, 120, 120));
}

}  // namespace gui
}  // namespace vek
