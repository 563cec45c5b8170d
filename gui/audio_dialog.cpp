#include "gui/audio_dialog.h"

#include <allegro5/allegro_primitives.h>

#include <cstdio>

#include "config/config.h"
#include "gui/gui.h"
#include "gui/main_menu_dialog.h"
#include "input/input.h"

namespace vek {
namespace gui {

AudioDialog::AudioDialog(Gui* gui) : Dialog(gui, 180, 50), selected(ROW_MUSIC) {}

AudioDialog::~AudioDialog() {}

void AudioDialog::changeSetting(bool left) {
    if (selected == ROW_RETURN) return;
    int& volume = selected == ROW_MUSIC ? gui->config->musicVolume : gui->config->sfxVolume;
    int next = volume + (left ? -10 : 10);
    if (next < 0) next = 0;
    if (next > 100) next = 100;
    if (next != volume) {
        volume = next;
        gui->config->queueSave();
    }
    redraw = true;
}

void AudioDialog::leave() {
    gui->openDialog(new MainMenuDialog(gui, 3));
}

void AudioDialog::onKeyDown(int navkey) {
    switch (navkey) {
    case NAVKEY_LEFT:
        changeSetting(true);
        break;
    case NAVKEY_RIGHT:
        changeSetting(false);
        break;
    case NAVKEY_UP:
        selected = (selected + NUM_ROWS - 1) % NUM_ROWS;
        redraw = true;
        break;
    case NAVKEY_DOWN:
        selected = (selected + 1) % NUM_ROWS;
        redraw = true;
        break;
    case NAVKEY_ACCEPT:
        if (selected == ROW_RETURN) leave();
        break;
    case NAVKEY_BACK:
        if (selected == ROW_RETURN) {
            leave();
        } else {
            selected = ROW_RETURN;
            redraw = true;
        }
        break;
    default:
        break;
    }
}

void AudioDialog::render(ALLEGRO_BITMAP* target, int x, int y) {
    if (!redraw) return;
    redraw = false;
    Font& font = gui->font;
    drawFrame(target, x, y, w, h);
    const int p = font.getH() + 3;
    font.lineH = p;
    auto lineY = [&](int row) { return y + 5 + (row == ROW_RETURN ? 3 : row) * p; };
    drawSelectionBar(x, lineY(selected));
    font.drawText(target, x + 11, y + 5, "Music\nSound Effects\n\nReturn to Menu\n");

    const int volumes[2] = {gui->config->musicVolume, gui->config->sfxVolume};
    for (int i = 0; i < 2; i++) {
        const int v = volumes[i];
        const int ly = lineY(i);
        al_draw_filled_rectangle(x + 71, ly + 1, x + 71 + v / 2, ly + font.getH(), al_map_rgb(140, 190, 255));
        al_draw_rectangle(x + 71, ly + 1, x + 121, ly + font.getH(), al_map_rgb(255, 255, 255), 1);
        char text[32];
        snprintf(text, sizeof(text), "%d%%", v);
        font.drawText(target, x + 126, ly, text);
    }
}

}  // namespace gui
}  // namespace vek
