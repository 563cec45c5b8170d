// The input layer above the platform: events are built by hand, gamepads are fed to the
// enumeration as records, and the results are read from the console's button words, the
// navigation-key states and a dialog that records what it receives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/emulator_main.h"
#include "config/config.h"
#include "gui/dialog.h"
#include "gui/gui.h"
#include "gui/main_menu_dialog.h"
#include "file_support.h"
#include "gui_test_support.h"
#include "input/input.h"
#include "nes/nes.h"

using namespace vek;
using guitest::axisEvent;
using guitest::buttonEvent;
using guitest::keyEvent;

namespace {

// stand-ins for platform handles: only their addresses are compared
unsigned char padA, padB, padC;
ALLEGRO_JOYSTICK* const PAD_A = reinterpret_cast<ALLEGRO_JOYSTICK*>(&padA);
ALLEGRO_JOYSTICK* const PAD_B = reinterpret_cast<ALLEGRO_JOYSTICK*>(&padB);
ALLEGRO_JOYSTICK* const PAD_C = reinterpret_cast<ALLEGRO_JOYSTICK*>(&padC);

// console bits
const int A = 1, B = 2, SELECT = 4, START = 8, UP = 16, LEFT = 64, RIGHT = 128;
// controller button indices of the bindings
const int I_LEFT = 0, I_RIGHT = 1, I_UP = 2, I_A = 4, I_B = 5, I_START = 6, I_SELECT = 7;

structJoystickInfo pad(ALLEGRO_JOYSTICK* handle, const char* name, int buttons = 12) {
    structJoystickInfo info = {};
    info.joystick = handle;
    info.numButtons = buttons;
    info.numSticks = 3;
    for (int s = 0; s < 3; s++) {
        info.stickFlags[s] = s < 2 ? ALLEGRO_JOYFLAG_ANALOGUE : ALLEGRO_JOYFLAG_DIGITAL;
        info.stickAxes[s] = 2;
    }
    info.name = name;
    return info;
}

unsigned keyCode(int keycode) { return (unsigned)keycode * 16 + 1; }
unsigned buttonCode(int button) { return (unsigned)button * 16 + 2; }
unsigned axisCode(int stick, int axis, int direction) {
    return (unsigned)direction * 1048576 + (unsigned)axis * 4096 + (unsigned)stick * 16 + 3;
}

// a dialog that writes down every call it receives, in order
class RecordingDialog : public gui::Dialog {
public:
    std::vector<std::string> calls;
    explicit RecordingDialog(gui::Gui* gui) : Dialog(gui, 10, 10) {}
    void onKeyDown(int navkey) override { calls.push_back("key " + std::to_string(navkey)); }
    void onControlDown(int code, const char* uid) override {
        calls.push_back("control " + std::to_string(code) + " '" + uid + "'");
    }
};

class InputTest : public ::testing::Test {
protected:
    EmulatorMain* em = nullptr;
    Config* config = nullptr;
    nes::Nes* console = nullptr;
    Input* input = nullptr;
    std::string uidA, uidB;

    void SetUp() override {
        guitest::initAllegro();
        em = new EmulatorMain();
        config = em->_config = new Config();
        config->loadDefaultValues();
        console = em->nes = new nes::Nes();
        input = em->_input = new Input(console, config);
        input->rebuildJoysticks({pad(PAD_A, "Pad Alpha"), pad(PAD_B, "Pad Beta", 10)});
        uidA = input->joysticks[0].uid;
        uidB = input->joysticks[1].uid;
    }
    void TearDown() override { delete em; }

    void bind(int player, int button, unsigned code, const std::string& uid = "") {
        structConfigControl& c = config->controls[player][button];
        c.code = code;
        strncpy(c.uid, uid.c_str(), sizeof(c.uid) - 1);
        c.uid[sizeof(c.uid) - 1] = 0;
    }
    // bindings tie to pads only through the enumeration
    void rescan() { input->rebuildJoysticks({pad(PAD_A, "Pad Alpha"), pad(PAD_B, "Pad Beta", 10)}); }
    void send(ALLEGRO_EVENT e) { input->handleAllegroEvent(&e); }
    int buttons(int player) { return console->getButtons(player); }

    // a dialog manager with one recording dialog on top
    RecordingDialog* openRecorder() {
        if (!em->_gui) {
            em->_gui = new gui::Gui(em, input, config);
            input->gui = em->_gui;
        }
        RecordingDialog* d = new RecordingDialog(em->_gui);
        em->_gui->openDialog(d);
        em->_gui->update();
        return d;
    }
};

}  // namespace

TEST_F(InputTest, NamesControlsAndDevices) {
    // keys by the names Allegro gives them, codes beyond its keys by number; unknown kinds
    // read as unbound
    const struct {
        unsigned code;
        const char* name;
    } controls[] = {{0, " ... "},      {1313, "LEFT"},          {161, "J"},         {1073, "ENTER"},
                    {17, "A"},         {3489, "RCTRL"},         {1, "Key 0"},       {227 * 16 + 1, "Key 227"},
                    {255 * 16 + 1, "Key 255"}, {50, "Button 3"}, {1052675, "Stick0 Axis1 -"},
                    {2101251, "Stick0 Axis1 +"}, {7, " ... "}};
    ASSERT_TRUE(al_is_keyboard_installed());
    char out[128];
    for (const auto& k : controls) {
        Input::getControlName(out, sizeof(out), k.code);
        EXPECT_STREQ(out, k.name) << k.code;
    }
    Input::getControlName(out, 4, 1313);
    EXPECT_STREQ(out, "LEF");
    // without a keyboard driver there are no names, only numbers
    al_uninstall_keyboard();
    Input::getControlName(out, sizeof(out), 1313);
    EXPECT_STREQ(out, "Key 82");
    ASSERT_TRUE(al_install_keyboard());

    // a device's name is everything after the first '-' of its text
    const char* devices[][2] = {{"0C0322221200-Pad Alpha #2", "Pad Alpha #2"}, {"0C0322221200-Dual-Stick", "Dual-Stick"},
                                {"", ""}};
    char name[512];
    for (const auto& d : devices) {
        Input::getDeviceNameFromUid(name, sizeof(name), d[0]);
        EXPECT_STREQ(name, d[1]);
    }
    Input::getDeviceNameFromUid(name, 4, "0C0322221200-Pad Alpha");
    EXPECT_STREQ(name, "Pad");
}

TEST_F(InputTest, MapsBindingsToConsoleBitsAndNavigationKeys) {
    const int bits[8] = {LEFT, RIGHT, UP, 32, A, B, START, 4};
    const int navkeys[8] = {NAVKEY_LEFT, NAVKEY_RIGHT, NAVKEY_UP, NAVKEY_DOWN,
                            NAVKEY_ACCEPT, NAVKEY_BACK, NAVKEY_BACK, -1};
    for (int b = 0; b < 8; b++) {
        EXPECT_EQ(input->controlToNesButtons(&config->controls[0][b]), bits[b]) << b;
        EXPECT_EQ(input->controlToNesButtons(&config->controls[3][b]), bits[b]) << b;
        EXPECT_EQ(input->controlToNavkey(&config->controls[0][b]), navkeys[b]) << b;
        EXPECT_EQ(input->controlToNavkey(&config->controls[1][b]), -1) << "only player 1 navigates";
    }
    structConfigControl odd = config->controls[0][0];
    odd.button = 8;
    EXPECT_EQ(input->controlToNesButtons(&odd), 0);
    EXPECT_EQ(input->controlToNavkey(&odd), -1);
}

TEST_F(InputTest, DefaultKeysDriveOnlyPlayerOne) {
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_A));
    EXPECT_EQ(buttons(0), A);
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_LEFT));
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_W));
    EXPECT_EQ(buttons(0), A | LEFT | START);
    send(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_A));
    EXPECT_EQ(buttons(0), LEFT | START);
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_Q));  // bound to nothing
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_ESCAPE));
    EXPECT_EQ(buttons(0), LEFT | START);
    for (int p = 1; p < 4; p++) EXPECT_EQ(buttons(p), 0);
    for (int n = 0; n < NUM_NAVKEYS; n++) EXPECT_EQ(input->navkeyState[n], 0) << "game mode leaves navigation alone";
}

TEST_F(InputTest, GamepadButtonsDriveTheirPlayersAndTheFirstBindingOfAControlWins) {
    bind(2, I_B, buttonCode(5), uidA);
    bind(3, I_A, buttonCode(5), uidB);
    rescan();
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 5));
    EXPECT_EQ(buttons(2), B);
    EXPECT_EQ(buttons(3), 0);
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_B, 5));
    EXPECT_EQ(buttons(3), A);
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_UP, PAD_A, 5));
    EXPECT_EQ(buttons(2), 0);
    EXPECT_EQ(buttons(3), A);
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 6));
    EXPECT_EQ(buttons(2), 0) << "a button no binding uses does nothing";
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_UP, PAD_B, 5));

    bind(1, I_START, keyCode(ALLEGRO_KEY_A));  // player 2's Start on player 1's A key
    EXPECT_EQ(input->keyToControl(ALLEGRO_KEY_A), &config->controls[0][I_A]);
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_A));
    EXPECT_EQ(buttons(0), A);
    EXPECT_EQ(buttons(1), 0);
    bind(0, I_A, 0);  // once player 1 lets go of it, player 2 gets it
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_A));
    EXPECT_EQ(buttons(1), START);

    bind(2, I_B, buttonCode(4), uidA);
    bind(3, I_A, buttonCode(4), uidA);
    rescan();
    EXPECT_EQ(input->buttonToControl(PAD_A, 4), &config->controls[2][I_B]);
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 4));
    EXPECT_EQ(buttons(2), B);
    EXPECT_EQ(buttons(3), 0);
}

TEST_F(InputTest, UnpluggedPadsNeverFire) {
    bind(0, I_A, buttonCode(1), "0C0322221200-Pad Gone");
    bind(0, I_B, axisCode(0, 0, 1), "0C0322221200-Pad Gone");
    bind(0, I_SELECT, keyCode(ALLEGRO_KEY_K), "stray text");
    rescan();
    EXPECT_EQ(config->controls[0][I_A].joystick, nullptr);
    EXPECT_EQ(input->buttonToControl(PAD_A, 1), nullptr);
    EXPECT_EQ(input->buttonToControl(nullptr, 1), nullptr);
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 1));
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_C, 1));  // no record at all
    send(axisEvent(PAD_A, 0, 0, -1.0f));
    send(axisEvent(PAD_C, 0, 0, -1.0f));
    EXPECT_EQ(buttons(0), 0);
    // a keyboard binding matches whatever its device text says
    EXPECT_EQ(input->keyToControl(ALLEGRO_KEY_K), &config->controls[0][I_SELECT]);
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_K));
    EXPECT_EQ(buttons(0), SELECT);

    // plugged in again: the next enumeration ties the binding to it
    input->rebuildJoysticks({pad(PAD_C, "Pad Gone")});
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_C, 1));
    EXPECT_EQ(buttons(0), SELECT | A);
}

TEST_F(InputTest, StickDirectionsCrossTheDeadZone) {
    config->joystickAxisThreshold = 0.11;
    bind(0, I_LEFT, axisCode(0, 0, 1), uidA);
    bind(0, I_RIGHT, axisCode(0, 0, 2), uidA);
    bind(1, I_UP, axisCode(1, 1, 1), uidA);
    rescan();

    send(axisEvent(PAD_A, 0, 0, -0.8f));
    EXPECT_EQ(buttons(0), LEFT);
    send(axisEvent(PAD_A, 0, 0, 0.3f));  // straight to the other side: release, then press
    EXPECT_EQ(buttons(0), RIGHT);
    send(axisEvent(PAD_A, 0, 0, 0.9f));
    EXPECT_EQ(buttons(0), RIGHT);
    send(axisEvent(PAD_A, 0, 0, 0.10f));  // inside the dead zone
    EXPECT_EQ(buttons(0), 0);
    send(axisEvent(PAD_A, 0, 0, -0.05f));
    EXPECT_EQ(buttons(0), 0);

    send(axisEvent(PAD_A, 1, 1, -0.5f));
    EXPECT_EQ(buttons(1), UP);
    EXPECT_EQ(buttons(0), 0) << "another stick's axis is a different control";
    send(axisEvent(PAD_B, 1, 1, 0.0f));
    EXPECT_EQ(buttons(1), UP) << "the same stick on another pad leaves it held";
    send(axisEvent(PAD_A, 1, 1, 0.0f));
    EXPECT_EQ(buttons(1), 0);

    // out of range sticks and axes are ignored
    send(axisEvent(PAD_A, 16, 0, -1.0f));
    send(axisEvent(PAD_A, 0, 16, -1.0f));
    EXPECT_EQ(buttons(0), 0);

    // a stick event never consults the keys: the Up arrow's binding has index 84
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_UP));
    send(axisEvent(PAD_A, 1, 0, -1.0f));
    send(axisEvent(PAD_A, 1, 0, 0.0f));
    EXPECT_EQ(buttons(0), UP);

    // a threshold a float can hold exactly: the threshold itself counts as pushed; a position
    // that is not a number is centred
    config->joystickAxisThreshold = 0.25;
    const struct {
        float position;
        int held;
    } positions[] = {{0.25f, RIGHT}, {0.2499f, 0}, {-0.25f, LEFT}, {-0.2499f, 0}, {-1.0f, LEFT}, {0.0f / 0.0f, 0}};
    for (const auto& k : positions) {
        send(axisEvent(PAD_A, 0, 0, k.position));
        EXPECT_EQ(buttons(0), UP | k.held) << k.position;
    }
}

TEST_F(InputTest, DialogModeSendsNavigationKeyBeforeTheCapturedControl) {
    bind(0, I_A, buttonCode(2), uidA);    // player 1's A: navigates (Accept)
    bind(1, I_A, buttonCode(3), uidA);    // player 2's A: captured only
    bind(0, I_UP, axisCode(0, 1, 1), uidA);
    rescan();
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_RIGHT));  // held before the menu opened: stays held
    RecordingDialog* d = openRecorder();

    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_ENTER));
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_A));  // bound to player 1's A, but a key
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 2));
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 3));
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_B, 9));  // no binding uses it
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_C, 9));  // a pad without a record
    send(axisEvent(PAD_A, 0, 1, -0.9f));
    send(axisEvent(PAD_A, 0, 1, -1.0f));  // same side: nothing new
    send(axisEvent(PAD_A, 0, 1, 0.0f));   // back to the centre: nothing reported
    send(axisEvent(PAD_B, 2, 0, 0.7f));   // unbound direction: captured only

    const std::vector<std::string> expected = {
        "key 4", "control 1073 ''",
        "control 17 ''",
        "key 4", "control " + std::to_string(buttonCode(2)) + " '" + uidA + "'",
        "control " + std::to_string(buttonCode(3)) + " '" + uidA + "'",
        "key 6", "control " + std::to_string(buttonCode(9)) + " '" + uidB + "'",
        "key 6",
        "key 2", "control " + std::to_string(axisCode(0, 1, 1)) + " '" + uidA + "'",
        "control " + std::to_string(axisCode(2, 0, 2)) + " '" + uidB + "'",
    };
    EXPECT_EQ(d->calls, expected);
    EXPECT_EQ(buttons(0), RIGHT) << "the console is left alone while a dialog is open";
    EXPECT_EQ(buttons(1), 0);
    EXPECT_EQ(input->navkeyState[NAVKEY_UP], 0) << "cleared when the stick came back";
    EXPECT_EQ(input->navkeyState[NAVKEY_ACCEPT], 1);
    EXPECT_EQ(input->navkeyState[NAVKEY_UNBOUND_BUTTON], 1);
}

TEST_F(InputTest, DialogModeReleasesClearOnlyTheirNavigationKey) {
    bind(0, I_B, buttonCode(1), uidA);
    rescan();
    RecordingDialog* d = openRecorder();
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_ENTER));
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_ESCAPE));
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 7));
    EXPECT_EQ(input->navkeyState[NAVKEY_ACCEPT], 1);
    EXPECT_EQ(input->navkeyState[NAVKEY_BACK], 1);
    EXPECT_EQ(input->navkeyState[NAVKEY_UNBOUND_BUTTON], 1);
    d->calls.clear();

    send(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_ENTER));
    EXPECT_EQ(input->navkeyState[NAVKEY_ACCEPT], 0);
    EXPECT_EQ(input->navkeyState[NAVKEY_BACK], 1);
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_UP, PAD_A, 7));
    EXPECT_EQ(input->navkeyState[NAVKEY_UNBOUND_BUTTON], 0);
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 1));  // player 1's B: Back
    EXPECT_EQ(input->navkeyState[NAVKEY_BACK], 1);
    send(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_ESCAPE));
    EXPECT_EQ(input->navkeyState[NAVKEY_BACK], 0);
    EXPECT_EQ(d->calls, (std::vector<std::string>{"key 5", "control " + std::to_string(buttonCode(1)) + " '" + uidA + "'"}))
        << "releases report nothing";

    // navigation keys sent directly: tracked or not, out of range ones dropped
    d->calls.clear();
    input->navkeyDown(NAVKEY_BACK, false);
    EXPECT_EQ(input->navkeyState[NAVKEY_BACK], 0);
    input->navkeyDown(NAVKEY_DOWN, true);
    EXPECT_EQ(input->navkeyState[NAVKEY_DOWN], 1);
    input->navkeyDown(7, true);
    input->navkeyDown(-1, true);
    input->navkeyUp(NAVKEY_DOWN);
    EXPECT_EQ(input->navkeyState[NAVKEY_DOWN], 0);
    EXPECT_EQ(d->calls, (std::vector<std::string>{"key 5", "key 3"}));
}

// The console's buttons are made to match what is held whenever the first dialog opens or
// the last one closes, and whenever the pads are listed again.
TEST_F(InputTest, TheConsoleFollowsWhatIsHeldAcrossDialogsAndPadRebuilds) {
    bind(1, I_A, buttonCode(3), uidA);
    bind(1, I_LEFT, axisCode(0, 0, 1), uidA);
    rescan();
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_RIGHT));  // let go in the menu
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_A));      // held throughout
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 3));  // let go in the menu
    openRecorder();
    EXPECT_EQ(buttons(0), RIGHT | A);
    EXPECT_EQ(buttons(1), A);
    send(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_RIGHT));
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_UP, PAD_A, 3));
    send(axisEvent(PAD_A, 0, 0, -1.0f));                        // pushed in the menu
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_W));      // player 1's Start
    EXPECT_EQ(buttons(0), RIGHT | A) << "the console is left alone under the dialog";
    em->_gui->closeDialog();
    em->_gui->update();
    EXPECT_EQ(buttons(0), A) << "Right was let go; a held Start reaches the game only by a fresh press";
    EXPECT_EQ(buttons(1), LEFT);
    send(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_A));
    EXPECT_EQ(buttons(0), 0);

    // the pads listed again while a stick and a button are held: both stay held, and their
    // releases are seen
    ALLEGRO_JOYSTICK_STATE held;
    memset(&held, 0, sizeof(held));
    held.stick[0].axis[0] = -0.9f;
    held.button[3] = 32767;
    structJoystickInfo info = pad(PAD_A, "Pad Alpha");
    info.state = &held;
    input->rebuildJoysticks({info});
    EXPECT_EQ(buttons(1), LEFT | A);
    send(axisEvent(PAD_A, 0, 0, 0.0f));
    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_UP, PAD_A, 3));
    EXPECT_EQ(buttons(1), 0);
    // and a rebuild that finds them at rest lets go of what was held
    send(axisEvent(PAD_A, 0, 0, -1.0f));
    EXPECT_EQ(buttons(1), LEFT);
    input->rebuildJoysticks({pad(PAD_A, "Pad Alpha")});
    EXPECT_EQ(buttons(1), 0);

    // keys released in another window are never reported: losing the focus lets go of them
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_LEFT));
    em->focusChanged(false);
    EXPECT_EQ(buttons(0), 0);
    EXPECT_FALSE(input->isKeyHeld(ALLEGRO_KEY_LEFT));
}

// Start held on any player's controller, key or pad, opens the main menu; the game never
// sees it.
TEST_F(InputTest, StartOnAnyControllerOpensTheMenu) {
    em->_gui = new gui::Gui(em, input, config);
    input->gui = em->_gui;
    bind(1, I_START, keyCode(ALLEGRO_KEY_K));
    bind(2, I_START, buttonCode(9), uidA);
    bind(3, I_START, axisCode(1, 0, 2), uidB);
    rescan();
    const ALLEGRO_EVENT presses[4] = {
        keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_W), keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_K),
        buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 9), axisEvent(PAD_B, 1, 0, 1.0f)};
    const ALLEGRO_EVENT releases[4] = {
        keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_W), keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_K),
        buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_UP, PAD_A, 9), axisEvent(PAD_B, 1, 0, 0.0f)};
    for (int player = 0; player < 4; player++) {
        send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_A));  // player 1's A, held meanwhile
        send(presses[player]);
        ASSERT_EQ(buttons(player) & START, START) << player;
        em->handleOpenMenu();
        for (int p = 0; p < 4; p++) EXPECT_EQ(buttons(p) & START, 0) << "player " << player << ": Start of " << p;
        EXPECT_EQ(buttons(0) & A, A) << "other buttons stay";
        em->_gui->update();
        EXPECT_NE(dynamic_cast<gui::MainMenuDialog*>(em->_gui->dialogs[0]), nullptr) << player;
        EXPECT_EQ(em->_gui->top, 0);
        em->handleOpenMenu();  // with the menu open, nothing more opens
        EXPECT_EQ(em->_gui->pendingDialog, nullptr);
        em->_gui->closeDialog();
        em->_gui->update();
        EXPECT_EQ(buttons(player) & START, 0) << "a Start still held when the menu closes stays away";
        send(releases[player]);
    }
}

// A navigation key pressed under one dialog never scrolls the next one by itself.
TEST_F(InputTest, EveryNewDialogStartsWithNavigationAtRest) {
    openRecorder();
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_DOWN));  // pressed in the menu,
    em->_gui->closeDialog();
    em->_gui->update();
    send(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_DOWN));    // let go in play
    openRecorder();
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_UP));    // held when the next one opens
    RecordingDialog* next = new RecordingDialog(em->_gui);
    em->_gui->openDialog(next);
    em->_gui->update();
    for (int update = 0; update < 40; update++) em->_gui->update();
    EXPECT_EQ(next->calls, std::vector<std::string>{}) << "no key repeats by itself";
    for (int n = 0; n < NUM_NAVKEYS; n++) EXPECT_EQ(input->navkeyState[n], 0) << n;
}

TEST_F(InputTest, HeldUpAndDownRepeatAfter25UpdatesThenEvery5) {
    RecordingDialog* d = openRecorder();
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_UP));
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_LEFT));
    d->calls.clear();
    std::vector<int> upRepeats;
    for (int update = 1; update <= 60; update++) {
        input->updateNavkeys();
        for (const std::string& c : d->calls) {
            if (c == "key 2") {
                upRepeats.push_back(update);
            } else {
                ADD_FAILURE() << "unexpected " << c << " at update " << update;
            }
        }
        d->calls.clear();
    }
    EXPECT_EQ(upRepeats, (std::vector<int>{25, 30, 35, 40, 45, 50, 55, 60}));
    EXPECT_EQ(input->navkeyState[NAVKEY_LEFT], 61) << "Left counts but never repeats";

    send(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_UP));
    send(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_DOWN));
    d->calls.clear();
    for (int update = 1; update <= 30; update++) input->updateNavkeys();
    EXPECT_EQ(d->calls, (std::vector<std::string>{"key 3", "key 3"})) << "Down at 25 and 30 only";
}

TEST_F(InputTest, DeviceTextIsSignatureThenName) {
    EXPECT_EQ(uidA, "0C0322221200-Pad Alpha");
    EXPECT_EQ(uidB, "0A0322221200-Pad Beta");

    structJoystickInfo odd = {};
    odd.numButtons = 300;  // kept to two digits so the name stays at character 13
    odd.numSticks = 6;
    for (int s = 0; s < 4; s++) {
        odd.stickFlags[s] = 0xFF;  // only the digital and analogue flags are kept
        odd.stickAxes[s] = s;
    }
    std::string longName(600, 'n');
    odd.name = longName.c_str();
    char text[512];
    Input::makeDeviceText(text, odd);
    EXPECT_EQ(std::string(text, 13), "FF0630313233-");
    EXPECT_EQ(strlen(text), 13u + 498u);
    EXPECT_EQ(text[13], 'n');

    structJoystickInfo bare = {};
    bare.name = "Bare";
    Input::makeDeviceText(text, bare);
    EXPECT_STREQ(text, "000000000000-Bare");
}

TEST_F(InputTest, IdenticalPadsAreToldApartAndBindingsFollowTheText) {
    const std::string plain = "0C0322221200-Twin";
    bind(0, I_A, buttonCode(0), plain);
    bind(1, I_A, buttonCode(0), plain + " #2");
    bind(2, I_A, buttonCode(0), plain + " #3");

    testing::internal::CaptureStdout();
    input->rebuildJoysticks({pad(PAD_A, "Twin"), pad(PAD_B, "Other"), pad(PAD_C, "Twin"),
                             pad(nullptr, "Skipped")});
    const std::string log = testing::internal::GetCapturedStdout();
    ASSERT_EQ(input->joysticks.size(), 3u);
    EXPECT_STREQ(input->joysticks[0].uid, plain.c_str());
    EXPECT_STREQ(input->joysticks[1].uid, "0C0322221200-Other");
    EXPECT_STREQ(input->joysticks[2].uid, (plain + " #2").c_str());
    EXPECT_EQ(log, "Input::reconfigureJoysticks()\n  0: " + plain + "\n  1: 0C0322221200-Other\n  2: " +
                       plain + " #2\n");
    EXPECT_EQ(config->controls[0][I_A].joystick, PAD_A);
    EXPECT_EQ(config->controls[1][I_A].joystick, PAD_C);
    EXPECT_EQ(config->controls[2][I_A].joystick, nullptr);

    send(buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, PAD_A, 0));
    EXPECT_EQ(buttons(0), A);
    EXPECT_EQ(buttons(1), 0) << "the plain text drives the first pad only";

    input->rebuildJoysticks({pad(PAD_A, "Twin"), pad(PAD_B, "Twin"), pad(PAD_C, "Twin")});
    EXPECT_STREQ(input->joysticks[1].uid, (plain + " #2").c_str());
    EXPECT_STREQ(input->joysticks[2].uid, (plain + " #3").c_str());
    EXPECT_EQ(config->controls[2][I_A].joystick, PAD_C);
    EXPECT_EQ(input->getJoystick(PAD_B), &input->joysticks[1]);
    EXPECT_EQ(input->getJoystick(nullptr), nullptr);
}

TEST_F(InputTest, ConflictsAreMarkedAndClearedAgain) {
    bind(1, I_B, keyCode(ALLEGRO_KEY_A));  // player 2's B on player 1's A key
    bind(2, I_SELECT, buttonCode(3), "0C0322221200-Gone");
    bind(3, I_SELECT, buttonCode(3), "0C0322221200-Gone");
    bind(3, I_START, buttonCode(3), uidA);  // same code, other device: no conflict
    testing::internal::CaptureStdout();
    input->rebuildJoysticks({});
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, "Input::reconfigureJoysticks()\n");
    EXPECT_TRUE(input->joysticks.empty());
    EXPECT_TRUE(config->controls[0][I_A].conflict);
    EXPECT_TRUE(config->controls[1][I_B].conflict);
    EXPECT_TRUE(config->controls[2][I_SELECT].conflict) << "attached or not";
    EXPECT_TRUE(config->controls[3][I_SELECT].conflict);
    EXPECT_FALSE(config->controls[3][I_START].conflict);
    EXPECT_FALSE(config->controls[0][I_B].conflict);
    EXPECT_FALSE(config->controls[2][I_A].conflict) << "unbound bindings never conflict";

    bind(1, I_B, 0);
    rescan();
    EXPECT_FALSE(config->controls[0][I_A].conflict);
    EXPECT_FALSE(config->controls[1][I_B].conflict);
}

TEST_F(InputTest, PlatformWithoutGamepadsGivesAnEmptyList) {
    bind(0, I_A, buttonCode(0), uidA);
    // the joystick driver may or may not be installed; neither finds a pad on this machine
    input->reconfigureJoysticks();
    al_install_joystick();
    input->reconfigureJoysticks();
    EXPECT_EQ(input->joysticks.size(), (size_t)al_get_num_joysticks());
    if (input->joysticks.empty()) {
        EXPECT_EQ(config->controls[0][I_A].joystick, nullptr);
    }
}

// ---- bindings through the settings file

namespace {

// a pad name of `length` bytes: letters, digits and inner spaces, or, with `high`, mostly
// bytes of 128 and above (UTF-8 letters and stray single bytes up to 255). The ends are never
// blank: the file trims its values.
std::string padName(size_t length, bool high) {
    static const char ASCII[] = "Gamepad F710 Wireless Controller 0123456789";
    static const unsigned char HIGH[] = {0xC3, 0xA9, 'x', 0xE2, 0x82, 0xAC, 0x80, 0xFF, 0xA0, 0xFE, ' ', 0x9F};
    std::string name;
    for (size_t i = 0; i < length; i++)
        name += high ? (char)HIGH[i % sizeof(HIGH)] : ASCII[i % (sizeof(ASCII) - 1)];
    if (length > 0 && name.back() == ' ') name.back() = 'e';
    return name;
}

}  // namespace

// A binding made on a pad is found again after the settings file is saved and read back by
// a new run, whatever the length of the pad's name and whatever bytes it holds. Three pads
// share the name: the second has other capabilities, the third is the first one's twin and
// numbered " #2" (where the device text leaves room for the number). They are bound with
// codes of every length the program makes.
TEST_F(InputTest, BindingsOnAnyPadSurviveASaveAndALoad) {
    filetest::ScopedTempDir folder;  // for the settings file and the error log
    ASSERT_FALSE(folder.path.empty());

    const struct {
        int player, button;
        int pad;  // 0 the first pad, 1 the other kind, 2 the first one's twin
        unsigned code;
    } bindings[] = {
        {0, I_A, 0, buttonCode(0)},                                    // "2:"
        {0, I_B, 0, buttonCode(31)},                                   // "498:"
        {1, I_LEFT, 0, axisCode(0, 0, AXIS_NEGATIVE)},                 // "1048579:"
        {1, I_RIGHT, 0, axisCode(15, 15, AXIS_POSITIVE)},              // "2158835:", as long as they get
        {2, I_UP, 1, axisCode(15, 15, AXIS_POSITIVE)},
        {2, I_A, 1, buttonCode(3)},
        {3, I_RIGHT, 2, axisCode(15, 15, AXIS_POSITIVE)},
        {3, I_START, 2, buttonCode(7)},
    };
    const size_t lengths[] = {0, 21, 255, 489, 490, 491, 495, 498, 499, 600, 1200};
    for (size_t length : lengths) {
        for (bool high : {false, true}) {
            const std::string name = padName(length, high);
            const std::string what = std::to_string(length) + (high ? " bytes, high" : " bytes, plain");
            std::vector<structJoystickInfo> pads = {pad(PAD_A, name.c_str()), pad(PAD_B, name.c_str(), 10),
                                                    pad(PAD_C, name.c_str())};
            ALLEGRO_JOYSTICK* const handles[] = {PAD_A, PAD_B, PAD_C};
            testing::internal::CaptureStdout();
            input->rebuildJoysticks(pads);
            // twins whose device text is too long for the number stay alike and cannot be told
            // apart: the twin is then left out
            const bool twinNumbered = strcmp(input->joysticks[0].uid, input->joysticks[2].uid) != 0;
            EXPECT_EQ(twinNumbered, 13 + length < 508) << what;
            if (!twinNumbered) pads.pop_back();
            for (int p = 0; p < Config::NUM_PLAYERS; p++)
                for (int k = 0; k < Config::NUM_BUTTONS; k++) bind(p, k, 0);
            for (const auto& b : bindings)
                if (b.pad != 2 || twinNumbered) bind(b.player, b.button, b.code, input->joysticks[b.pad].uid);
            input->rebuildJoysticks(pads);
            const bool saved = config->save();

            Config loaded;
            const bool read = saved && loaded.load();
            Input next(nullptr, &loaded);
            next.rebuildJoysticks(pads);
            testing::internal::GetCapturedStdout();
            ASSERT_TRUE(saved) << what;
            ASSERT_TRUE(read) << what;
            for (const auto& b : bindings) {
                if (b.pad == 2 && !twinNumbered) continue;
                const structConfigControl& before = config->controls[b.player][b.button];
                const structConfigControl& after = loaded.controls[b.player][b.button];
                ASSERT_EQ(before.joystick, handles[b.pad]) << what << ": bound in the first run";
                EXPECT_EQ(after.code, b.code) << what;
                EXPECT_EQ(std::string(after.uid), std::string(before.uid))
                    << what << ", code " << b.code << ": " << strlen(before.uid) << " characters saved, "
                    << strlen(after.uid) << " read back";
                EXPECT_EQ(after.joystick, before.joystick) << what << ", code " << b.code << ": the pad is found again";
            }
            // and the file is as stable as its values: a second save writes the same bytes
            const std::string firstText = filetest::readFile(Config::CONFIG_FILE);
            ASSERT_TRUE(loaded.save());
            EXPECT_EQ(filetest::readFile(Config::CONFIG_FILE), firstText) << what;
        }
    }
}
