#include "gui/message_dialog.h"

#include <allegro5/allegro_primitives.h>

#include <cstring>

#include "app/util.h"
#include "gui/gui.h"
#include "input/input.h"

namespace vek {
namespace gui {

MessageDialog::MessageDialog(Gui* gui, int w, int h, const char* text, int selected,
                             bool unboundButtonAccepts)
    : Dialog(gui, w, h),
      selected(selected),
      numOptions(1),
      backOption(0),
      unboundButtonAccepts(unboundButtonAccepts),
      callback(nullptr) {
    Util::strncpy0(this->text, text, sizeof(this->text));
    memset(options, 0, sizeof(options));
}

MessageDialog::~MessageDialog() {}

void MessageDialog::setOptions(const char* option0, const char* option1, const char* option2,
                               MessageCallback callback, int backOption) {
    memset(options, 0, sizeof(options));
    numOptions = 0;
    const char* labels[3] = {option0, option1, option2};
    int last = 0;
    for (int i = 0; i < 3; i++) {
        if (!labels[i]) continue;
        Util::strncpy0(options[i].label, labels[i], sizeof(options[i].label));
        numOptions++;
        last = i;
    }
    if (backOption == -1)
        this->backOption = last;
    else if (this->backOption == -1)
        this->backOption = 0;
    this->callback = callback;

    Font& font = gui->font;
    font.lineH = font.getH() + 2;
    int th = 0;
    font.getTextSize(text, nullptr, &th);
    int pos = 5;
    for (int i = 0; i < 3; i++) {
        int lw = 0, lh = 0;
        font.getTextSize(options[i].label, &lw, &lh);
        options[i].x = pos;
        options[i].y = th + 8;
        options[i].w = lw;
        options[i].h = lh;
        pos += lw + 10;
    }
}

void MessageDialog::accept() {
    if (callback && selected >= 0 && selected <= 2) callback(gui, selected);
}

void MessageDialog::onKeyDown(int navkey) {
    switch (navkey) {
    case NAVKEY_LEFT:
        if (numOptions == 0) break;
        selected = (selected + numOptions - 1) % numOptions;
        redraw = true;
        break;
    case NAVKEY_RIGHT:
        if (numOptions == 0) break;
        selected = (selected + 1) % numOptions;
        redraw = true;
        break;
    case NAVKEY_ACCEPT:
        accept();
        break;
    case NAVKEY_BACK:
        if (selected != backOption) {
            selected = backOption;
            redraw = true;
        } else {
            accept();
        }
        break;
    case NAVKEY_UNBOUND_BUTTON:
        if (unboundButtonAccepts) accept();
        break;
    default:
        break;
    }
}

void MessageDialog::render(ALLEGRO_BITMAP* target, int x, int y) {
    if (!redraw) return;
    redraw = false;
    Font& font = gui->font;
    drawFrame(target, x, y, w, h);
    font.lineH = font.getH() + 2;
    font.drawText(target, x + 11, y + 10, text);
    for (int i = 0; i < 3; i++) {
        const structMessageOption& o = options[i];
        if (!o.label[0]) continue;
        const int ox = x + 11 + o.x;
        const int oy = y + 10 + o.y;
        if (i == selected) {
            al_draw_filled_rectangle(ox - 1, oy, ox + o.w + 11, oy + o.h, al_map_rgb(104, 104, 104));
            font.resetColor();
            font.drawText(target, ox, oy, "<");
            font.drawText(target, ox + 5, oy, o.label);
            font.drawText(target, ox + o.w + 6, oy, ">");
        } else {
            font.setColor(al_map_rgb(192, 192, 192));
            font.drawText(target, ox + 5, oy, o.label);
        }
    }
    font.resetColor();
}

}  // namespace gui
}  // namespace vek
