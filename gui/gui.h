#pragma once

#include <allegro5/allegro.h>

#include "gui/font.h"

namespace vek {

class EmulatorMain;
class Input;
class Config;

namespace gui {

class Dialog;

// The overlay dialogs: a stack of up to eight, opened and closed at one point of each frame,
// drawn into a 256 x 240 overlay that is scaled over the game picture. While any dialog is
// open the console is paused.
class Gui {
public:
    static const int MAX_DIALOGS = 8;
    static const int OVERLAY_W = 256;
    static const int OVERLAY_H = 240;

    Font font;
    EmulatorMain* emulatorMain;
    Input* input;
    Config* config;
    Dialog* dialogs[MAX_DIALOGS];
    int top;  // slot of the top dialog, -1 when none is open
    ALLEGRO_BITMAP* overlay;
    Dialog* pendingDialog;
    Dialog* pendingModalDialog;
    bool closeRequested;
    bool closeAllRequested;

    Gui(EmulatorMain* emulatorMain, Input* input, Config* config);
    ~Gui();

    // once per drawn frame: apply the requests, then draw
    void update();
    void render(ALLEGRO_BITMAP* target, int x, int y);

    // requests, carried out by the next update()
    void openDialog(Dialog* dialog);
    void openModalDialog(Dialog* dialog);
    void closeDialog();
    void closeAllDialogs();

    void forceRedraw();

private:
    void clearOverlay();
};

}  // namespace gui
}  // namespace vek
