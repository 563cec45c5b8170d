#include "gui/main_menu_dialog.h"

#include "app/emulator_main.h"
#include "gui/audio_dialog.h"
#include "gui/gui.h"
#include "gui/input_dialog.h"
#include "gui/message_dialog.h"
#include "gui/video_dialog.h"
#include "input/input.h"

namespace vek {
namespace gui {

void resetCallback(Gui* gui, int option) {
    if (option == 0) gui->emulatorMain->reset();
    gui->closeAllDialogs();
}

void exitCallback(Gui* gui, int option) {
    if (option == 0) gui->emulatorMain->exit();
    gui->closeAllDialogs();
}

MainMenuDialog::MainMenuDialog(Gui* gui, int selected) : Dialog(gui, 100, 68), selected(selected) {}

MainMenuDialog::~MainMenuDialog() {}

void MainMenuDialog::onKeyDown(int navkey) {
    switch (navkey) {
    case NAVKEY_DOWN:
        selected = (selected + 1) % NUM_ENTRIES;
        redraw = true;
        break;
    case NAVKEY_UP:
        selected = (selected + NUM_ENTRIES - 1) % NUM_ENTRIES;
        redraw = true;
        break;
    case NAVKEY_ACCEPT:
        switch (selected) {
        case 0:
            gui->closeDialog();
            break;
        case 1:
            gui->openDialog(new InputDialog(gui, false));
            break;
        case 2:
            gui->openDialog(new VideoDialog(gui));
            break;
        case 3:
            gui->openDialog(new AudioDialog(gui));
            break;
        case 4: {
            MessageDialog* m = new MessageDialog(gui, 128, 48, "Reset game?\nAny progress will be lost.", 0, false);
            m->setOptions("Yes", "No", nullptr, resetCallback, -1);
            gui->openModalDialog(m);
            break;
        }
        case 5: {
            MessageDialog* m = new MessageDialog(gui, 128, 48, "Exit the game?\nAny progress will be lost.", 0, false);
            m->setOptions("Yes", "No", nullptr, exitCallback, -1);
            gui->openModalDialog(m);
            break;
        }
        default:
            break;
        }
        break;
    case NAVKEY_BACK:
        gui->closeDialog();
        break;
    default:
        break;
    }
}

void MainMenuDialog::render(ALLEGRO_BITMAP* target, int x, int y) {
    if (!redraw) return;
    redraw = false;
    Font& font = gui->font;
    drawFrame(target, x, y, w, h);
    const int p = font.getH() + 3;
    font.lineH = p;
    drawSelectionBar(x, y + 5 + selected * p);
    font.drawText(target, x + 11, y + 5,
                  "Resume\nInput Settings\nVideo Settings\nAudio Settings\nReset Game\nExit");
    // the version stands in the overlay's top-right corner, wherever the menu is
    font.lineH = font.getH();
    font.drawText(target, 232, 4, "V1.0.1");
}

}  // namespace gui
}  // namespace vek
