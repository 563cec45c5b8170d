#pragma once

#include "gui/dialog.h"

namespace vek {
namespace gui {

// called with the dialog manager and the chosen option (0 to 2)
typedef void (*MessageCallback)(Gui* gui, int option);

struct structMessageOption {
    char label[80];  // empty when the slot has no option
    int x, y, w, h;  // place of the label relative to the text origin
};

// A message of several lines with up to three options side by side. It never closes itself:
// the callback decides what happens next.
class MessageDialog : public Dialog {
public:
    int selected;
    char text[1024];
    structMessageOption options[3];
    int numOptions;
    int backOption;  // where Back moves the mark
    bool unboundButtonAccepts;
    MessageCallback callback;

    MessageDialog(Gui* gui, int w, int h, const char* text, int selected, bool unboundButtonAccepts);
    ~MessageDialog() override;

    // option slots are fixed: option1 goes into slot 1 even without an option0;
    // a backOption of -1 means the last option
    void setOptions(const char* option0, const char* option1, const char* option2,
                    MessageCallback callback, int backOption);

    void render(ALLEGRO_BITMAP* target, int x, int y) override;
    void onKeyDown(int navkey) override;

private:
    void accept();
};

}  // namespace gui
}  // namespace vek
