#pragma once

#include "gui/dialog.h"

namespace vek {
namespace gui {

// Music and sound-effect volumes in steps of 10, each with a bar.
class AudioDialog : public Dialog {
public:
    static const int ROW_MUSIC = 0;
    static const int ROW_SFX = 1;
    static const int ROW_RETURN = 2;
    static const int NUM_ROWS = 3;

    int selected;

    explicit AudioDialog(Gui* gui);
    ~AudioDialog() override;

    void changeSetting(bool left);

    void render(ALLEGRO_BITMAP* target, int x, int y) override;
    void onKeyDown(int navkey) override;

private:
    void leave();
};

}  // namespace gui
}  // namespace vek
