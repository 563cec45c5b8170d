#include "gui/gui.h"

#include "app/emulator_main.h"
#include "app/util.h"
#include "config/config.h"
#include "gui/dialog.h"
#include "input/input.h"

namespace vek {
namespace gui {

Gui::Gui(EmulatorMain* emulatorMain, Input* input, Config* config)
    : emulatorMain(emulatorMain),
      input(input),
      config(config),
      top(-1),
      overlay(nullptr),
      pendingDialog(nullptr),
      pendingModalDialog(nullptr),
      closeRequested(false),
      closeAllRequested(false) {
    for (int i = 0; i < MAX_DIALOGS; i++) dialogs[i] = nullptr;
    overlay = al_create_bitmap(OVERLAY_W, OVERLAY_H);
    if (!overlay) Util::logErrorF("gui::Gui al_create_bitmap failed\n");
    clearOverlay();
    font.load("font.png");
}

Gui::~Gui() {
    for (int i = 0; i < MAX_DIALOGS; i++) {
        delete dialogs[i];
        dialogs[i] = nullptr;
    }
    // requests that never reached an update are owned here as well
    delete pendingDialog;
    delete pendingModalDialog;
    pendingDialog = pendingModalDialog = nullptr;
    if (overlay) al_destroy_bitmap(overlay);
    overlay = nullptr;
}

void Gui::clearOverlay() {
    if (!overlay) return;
    ALLEGRO_BITMAP* old = al_get_target_bitmap();
    al_set_target_bitmap(overlay);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    al_set_target_bitmap(old);
}

void Gui::update() {
    const bool wasOpen = top >= 0;
    if (wasOpen && input) input->updateNavkeys();

    bool opened = false;
    if (closeRequested) {
        closeRequested = false;
        if (top >= 0) {
            delete dialogs[top];
            dialogs[top] = nullptr;
            top--;
        }
        clearOverlay();
        // the uncovered dialog takes the keys, so it is seen at once, with those below it
        forceRedraw();
    } else if (closeAllRequested) {
        closeAllRequested = false;
        for (int i = 0; i < MAX_DIALOGS; i++) {
            delete dialogs[i];
            dialogs[i] = nullptr;
        }
        top = -1;
        clearOverlay();
    }

    if (pendingDialog) {
        emulatorMain->pause();
        if (top < 0) {
            top = 0;
        } else {
            clearOverlay();
            delete dialogs[top];
        }
        dialogs[top] = pendingDialog;
        pendingDialog = nullptr;
        opened = true;
    }

    if (pendingModalDialog) {
        emulatorMain->pause();
        if (top < MAX_DIALOGS - 1) {
            top++;
            dialogs[top] = pendingModalDialog;
            pendingModalDialog = nullptr;
            opened = true;
        }
    }

    // a navigation key held from before belongs to no dialog: a new dialog starts still, and
    // keys released in play leave nothing behind for the next one
    const bool emptied = wasOpen && top < 0;
    if (input && (opened || emptied)) input->clearNavkeys();
    // the game sees what is held now, not what was held when the first dialog opened
    if (input && (emptied || (!wasOpen && top >= 0))) input->syncButtons();
    if (emptied) emulatorMain->unpause();
}

void Gui::render(ALLEGRO_BITMAP* target, int x, int y) {
    if (top < 0 || !dialogs[top] || !overlay) return;
    // a dialog that draws itself again covers those above it, so they are drawn after it
    int from = top;
    for (int i = top - 1; i >= 0; i--) {
        if (dialogs[i] && dialogs[i]->redraw) from = i;
    }
    for (int i = from; i <= top; i++) {
        Dialog* d = dialogs[i];
        if (!d) continue;
        if (i > from) d->redraw = true;
        d->render(overlay, OVERLAY_W / 2 - d->w / 2, OVERLAY_H / 2 - d->h / 2);
    }
    al_set_target_bitmap(target);
    al_draw_scaled_bitmap(overlay, 0, 0, OVERLAY_W, OVERLAY_H, x, y, config->getViewportW(),
                          config->getViewportH(), 0);
}

void Gui::openDialog(Dialog* dialog) {
    if (pendingDialog) {
        Util::logErrorF("gui::Gui Attempted to open multiple dialogs before update call\n");
        delete dialog;
        return;
    }
    pendingDialog = dialog;
}

void Gui::openModalDialog(Dialog* dialog) {
    if (pendingModalDialog) {
        Util::logErrorF("gui::Gui Attempted to open multiple modal dialogs before update call\n");
        delete dialog;
        return;
    }
    if (top >= MAX_DIALOGS - 1) {
        Util::logErrorF("gui::Gui Attempted to open too many dialogs (2)\n");
        delete dialog;
        return;
    }
    pendingModalDialog = dialog;
}

void Gui::closeDialog() {
    closeRequested = true;
}

void Gui::closeAllDialogs() {
    closeAllRequested = true;
}

void Gui::forceRedraw() {
    for (int i = 0; i < MAX_DIALOGS; i++) {
        if (dialogs[i]) dialogs[i]->redraw = true;
    }
}

}  // namespace gui
}  // namespace vek
