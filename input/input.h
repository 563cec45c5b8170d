#pragma once

#include <allegro5/allegro.h>

#include <vector>

namespace vek {

namespace nes {
class Nes;
}
namespace gui {
class Gui;
class Dialog;
}
class Config;
struct structConfigControl;

// Control code: bits 0-3 kind, 4-11 keycode / button / stick, 12-19 axis, 20-23 direction.
enum ControlKind {
    CONTROL_NONE = 0,
    CONTROL_KEY = 1,
    CONTROL_BUTTON = 2,
    CONTROL_AXIS = 3,
};

enum AxisDirection {
    AXIS_CENTRED = 0,
    AXIS_NEGATIVE = 1,
    AXIS_POSITIVE = 2,
};

// What the dialogs receive through onKeyDown.
enum Navkey {
    NAVKEY_LEFT = 0,
    NAVKEY_RIGHT = 1,
    NAVKEY_UP = 2,
    NAVKEY_DOWN = 3,
    NAVKEY_ACCEPT = 4,
    NAVKEY_BACK = 5,
    NAVKEY_UNBOUND_BUTTON = 6,  // a gamepad button that no binding uses
};
static const int NUM_NAVKEYS = 7;

// One attached gamepad.
struct Joystick {
    static const int MAX_STICKS = 16;
    static const int MAX_AXES = 16;
    static const int MAX_BUTTONS = 32;

    ALLEGRO_JOYSTICK* joystick;
    char uid[512];                         // device text: capability signature + name
    int axisState[MAX_STICKS][MAX_AXES];   // last classified position: an AxisDirection
    bool buttonHeld[MAX_BUTTONS];
};

// What the platform reports about one gamepad; the input of the device-text computation.
struct structJoystickInfo {
    ALLEGRO_JOYSTICK* joystick;
    int numButtons;
    int numSticks;
    int stickFlags[4];  // of the first four sticks
    int stickAxes[4];
    const char* name;
    // where the sticks and buttons stand at the moment of reading (null: all at rest)
    const ALLEGRO_JOYSTICK_STATE* state;
};

// Turns keyboard and gamepad events into console buttons (no dialog open) or into navigation
// keys and captured controls for the top dialog, and keeps the list of attached gamepads.
class Input {
public:
    static const int DEVICE_TEXT_SIZE = 512;
    static const int SIGNATURE_LENGTH = 13;
    static const int MAX_NAME_LENGTH = 498;

    nes::Nes* nes;
    gui::Gui* gui;
    Config* config;
    std::vector<Joystick> joysticks;
    int navkeyState[NUM_NAVKEYS];
    bool keyHeld[ALLEGRO_KEY_MAX];  // every key seen going down and not yet up, in either mode

    Input(nes::Nes* nes, Config* config);
    ~Input();

    // control codes, lookups among the 32 bindings (first match, player-major) and names
    unsigned encodeControl(int kind, int index, int axis, float position);
    structConfigControl* keyToControl(int keycode);
    structConfigControl* buttonToControl(ALLEGRO_JOYSTICK* joystick, int button);
    structConfigControl* axisToControl(ALLEGRO_JOYSTICK* joystick, int stick, int axis, float position);
    int controlToNavkey(structConfigControl* control);
    int controlToNesButtons(structConfigControl* control);
    Joystick* getJoystick(ALLEGRO_JOYSTICK* joystick);
    static void getControlName(char* out, unsigned size, unsigned code);
    static void getDeviceNameFromUid(char* out, unsigned size, const char* uid);

    // events and navigation keys
    void handleAllegroEvent(ALLEGRO_EVENT* event);
    void updateNavkeys();
    void navkeyDown(int navkey, bool track);
    void navkeyUp(int navkey);
    void clearNavkeys();

    // held controls: the console's buttons made to match what is held right now (Start only
    // ever reaches the console by a fresh press), and the keyboard forgotten when its
    // releases can no longer be seen
    bool isKeyHeld(int keycode) const;
    void syncButtons();
    void forgetKeys();
    // Allegro's own record of held keys emptied, for when no key is down: a key whose release
    // it never saw would count as held, and its next press as a repeat that brings no
    // key-down
    void clearKeyboardRecord();

    // gamepads: reconfigureJoysticks reads the platform, rebuildJoysticks computes the records,
    // the device texts, the bindings' gamepads and the conflicts from what was read
    void reconfigureJoysticks();
    void rebuildJoysticks(const std::vector<structJoystickInfo>& found);
    static void makeDeviceText(char* out, const structJoystickInfo& info);

private:
    int classifyAxis(float position);
    structConfigControl* findAxisControl(ALLEGRO_JOYSTICK* joystick, int stick, int axis, int direction);
    gui::Dialog* topDialog();
    void handleGameEvent(ALLEGRO_EVENT* event);
    void handleDialogEvent(ALLEGRO_EVENT* event, gui::Dialog* dialog);
};

}  // namespace vek
