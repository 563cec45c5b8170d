#pragma once

#include <allegro5/allegro.h>

namespace vek {
namespace gui {

class Gui;

// Base of the overlay dialogs. The dialog manager owns every dialog handed to it and
// deletes it through the virtual destructor.
class Dialog {
public:
    int w;
    int h;
    bool redraw;  // draw again at the next render
    Gui* gui;

    Dialog(Gui* gui, int w, int h);
    virtual ~Dialog();

    // draws at (x, y) of target when redraw is set, then clears it
    virtual void render(ALLEGRO_BITMAP* target, int x, int y);
    // a navigation key (NAVKEY_*) was pressed
    virtual void onKeyDown(int navkey);
    // a key, gamepad button or stick direction was pressed: its control code and device text
    virtual void onControlDown(int code, const char* uid);

protected:
    // the common look: grey box with a white outline two pixels inside its edge
    void drawFrame(ALLEGRO_BITMAP* target, int x, int y, int w, int h);
    // the bar behind a marked row whose text line starts at lineY
    void drawSelectionBar(int x, int lineY);
};

}  // namespace gui
}  // namespace vek
