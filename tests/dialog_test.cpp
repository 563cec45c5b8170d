// The dialog manager and the five dialogs, driven through the input layer with hand-built
// key events, and their pictures rendered into memory bitmaps and compared with references.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/emulator_main.h"
#include "config/config.h"
#include "gui/audio_dialog.h"
#include "gui/dialog.h"
#include "gui/gui.h"
#include "gui/input_dialog.h"
#include "gui/main_menu_dialog.h"
#include "gui/message_dialog.h"
#include "gui/video_dialog.h"
#include "gui_test_support.h"
#include "input/input.h"
#include "nes/nes.h"

using namespace vek;
using guitest::rgb;

namespace {

int g_destroyed = 0;

// a plain dialog of a given size that counts its destruction
class SizedDialog : public gui::Dialog {
public:
    SizedDialog(gui::Gui* gui, int w, int h) : Dialog(gui, w, h) {}
    ~SizedDialog() override { g_destroyed++; }
    void render(ALLEGRO_BITMAP* target, int x, int y) override {
        if (!redraw) return;
        redraw = false;
        drawFrame(target, x, y, w, h);
    }
};

int g_callbackChoice = -2;
void recordChoice(gui::Gui*, int choice) { g_callbackChoice = choice; }

const uint32_t GREY = 0xFF484848;  // rgb(72, 72, 72)
const uint32_t WHITE = 0xFFFFFFFF;

class DialogTest : public ::testing::Test {
protected:
    EmulatorMain* em = nullptr;
    Config* config = nullptr;
    Input* input = nullptr;
    gui::Gui* gui = nullptr;
    ALLEGRO_BITMAP* screen = nullptr;

    void SetUp() override {
        guitest::initAllegro();
        em = new EmulatorMain();
        config = em->_config = new Config();
        config->loadDefaultValues();
        // the overlay is drawn 1:1 into a 256 x 240 screen
        config->windowViewportW = 256;
        config->windowViewportH = 240;
        em->nes = new nes::Nes();
        input = em->_input = new Input(em->nes, config);
        gui = em->_gui = new gui::Gui(em, input, config);
        input->gui = gui;
        screen = guitest::makeCanvas(256, 240, al_map_rgb(16, 32, 64));
        g_destroyed = 0;
        g_callbackChoice = -2;
    }
    void TearDown() override {
        al_destroy_bitmap(screen);
        delete em;
    }

    void key(int keycode, int times = 1) {
        for (int i = 0; i < times; i++) {
            ALLEGRO_EVENT e = guitest::keyEvent(ALLEGRO_EVENT_KEY_DOWN, keycode);
            input->handleAllegroEvent(&e);
            e.type = ALLEGRO_EVENT_KEY_UP;
            input->handleAllegroEvent(&e);
        }
    }
    void up(int times = 1) { key(ALLEGRO_KEY_UP, times); }
    void down(int times = 1) { key(ALLEGRO_KEY_DOWN, times); }
    void left(int times = 1) { key(ALLEGRO_KEY_LEFT, times); }
    void right(int times = 1) { key(ALLEGRO_KEY_RIGHT, times); }
    void accept() { key(ALLEGRO_KEY_ENTER); }
    void back() { key(ALLEGRO_KEY_ESCAPE); }

    // one drawn frame of the manager
    void frame() {
        gui->update();
        gui->render(screen, 0, 0);
    }
    gui::Dialog* topDialog() { return gui->top >= 0 ? gui->dialogs[gui->top] : nullptr; }
    template <class T> T* open(T* dialog) {
        gui->openDialog(dialog);
        frame();
        return dialog;
    }
    guitest::Pixels overlayPixels() { return guitest::readPixels(gui->overlay); }
    // opens the main menu with `entry` marked and accepts it
    void choose(int entry) {
        open(new gui::MainMenuDialog(gui, entry));
        accept();
        frame();
    }
    // the entry marked in the main menu on top, or -1 without one
    int markedMenuEntry() {
        gui::MainMenuDialog* menu = dynamic_cast<gui::MainMenuDialog*>(topDialog());
        return menu ? menu->selected : -1;
    }
};

}  // namespace

// ---- the dialog manager

// The game is paused while any dialog is open. Requests made between two updates take
// effect at the next one, a close before a close-all, so both take two updates.
TEST_F(DialogTest, TheGamePausesWhileADialogIsOpen) {
    em->paused = true;  // so that an unpause would show
    gui->closeDialog();
    frame();
    EXPECT_EQ(gui->top, -1) << "a close with nothing open only clears the overlay";
    EXPECT_TRUE(em->paused);
    em->paused = false;

    open(new SizedDialog(gui, 50, 50));
    EXPECT_EQ(gui->top, 0);
    EXPECT_TRUE(em->paused);
    gui->openModalDialog(new SizedDialog(gui, 20, 20));
    frame();
    gui->closeDialog();
    gui->closeAllDialogs();
    frame();
    EXPECT_EQ(gui->top, 0);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_TRUE(em->paused);
    frame();
    EXPECT_EQ(gui->top, -1);
    EXPECT_EQ(g_destroyed, 2);
    EXPECT_FALSE(em->paused);

    // a close and an open in one frame: the game stays paused
    open(new SizedDialog(gui, 10, 10));
    gui->closeDialog();
    SizedDialog* next = new SizedDialog(gui, 10, 10);
    gui->openDialog(next);
    frame();
    EXPECT_EQ(gui->top, 0);
    EXPECT_EQ(gui->dialogs[0], next);
    EXPECT_TRUE(em->paused);
}

// a settings dialog takes the menu's slot: the menu is destroyed and its picture goes; both
// are centred in the overlay
TEST_F(DialogTest, SettingsDialogReplacesTheMenuInItsSlot) {
    open(new SizedDialog(gui, 100, 68));
    guitest::Pixels p = overlayPixels();
    EXPECT_EQ(p.at(78, 86), GREY);
    EXPECT_EQ(p.at(77, 86) >> 24, 0u);
    EXPECT_EQ(p.at(78, 85) >> 24, 0u);
    gui->openDialog(new SizedDialog(gui, 150, 90));
    frame();
    EXPECT_EQ(gui->top, 0);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_TRUE(em->paused);
    p = overlayPixels();
    EXPECT_EQ(p.at(53, 75), GREY);
    EXPECT_EQ(p.at(52, 75) >> 24, 0u);
    EXPECT_EQ(p.at(78, 74) >> 24, 0u) << "the replaced dialog's picture is gone";
}

TEST_F(DialogTest, ModalDialogStacksAndTheUncoveredDialogIsDrawnAgainAtOnce) {
    open(new SizedDialog(gui, 200, 100));
    gui->openModalDialog(new SizedDialog(gui, 150, 90));
    frame();
    gui->openModalDialog(new SizedDialog(gui, 20, 20));
    frame();
    EXPECT_EQ(gui->top, 2);
    guitest::Pixels p = overlayPixels();
    EXPECT_EQ(p.at(30, 72), GREY) << "the dialogs below stay visible around the modal ones";
    EXPECT_EQ(p.at(100, 76), WHITE) << "the middle one's outline";
    EXPECT_EQ(p.at(119, 111), WHITE) << "the top one's outline";
    // the bottom one draws itself again (a value in it changed): the ones above stay on top
    gui->dialogs[0]->redraw = true;
    frame();
    p = overlayPixels();
    EXPECT_EQ(p.at(100, 76), WHITE) << "the middle one's outline over the redrawn bottom one";
    EXPECT_EQ(p.at(119, 111), WHITE) << "the top one's outline over both";
    // the uncovered dialogs take the keys, so they are seen: redrawn in the same frame,
    // bottom to top, with nothing of the closed one left
    gui->closeDialog();
    frame();
    EXPECT_EQ(gui->top, 1);
    p = overlayPixels();
    EXPECT_EQ(p.at(30, 72), GREY) << "the bottom one around the middle one";
    EXPECT_EQ(p.at(100, 76), WHITE) << "the middle one over it";
    EXPECT_EQ(p.at(119, 111), GREY) << "the top one's outline is gone";
    gui->closeDialog();
    frame();
    EXPECT_EQ(gui->top, 0);
    p = overlayPixels();
    EXPECT_EQ(p.at(30, 72), GREY);
    EXPECT_EQ(p.at(100, 76), GREY) << "the middle one's outline is gone";
    EXPECT_TRUE(em->paused);
}

// one request of each kind per update; the stack holds eight dialogs and a ninth is refused
TEST_F(DialogTest, RequestsBeyondWhatTheStackTakesAreRefused) {
    SizedDialog* first = new SizedDialog(gui, 10, 10);
    gui->openDialog(first);
    gui->openDialog(new SizedDialog(gui, 10, 10));
    EXPECT_EQ(g_destroyed, 1);
    gui->openModalDialog(new SizedDialog(gui, 10, 10));
    gui->openModalDialog(new SizedDialog(gui, 10, 10));
    EXPECT_EQ(g_destroyed, 2);
    frame();
    EXPECT_EQ(gui->dialogs[0], first);
    EXPECT_EQ(gui->top, 1);
    for (int i = 2; i < 8; i++) {
        gui->openModalDialog(new SizedDialog(gui, 10, 10));
        frame();
    }
    EXPECT_EQ(gui->top, 7);
    gui->openModalDialog(new SizedDialog(gui, 10, 10));
    EXPECT_EQ(g_destroyed, 3) << "a ninth is refused at once";
    EXPECT_EQ(gui->pendingModalDialog, nullptr);
}

TEST_F(DialogTest, OverlayIsScaledOverTheViewport) {
    config->windowViewportW = 128;
    config->windowViewportH = 120;
    open(new SizedDialog(gui, 100, 68));
    guitest::Pixels p = guitest::readPixels(screen);
    // halved: the dialog's corner (78, 86) lands at (39, 43) of the viewport at (0, 0)
    EXPECT_EQ(p.at(40, 44), GREY);
    EXPECT_EQ(p.at(20, 20), rgb(16, 32, 64)) << "transparent overlay leaves the picture";
    EXPECT_EQ(p.at(100, 100), rgb(16, 32, 64)) << "nothing beyond the viewport";
}

// ---- message dialog

TEST_F(DialogTest, MessageYesNoWrapsAndBackNeedsTwoPresses) {
    gui::MessageDialog* m = new gui::MessageDialog(gui, 128, 48, "Two\nlines", 0, false);
    m->setOptions("Yes", "No", nullptr, recordChoice, -1);
    gui->openModalDialog(m);
    frame();
    left();
    EXPECT_EQ(m->selected, 1) << "Left from Yes wraps to No";
    right();
    EXPECT_EQ(m->selected, 0) << "Right from No wraps to Yes";
    up();
    down();
    EXPECT_EQ(m->selected, 0);
    back();
    EXPECT_EQ(m->selected, 1);
    EXPECT_EQ(g_callbackChoice, -2) << "the first Back only moves the mark";
    back();
    EXPECT_EQ(g_callbackChoice, 1);
    g_callbackChoice = -2;
    left();
    accept();
    EXPECT_EQ(g_callbackChoice, 0);
    EXPECT_EQ(gui->top, 0) << "the dialog never closes itself";
}

TEST_F(DialogTest, MessageSingleOptionEmptySlotsAndUnboundButtons) {
    gui::MessageDialog* m = new gui::MessageDialog(gui, 150, 90, "Note", 0, false);
    m->setOptions("Continue", nullptr, nullptr, recordChoice, -1);
    gui->openModalDialog(m);
    frame();
    m->redraw = false;
    left();
    EXPECT_EQ(m->selected, 0);
    EXPECT_TRUE(m->redraw);
    right();
    EXPECT_EQ(m->selected, 0);
    input->navkeyDown(NAVKEY_UNBOUND_BUTTON, false);
    EXPECT_EQ(g_callbackChoice, -2) << "a stray gamepad button does nothing here";
    back();
    EXPECT_EQ(g_callbackChoice, 0);
    g_callbackChoice = -2;
    accept();
    EXPECT_EQ(g_callbackChoice, 0);

    gui::MessageDialog question(gui, 128, 50, "Q", 0, true);
    question.setOptions("Yes", "No", nullptr, recordChoice, -1);
    g_callbackChoice = -2;
    question.onKeyDown(NAVKEY_UNBOUND_BUTTON);
    EXPECT_EQ(g_callbackChoice, 0) << "the start-up question takes any unused button as Accept";

    // options may leave slots empty; Back marks the last one given
    gui::MessageDialog slots(gui, 128, 48, "x", 0, false);
    slots.setOptions(nullptr, "Only", nullptr, recordChoice, -1);
    EXPECT_EQ(slots.numOptions, 1);
    EXPECT_STREQ(slots.options[0].label, "");
    EXPECT_STREQ(slots.options[1].label, "Only");
    EXPECT_EQ(slots.backOption, 1);
    slots.setOptions(nullptr, nullptr, nullptr, nullptr, -1);
    EXPECT_EQ(slots.numOptions, 0);
    for (int navkey : {NAVKEY_LEFT, NAVKEY_RIGHT, NAVKEY_ACCEPT}) slots.onKeyDown(navkey);
    EXPECT_EQ(slots.selected, 0);
}

// ---- main menu

TEST_F(DialogTest, MainMenuWrapsAndOpensEachEntry) {
    gui::MainMenuDialog* menu = open(new gui::MainMenuDialog(gui, 0));
    up();
    EXPECT_EQ(menu->selected, 5) << "Up on Resume marks Exit";
    down();
    EXPECT_EQ(menu->selected, 0) << "Down on Exit marks Resume";
    menu->redraw = false;
    left();
    right();
    EXPECT_FALSE(menu->redraw);
    EXPECT_EQ(menu->selected, 0);

    down();
    accept();
    frame();
    gui::InputDialog* inputDialog = dynamic_cast<gui::InputDialog*>(topDialog());
    ASSERT_NE(inputDialog, nullptr);
    EXPECT_FALSE(inputDialog->returnToGame);
    EXPECT_EQ(gui->top, 0);

    choose(2);
    ASSERT_NE(dynamic_cast<gui::VideoDialog*>(topDialog()), nullptr);
    EXPECT_EQ(static_cast<gui::VideoDialog*>(topDialog())->selected, 0);

    choose(3);
    ASSERT_NE(dynamic_cast<gui::AudioDialog*>(topDialog()), nullptr);
    EXPECT_TRUE(em->paused);

    choose(0);
    EXPECT_EQ(gui->top, -1) << "Resume closes the menu";
    EXPECT_FALSE(em->paused);

    open(new gui::MainMenuDialog(gui, 0));
    back();
    frame();
    EXPECT_EQ(gui->top, -1) << "Back resumes too";
}

// Reset and Exit ask first: Yes does it and closes everything, No (Back twice) only closes
TEST_F(DialogTest, ResetAndExitAskFirst) {
    choose(4);
    ASSERT_EQ(gui->top, 1);
    accept();
    EXPECT_TRUE(em->resetRequested);
    frame();
    EXPECT_EQ(gui->top, -1);
    EXPECT_FALSE(em->paused);

    open(new gui::MainMenuDialog(gui, 0));
    up();
    accept();
    frame();
    gui::MessageDialog* m = dynamic_cast<gui::MessageDialog*>(topDialog());
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->text, "Exit the game?\nAny progress will be lost.");
    back();
    back();
    frame();
    EXPECT_FALSE(em->exitRequested);
    EXPECT_EQ(gui->top, -1);
    choose(5);
    accept();
    EXPECT_TRUE(em->exitRequested);
}

// ---- input settings

TEST_F(DialogTest, InputDialogNavigation) {
    gui::InputDialog* d = open(new gui::InputDialog(gui, false));
    up();
    EXPECT_EQ(d->selected, 10) << "Up on row 0 marks row 10";
    down();
    EXPECT_EQ(d->selected, 0) << "Down on row 10 marks row 0";
    down(5);
    left();
    EXPECT_EQ(d->selected, 5);
    EXPECT_EQ(d->player, 3) << "Left switches the player, wrapping from 1 to 4";
    right(2);
    EXPECT_EQ(d->player, 1);
    down(5);
    EXPECT_EQ(d->selected, 10);
    up(7);
    EXPECT_EQ(d->selected, 3);
    back();
    EXPECT_EQ(d->selected, 10) << "Back marks the last row";
    EXPECT_EQ(gui->top, 0);
    back();
    frame();
    EXPECT_EQ(markedMenuEntry(), 1) << "back to the menu with Input Settings marked";
}

TEST_F(DialogTest, InputDialogCapturesOneButton) {
    gui::InputDialog* d = open(new gui::InputDialog(gui, false));
    right();  // player 2
    down(2);  // "  Left"
    accept();
    EXPECT_TRUE(d->waiting);
    EXPECT_EQ(config->controls[1][0].code, 0u) << "the Enter press itself is not bound";
    up();  // while capturing, arrows are controls, not navigation
    EXPECT_FALSE(d->waiting);
    EXPECT_EQ(d->selected, 2);
    EXPECT_EQ(config->controls[1][0].code, (unsigned)ALLEGRO_KEY_UP * 16 + 1);
    EXPECT_STREQ(config->controls[1][0].uid, "");
    EXPECT_TRUE(config->isSaveQueued());
    EXPECT_TRUE(config->controls[1][0].conflict) << "player 1's Up uses the same key";
    EXPECT_TRUE(config->controls[0][2].conflict);

    accept();
    back();  // Escape clears
    EXPECT_EQ(config->controls[1][0].code, 0u);
    EXPECT_FALSE(config->controls[0][2].conflict);

    // a gamepad button is stored with its device text
    input->rebuildJoysticks({{reinterpret_cast<ALLEGRO_JOYSTICK*>(d), 4, 1, {1, 0, 0, 0}, {2, 0, 0, 0}, "Pad", nullptr}});
    accept();
    ALLEGRO_EVENT e = guitest::buttonEvent(ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN, reinterpret_cast<ALLEGRO_JOYSTICK*>(d), 3);
    input->handleAllegroEvent(&e);
    EXPECT_EQ(config->controls[1][0].code, 3u * 16 + 2);
    EXPECT_STREQ(config->controls[1][0].uid, "040112000000-Pad");
}

TEST_F(DialogTest, InputDialogConfiguresAllEightWithEscapeClearingOne) {
    gui::InputDialog* d = open(new gui::InputDialog(gui, false));
    down();
    accept();  // "Configure All Buttons"
    EXPECT_EQ(d->selected, 2);
    EXPECT_TRUE(d->configureAll);
    const int keys[8] = {ALLEGRO_KEY_J, ALLEGRO_KEY_L, ALLEGRO_KEY_I, ALLEGRO_KEY_ESCAPE,
                         ALLEGRO_KEY_ENTER, ALLEGRO_KEY_X, ALLEGRO_KEY_LEFT, ALLEGRO_KEY_Z};
    for (int i = 0; i < 8; i++) {
        EXPECT_TRUE(d->waiting) << i;
        EXPECT_EQ(d->selected, 2 + i);
        key(keys[i]);
    }
    EXPECT_FALSE(d->waiting);
    EXPECT_FALSE(d->configureAll);
    EXPECT_EQ(d->selected, 10) << "row 10 is marked afterwards";
    for (int i = 0; i < 8; i++) {
        const unsigned want = keys[i] == ALLEGRO_KEY_ESCAPE ? 0u : (unsigned)keys[i] * 16 + 1;
        EXPECT_EQ(config->controls[0][i].code, want) << i;
    }
    EXPECT_TRUE(config->isSaveQueued());
}

TEST_F(DialogTest, StartupInputDialogCapturesAtOnceAndReturnsToTheGame) {
    gui::InputDialog* d = new gui::InputDialog(gui, true);
    EXPECT_TRUE(d->waiting);
    EXPECT_TRUE(d->configureAll);
    EXPECT_EQ(d->selected, 2);
    gui->openModalDialog(new gui::MessageDialog(gui, 128, 50, "Q", 0, true));
    frame();
    gui->openDialog(d);  // in place of the question, as its callback does
    frame();
    // Escape keeps a button's binding and moves on: a new player who backs out can still play
    unsigned defaults[8];
    for (int i = 0; i < 8; i++) defaults[i] = config->controls[0][i].code;
    const int keys[8] = {ALLEGRO_KEY_J, ALLEGRO_KEY_ESCAPE, ALLEGRO_KEY_ESCAPE, ALLEGRO_KEY_K,
                         ALLEGRO_KEY_ESCAPE, ALLEGRO_KEY_X, ALLEGRO_KEY_ESCAPE, ALLEGRO_KEY_ESCAPE};
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(d->selected, 2 + i);
        key(keys[i]);
    }
    for (int i = 0; i < 8; i++) {
        const unsigned want = keys[i] == ALLEGRO_KEY_ESCAPE ? defaults[i] : (unsigned)keys[i] * 16 + 1;
        EXPECT_EQ(config->controls[0][i].code, want) << "the first press counts; button " << i;
        EXPECT_NE(config->controls[0][i].code, 0u) << i;
    }
    EXPECT_FALSE(d->waiting);
    EXPECT_TRUE(config->isSaveQueued());
    // afterwards Escape clears again, as in Input Settings
    d->selected = 3;
    accept();
    back();
    EXPECT_EQ(config->controls[0][1].code, 0u);
    back();  // marks "Return to Game"
    back();
    frame();
    EXPECT_EQ(gui->top, -1) << "leaving closes it: back to the game";
    EXPECT_FALSE(em->paused);
}

TEST_F(DialogTest, InputDialogPlayerMarkerPulsesEvery20Frames) {
    gui::InputDialog* d = open(new gui::InputDialog(gui, false));
    gui::InputDialog::renderCount = 1;
    d->redraw = false;
    std::vector<int> redraws;
    for (int f = 0; f < 60; f++) {
        if (d->redraw) redraws.push_back(gui::InputDialog::renderCount);
        gui->render(screen, 0, 0);
    }
    EXPECT_EQ(redraws, (std::vector<int>{20, 40, 60}));
    down();
    d->redraw = false;
    for (int f = 0; f < 60; f++) gui->render(screen, 0, 0);
    EXPECT_FALSE(d->redraw) << "only while the player row is marked";
}

// ---- video settings

// Left and Right step the zoom through -1, 0 and 2 to 16 (a loaded 1 goes back to -1 or on
// to 2) and the border colour through black, dark grey and grey
TEST(VideoDialogCycles, ZoomSkipsOneAndBorderColoursGoRound) {
    using gui::VideoDialog;
    const int zooms[][3] = {{-1, false, 0}, {0, false, 2},  {2, true, 0},   {0, true, -1},
                            {-1, true, 16}, {16, false, -1}, {1, false, 2}, {1, true, -1}};
    for (const auto& z : zooms) EXPECT_EQ(VideoDialog::stepZoom(z[0], z[1]), z[2]) << z[0] << (z[1] ? " left" : " right");
    int z = -1, steps = 0;
    do {
        z = VideoDialog::stepZoom(z, false);
        EXPECT_NE(z, 1);
        steps++;
    } while (z != -1 && steps < 100);
    EXPECT_EQ(steps, 17);

    // a colour that is not in the list counts as black
    const uint32_t borders[][3] = {{0x000000, true, 0x111111}, {0x000000, false, 0x222222},
                                   {0x222222, false, 0x111111}, {0x111111, false, 0x000000},
                                   {0x123456, true, 0x111111},  {0x123456, false, 0x222222}};
    for (const auto& b : borders) EXPECT_EQ(VideoDialog::stepBorderColor(b[0], b[1]), b[2]) << std::hex << b[0];
}

TEST_F(DialogTest, VideoDialogNavigation) {
    gui::VideoDialog* d = open(new gui::VideoDialog(gui));
    up();
    EXPECT_EQ(d->selected, 4) << "Up on Mode marks Return to Menu";
    d->redraw = false;
    left();
    right();
    EXPECT_FALSE(d->redraw) << "Left and Right on Return to Menu do nothing";
    down();
    EXPECT_EQ(d->selected, 0);
    const int fullscreen = config->fullscreen;
    accept();
    EXPECT_EQ(config->fullscreen, fullscreen) << "Accept on Mode does nothing";
    EXPECT_EQ(gui->top, 0);
    down();
    back();
    EXPECT_EQ(d->selected, 4);
    back();
    frame();
    EXPECT_EQ(markedMenuEntry(), 2);
}

// ---- audio settings

TEST_F(DialogTest, AudioVolumesStayWithinLimits) {
    gui::AudioDialog* d = open(new gui::AudioDialog(gui));
    d->redraw = false;
    right();
    EXPECT_EQ(config->musicVolume, 100);
    EXPECT_FALSE(config->isSaveQueued()) << "nothing changed, nothing to save";
    EXPECT_TRUE(d->redraw);

    config->musicVolume = 5;
    left();
    EXPECT_EQ(config->musicVolume, 0);
    EXPECT_TRUE(config->isSaveQueued());
    left();
    EXPECT_EQ(config->musicVolume, 0);
    config->musicVolume = 5;
    right();
    EXPECT_EQ(config->musicVolume, 15);

    down();
    left(2);
    EXPECT_EQ(config->sfxVolume, 80);
    EXPECT_EQ(config->musicVolume, 15);

    down();
    EXPECT_EQ(d->selected, 2);
    d->redraw = false;
    left();
    right();
    EXPECT_FALSE(d->redraw);
    EXPECT_EQ(config->sfxVolume, 80);
    down();
    EXPECT_EQ(d->selected, 0) << "Down on Return to Menu marks Music";
    up();
    EXPECT_EQ(d->selected, 2);
    up(2);
    back();
    EXPECT_EQ(d->selected, 2) << "Back on Music marks Return to Menu";
    back();
    frame();
    EXPECT_EQ(markedMenuEntry(), 3);
}

// ---- pictures

TEST_F(DialogTest, MainMenuPicture) {
    open(new gui::MainMenuDialog(gui, 0));
    guitest::expectMatchesReference(screen, "dialog_main_menu");
}

TEST_F(DialogTest, ResetConfirmationPicture) {
    choose(4);
    guitest::expectMatchesReference(screen, "dialog_reset_confirmation");
}

// the start-up question and the notices after a switch of screen mode or vsync, the refused
// ones among them (EmulatorMain::toggleFullscreen, toggleVsync); the end-to-end test of the
// switches finds these pictures on the screen
TEST_F(DialogTest, MessagePictures) {
    const struct {
        int w, h;
        const char* text;
        const char* option0;
        const char* option1;
        bool unboundButtonAccepts;
        const char* picture;
    } messages[] = {
        {128, 50, "Would you like to configure\na controller now?", "Yes", "No", true, "dialog_startup_question"},
        {150, 140,
         "Vsync disabled!\n\nIf you notice any problems,\nyou may have to restart the\ngame for the new "
         "setting to\ntake effect gracefully.\n\nNote that this setting may have\nno effect. In this "
         "case, you will\nhave to disable VSYNC manually\nin your graphics card's control\npanel.",
         "Continue", nullptr, false, "dialog_vsync_notice"},
        {150, 90, "Could not switch to\nFullscreen mode.\n\nThe game stays in\nWindowed mode.", "Continue", nullptr,
         false, "dialog_fullscreen_refused"},
        {150, 90, "Could not switch to\nWindowed mode.\n\nThe game stays in\nFullscreen mode.", "Continue", nullptr,
         false, "dialog_windowed_refused"},
        {150, 60, "Could not change Vsync.\n\nThe setting stays as it was.", "Continue", nullptr, false,
         "dialog_vsync_refused"},
    };
    for (const auto& n : messages) {
        gui::MessageDialog* m = new gui::MessageDialog(gui, n.w, n.h, n.text, 0, n.unboundButtonAccepts);
        m->setOptions(n.option0, n.option1, nullptr, recordChoice, -1);
        gui->openModalDialog(m);
        frame();
        guitest::expectMatchesReference(screen, n.picture);
        accept();
        EXPECT_EQ(g_callbackChoice, 0) << n.picture;
        g_callbackChoice = -2;
        gui->closeDialog();
        frame();
        al_set_target_bitmap(screen);
        al_clear_to_color(al_map_rgb(16, 32, 64));
    }
}

TEST_F(DialogTest, InputDialogPicture) {
    // player 1: keys by name; B shares the A key (yellow); Start and Select name unplugged
    // pads (red), Select's with a name far too long for its row, in UTF-8
    config->controls[0][5].code = config->controls[0][4].code;
    config->controls[0][6].code = 5 * 16 + 2;
    strcpy(config->controls[0][6].uid, "0C0322221200-Pad Gone");
    config->controls[0][7].code = 2 * 1048576 + 1 * 4096 + 0 * 16 + 3;
    strcpy(config->controls[0][7].uid, "0C0322221200-Manette \xc3\xa9l\xc3\xa9gante Wireless Gamepad F710 #2");
    gui::InputDialog::renderCount = 0;
    open(new gui::InputDialog(gui, false));
    guitest::expectMatchesReference(screen, "dialog_input");
    for (int i = 0; i < 20; i++) gui->render(screen, 0, 0);
    guitest::expectMatchesReference(screen, "dialog_input_pulse");
}

TEST_F(DialogTest, InputDialogCapturePicture) {
    gui::InputDialog* d = open(new gui::InputDialog(gui, false));
    for (int i = 0; i < 9; i++) down();
    accept();
    ASSERT_TRUE(d->waiting);
    frame();
    guitest::expectMatchesReference(screen, "dialog_input_capture");
}

TEST_F(DialogTest, VideoDialogPicture) {
    config->borderColor = 0x3060c0;
    config->zoom = 0;
    gui::VideoDialog* d = open(new gui::VideoDialog(gui));
    d->selected = 1;
    d->redraw = true;
    frame();
    guitest::expectMatchesReference(screen, "dialog_video_scaling");
    d->selected = 3;
    d->redraw = true;
    frame();
    guitest::expectMatchesReference(screen, "dialog_video_border");
}

TEST_F(DialogTest, AudioDialogPicture) {
    config->musicVolume = 70;
    config->sfxVolume = 0;
    open(new gui::AudioDialog(gui));
    guitest::expectMatchesReference(screen, "dialog_audio");
}
