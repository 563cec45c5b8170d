#include "gui/video_dialog.h"

#include <allegro5/allegro_primitives.h>

#include <cstdio>
#include <cstdlib>

#include "app/emulator_main.h"
#include "app/util.h"
#include "config/config.h"
#include "gui/gui.h"
#include "gui/main_menu_dialog.h"
#include "input/input.h"

namespace vek {
namespace gui {

namespace {

// the border colours in the order Left and Right step through them
const uint32_t BORDER_OPTIONS[3] = {0x000000, 0x222222, 0x111111};

}  // namespace

VideoDialog::VideoDialog(Gui* gui) : Dialog(gui, 200, 68), selected(ROW_MODE) {}

VideoDialog::~VideoDialog() {}

// -1, 0, 2, 3, ... 16 and round again; 1 is not in the cycle, and a loaded 1 goes back to -1
int VideoDialog::stepZoom(int zoom, bool left) {
    int next;
    if (left) {
        next = zoom - 1;
        if (next == 1)
            next = 0;
        else if (zoom == 1)
            next = -1;
        if (next < -1 || next > MAX_ZOOM) next = MAX_ZOOM;
    } else {
        next = zoom + 1;
        if (next == 1) next = 2;
        if (next > MAX_ZOOM || next < -1) next = -1;
    }
    return next;
}

// a colour that is not in the list counts as black
uint32_t VideoDialog::stepBorderColor(uint32_t color, bool left) {
    int i = 0;
    for (int k = 0; k < 3; k++) {
        if (BORDER_OPTIONS[k] == color) i = k;
    }
    i = left ? (i + 2) % 3 : (i + 1) % 3;
    return BORDER_OPTIONS[i];
}

void VideoDialog::changeSetting(bool left) {
    Config* config = gui->config;
    EmulatorMain* em = gui->emulatorMain;
    switch (selected) {
    case ROW_MODE:
        em->toggleFullscreen();
        break;
    case ROW_SCALING:
        config->zoom = stepZoom(config->zoom, left);
        em->updateDisplay(-1, -1, true, false);
        config->queueSave();
        break;
    case ROW_VSYNC:
        em->toggleVsync();
        break;
    case ROW_BORDER:
        config->borderColor = stepBorderColor(config->borderColor, left);
        em->updateDisplay(-1, -1, false, false);
        config->queueSave();
        break;
    default:
        return;
    }
    redraw = true;
}

void VideoDialog::leave() {
    gui->openDialog(new MainMenuDialog(gui, 2));
}

void VideoDialog::onKeyDown(int navkey) {
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
        if (selected != ROW_RETURN) {
            selected = ROW_RETURN;
            redraw = true;
        } else {
            leave();
        }
        break;
    default:
        break;
    }
}

void VideoDialog::valueText(int row, char* out, unsigned size) {
    Config* config = gui->config;
    switch (row) {
    case ROW_MODE: {
        static const char* const MODES[3] = {"Windowed", "Fullscreen", " "};
        Util::strncpy0(out, MODES[abs(config->fullscreen % 2)], size);
        break;
    }
    case ROW_SCALING:
        if (config->zoom == -1)
            Util::strncpy0(out, "Stretched; Keep Aspect Ratio", size);
        else if (config->zoom == 0)
            Util::strncpy0(out, "Integral; Square&Clean Pixels", size);
        else if (config->zoom > 0)
            snprintf(out, size, "Force %dx zoom", config->zoom);
        else
            Util::strncpy0(out, " ", size);
        break;
    case ROW_VSYNC: {
        static const char* const VSYNC[3] = {"Default", "On", "Off"};
        Util::strncpy0(out, VSYNC[abs(config->vsync % 3)], size);
        break;
    }
    case ROW_BORDER:
        if (config->borderColor == 0x000000)
            Util::strncpy0(out, "    Black", size);
        else if (config->borderColor == 0x222222)
            Util::strncpy0(out, "    Gray", size);
        else if (config->borderColor == 0x111111)
            Util::strncpy0(out, "    Dark Gray", size);
        else
            Util::strncpy0(out, "    Custom", size);
        break;
    default:
        out[0] = 0;
        break;
    }
}

void VideoDialog::render(ALLEGRO_BITMAP* target, int x, int y) {
    if (!redraw) return;
    redraw = false;
    Font& font = gui->font;
    drawFrame(target, x, y, w, h);
    const int p = font.getH() + 3;
    font.lineH = p;
    auto lineY = [&](int row) { return y + 5 + (row == ROW_RETURN ? 5 : row) * p; };
    drawSelectionBar(x, lineY(selected));
    font.drawText(target, x + 11, y + 5, "Mode\nScaling\nVsync\nBorder Color\n\nReturn to Menu\n");

    char value[64];
    font.setColor(al_map_rgb(140, 190, 255));
    for (int row = ROW_MODE; row <= ROW_BORDER; row++) {
        valueText(row, value, sizeof(value));
        font.drawText(target, x + 71, lineY(row), value);
    }
    const uint32_t c = gui->config->borderColor;
    const int ly = lineY(ROW_BORDER);
    al_draw_filled_rectangle(x + 71, ly + 1, x + 77, ly + 6,
                             al_map_rgb((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    al_draw_rectangle(x + 71, ly + 1, x + 77, ly + 7, al_map_rgb(120, 120, 120), 1);
    font.resetColor();

    if (selected <= ROW_BORDER) {
        valueText(selected, value, sizeof(value));
        int tw = 0;
        font.getTextSize(value, &tw, nullptr);
        font.drawText(target, x + 66, lineY(selected), "<");
        font.drawText(target, x + 72 + tw, lineY(selected), ">");
    }
}

}  // namespace gui
}  // namespace vek
