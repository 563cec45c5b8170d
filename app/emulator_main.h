#pragma once

#include <allegro5/allegro.h>

namespace vek {

namespace nes {
class Nes;
}
namespace gui {
class Gui;
}
class Input;
class Config;
class Renderer;

static const char* const GAME_TITLE = "Ember Spire";

// The one owner object: host start-up, the display, the event queue and the frame loop.
class EmulatorMain {
public:
    nes::Nes* nes;
    ALLEGRO_DISPLAY* _alDisplay;
    ALLEGRO_TIMER* _alTimer;
    ALLEGRO_TIMER* _alFpsTimer;
    ALLEGRO_EVENT_QUEUE* _alEventQueue;
    bool exitRequested;
    bool redrawBorder;
    bool paused;
    bool resetRequested;
    bool hasFocus;
    double mouseHideTime;
    gui::Gui* _gui;
    Input* _input;
    Config* _config;
    Renderer* renderer;
    bool displayLost;  // a mode switch left no display: the loop ends with status 1
    // the window size the program itself last gave the window: a resize event of that size
    // is the system carrying out the request, not the user resizing
    int requestedW, requestedH;
    // keys may have been let go unseen (focus lost, display replaced): Allegro's record of
    // them is checked against the keyboard until it is settled
    bool keyboardStale;
    // developer hook for the tests: this many of the coming re-creations of the display (mode
    // and vsync switches) fail as if the system had refused them. The program never sets it.
    int failDisplayRecreations;

    EmulatorMain();
    ~EmulatorMain();

    // program entry and frame loop
    int start();
    void pause();
    void unpause();
    void reset();
    void exit();
    // a key or gamepad event: to the game, to the top dialog, or opening the main menu
    void handleInputEvent(ALLEGRO_EVENT* event);
    void handleOpenMenu();
    void focusChanged(bool focus);
    // the start-up question whether to configure a controller
    void askControllerQuestion();

    // host start-up and display creation
    bool alInitialize();
    bool createDisplay(bool createQueueAndTimers);
    void installInput();
    int getVideoAdapterByPos(int x, int y, bool fallbackToFirst);
    bool loadRom();

    // screen modes and scaling
    void updateDisplay(int w, int h, bool resizeWindow, bool moveWindow);
    void toggleFullscreen();
    void setFullscreen(bool on);
    void toggleVsync();

private:
    // the most frames of nothing but black that run back to back before the first picture
    static const int MAX_DARK_FRAMES = 30;

    void runConsoleFrame();
    void showFirstPicture();
    void drawFrame();
    void presentFrame();
    void holdMusic();
    bool settleKeyboard();
    bool recreateDisplay(int previousFullscreen, int previousVsync);
    void openNotice(int h, const char* text);
};

// message-dialog callbacks of the shell
void screenModeMessageCallback(gui::Gui* gui, int choice);
void startupControllerCallback(gui::Gui* gui, int choice);

}  // namespace vek
