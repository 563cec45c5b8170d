#pragma once

#include "gui/dialog.h"

namespace vek {
namespace gui {

// Binds a key, gamepad button or stick direction to each controller button of each player,
// one at a time or all eight in a row.
class InputDialog : public Dialog {
public:
    // rows: 0 player choice, 1 configure all, 2-9 the buttons Left to Select, 10 leave
    static const int ROW_PLAYERS = 0;
    static const int ROW_CONFIGURE_ALL = 1;
    static const int ROW_FIRST_BUTTON = 2;
    static const int ROW_LAST_BUTTON = 9;
    static const int ROW_RETURN = 10;
    static const int NUM_ROWS = 11;
    // the column of the bindings, and its width up to the frame with a pixel to spare
    static const int BINDING_X = 95;
    static const int BINDING_W = 256 - 6 - BINDING_X;

    int selected;
    int player;
    bool returnToGame;       // opened at start-up: leaving closes it
    bool waiting;            // capturing a control for the marked button
    bool configureAll;       // after each capture the next button follows
    bool ignoreNextControl;  // the press that started the capture

    // every render call over the program's life; paces the player marker's pulse
    static int renderCount;

    InputDialog(Gui* gui, bool returnToGame);
    ~InputDialog() override;

    static const char* getButtonName(int button);

    void render(ALLEGRO_BITMAP* target, int x, int y) override;
    void onKeyDown(int navkey) override;
    void onControlDown(int code, const char* uid) override;

private:
    void leave();
    static int lineOfRow(int row);
};

}  // namespace gui
}  // namespace vek
