#pragma once

#include <cstdint>

#include "gui/dialog.h"

namespace vek {
namespace gui {

// Screen mode, scaling, vertical sync and border colour; Left and Right change the marked one.
class VideoDialog : public Dialog {
public:
    static const int ROW_MODE = 0;
    static const int ROW_SCALING = 1;
    static const int ROW_VSYNC = 2;
    static const int ROW_BORDER = 3;
    static const int ROW_RETURN = 4;
    static const int NUM_ROWS = 5;
    static const int MAX_ZOOM = 16;

    int selected;

    explicit VideoDialog(Gui* gui);
    ~VideoDialog() override;

    void changeSetting(bool left);

    // the cycles that Left and Right step through
    static int stepZoom(int zoom, bool left);
    static uint32_t stepBorderColor(uint32_t color, bool left);

    void render(ALLEGRO_BITMAP* target, int x, int y) override;
    void onKeyDown(int navkey) override;

private:
    void leave();
    void valueText(int row, char* out, unsigned size);
};

}  // namespace gui
}  // namespace vek
