#pragma once

#include "gui/dialog.h"

namespace vek {
namespace gui {

// The menu called up during play: resume, the three settings dialogs, reset and exit.
class MainMenuDialog : public Dialog {
public:
    static const int NUM_ENTRIES = 6;

    int selected;

    MainMenuDialog(Gui* gui, int selected);
    ~MainMenuDialog() override;

    void render(ALLEGRO_BITMAP* target, int x, int y) override;
    void onKeyDown(int navkey) override;
};

// the confirmations of Reset Game and Exit: option 0 is "Yes"; either answer closes every dialog
void resetCallback(Gui* gui, int option);
void exitCallback(Gui* gui, int option);

}  // namespace gui
}  // namespace vek
