#include "gui/input_dialog.h"

#include <allegro5/allegro_primitives.h>

#include <cstdio>

#include "app/util.h"
#include "config/config.h"
#include "gui/gui.h"
#include "gui/main_menu_dialog.h"
#include "input/input.h"

namespace vek {
namespace gui {

int InputDialog::renderCount = 0;

InputDialog::InputDialog(Gui* gui, bool returnToGame)
    : Dialog(gui, 256, 140),
      selected(ROW_PLAYERS),
      player(0),
      returnToGame(returnToGame),
      waiting(false),
      configureAll(false),
      ignoreNextControl(false) {
    if (returnToGame) {
        selected = ROW_FIRST_BUTTON;
        waiting = true;
        configureAll = true;
    }
    gui->input->reconfigureJoysticks();
}

InputDialog::~InputDialog() {}

const char* InputDialog::getButtonName(int button) {
    static const char* const NAMES[8] = {"Left", "Right", "Up", "Down", "A (jump)", "B (shoot)",
                                         "Start (open menu)", "Select (drop fairy)"};
    if (button < 0 || button > 7) return "";
    return NAMES[button];
}

void InputDialog::leave() {
    if (returnToGame)
        gui->closeDialog();
    else
        gui->openDialog(new MainMenuDialog(gui, 1));
}

void InputDialog::onKeyDown(int navkey) {
    if (waiting) return;
    switch (navkey) {
    case NAVKEY_LEFT:
        player = (player + 3) % 4;
        redraw = true;
        break;
    case NAVKEY_RIGHT:
        player = (player + 1) % 4;
        redraw = true;
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
        if (selected >= ROW_FIRST_BUTTON && selected <= ROW_LAST_BUTTON) {
            waiting = true;
            ignoreNextControl = true;
            redraw = true;
        } else if (selected == ROW_CONFIGURE_ALL) {
            selected = ROW_FIRST_BUTTON;
            waiting = true;
            configureAll = true;
            ignoreNextControl = true;
            redraw = true;
        } else if (selected == ROW_RETURN) {
            leave();
        }
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

void InputDialog::onControlDown(int code, const char* uid) {
    if (ignoreNextControl) {
        ignoreNextControl = false;
        return;
    }
    if (!waiting) return;
    const int button = selected - ROW_FIRST_BUTTON;
    if (button < 0 || button > 7) return;
    structConfigControl& b = gui->config->controls[player][button];
    if (code == ALLEGRO_KEY_ESCAPE * 16 + CONTROL_KEY) {
        b.uid[0] = 0;
        b.code = 0;
    } else {
        Util::strncpy0(b.uid, uid, sizeof(b.uid));
        b.code = (unsigned)code;
    }
    if (configureAll) {
        selected++;
        if (button < 7) {
            redraw = true;
            return;
        }
        configureAll = false;
    }
    waiting = false;
    gui->input->reconfigureJoysticks();
    gui->config->queueSave();
    redraw = true;
}

int InputDialog::lineOfRow(int row) {
    if (row == ROW_PLAYERS) return 0;
    if (row == ROW_CONFIGURE_ALL) return 2;
    if (row <= ROW_LAST_BUTTON) return row + 1;
    return 12;
}

void InputDialog::render(ALLEGRO_BITMAP* target, int x, int y) {
    if (redraw) {
        redraw = false;
        Font& font = gui->font;
        drawFrame(target, x, y, w, h);
        const int p = font.getH() + 3;
        font.lineH = p;
        drawSelectionBar(x, y + 5 + lineOfRow(selected) * p);
        font.drawText(target, x + 11, y + 5,
                      "Player 1      Player 2      Player 3      Player 4\n"
                      "\n"
                      "Configure All Buttons\n"
                      "  Left\n  Right\n  Up\n  Down\n  A (jump)\n  B (shoot)\n"
                      "  Start (menu)\n  Select (drop fairy)");
        font.drawText(target, x + 11, y + 5 + 12 * p, returnToGame ? "Return to Game" : "Return to Menu");

        // the marker around the chosen player pulses outward while that row is marked
        const int mx = player == 0 ? x + 7 : x + 5 + 45 * player;
        if (selected == ROW_PLAYERS && renderCount % 40 >= 20)
            font.drawText(target, mx - 1, y + 5, "<                  >");
        else
            font.drawText(target, mx, y + 5, "<                 >");

        for (int i = 0; i < 8; i++) {
            const structConfigControl& b = gui->config->controls[player][i];
            char control[128];
            char device[512];
            char line[1024];
            Input::getControlName(control, sizeof(control), b.code);
            Input::getDeviceNameFromUid(device, sizeof(device), b.uid);
            if (device[0]) {
                // a pad's name is cut to what the row leaves beside the control's name
                snprintf(line, sizeof(line), "[ %s |  ]", control);
                int used = 0;
                font.getTextSize(line, &used, nullptr);
                font.cutToWidth(device, sizeof(device), BINDING_W - used);
                snprintf(line, sizeof(line), "[ %s | %s ]\n", control, device);
            } else {
                snprintf(line, sizeof(line), "[ %s ]\n", control);
            }
            if (b.uid[0] && !b.joystick)
                font.setColor(al_map_rgb(255, 80, 80));
            else if (b.conflict)
                font.setColor(al_map_rgb(255, 255, 80));
            font.drawText(target, x + BINDING_X, y + 5 + (3 + i) * p, line);
            font.resetColor();
        }

        if (waiting) {
            const char* text = "Press a key or gamepad button\nto use for:\n\n                  ESC to clear";
            int tw = 0, th = 0;
            font.getTextSize(text, &tw, &th);
            const int bw = tw + 20, bh = th + 20;
            const int bx = x + w / 2 - bw / 2;
            const int by = y + h / 2 - bh / 2;
            drawFrame(target, bx, by, bw, bh);
            font.drawText(target, bx + 10, by + 10, text);
            font.setColor(al_map_rgb(80, 255, 255));
            font.drawText(target, bx + 56, by + 10 + p, getButtonName(selected - ROW_FIRST_BUTTON));
            font.resetColor();
        }
    }
    renderCount++;
    if (selected == ROW_PLAYERS && renderCount % 20 == 0) redraw = true;
}

}  // namespace gui
}  // namespace vek
