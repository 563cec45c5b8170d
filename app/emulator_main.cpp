#include "app/emulator_main.h"

#include <allegro5/allegro_acodec.h>
#include <allegro5/allegro_audio.h>
#include <allegro5/allegro_primitives.h>

#include <cstdio>
#include <vector>

#if defined(VEK_X11) && defined(ALLEGRO_WITH_XWINDOWS)
#include <X11/Xlib.h>
#endif

#include "app/util.h"
#include "app/viewport.h"
#include "config/config.h"
#include "gui/gui.h"
#include "gui/main_menu_dialog.h"
#include "gui/message_dialog.h"
#include "gui/input_dialog.h"
#include "input/input.h"
#include "nes/cpu.h"
#include "nes/nes.h"
#include "nes/rom_data.h"
#include "nes/vek_apu.h"
#include "video/renderer.h"

namespace vek {

// whether any key is down right now (below, with the other questions to the X server)
static bool anyKeyDown();

static const char* const FULLSCREEN_MESSAGE =
    "Switched to Fullscreen mode.\n\nIf you notice any problems,\nyou may have to restart the\n"
    "game for the new setting to\ntake effect gracefully.";
static const char* const WINDOWED_MESSAGE =
    "Switched to Windowed mode.\n\nIf you notice any problems,\nyou may have to restart the\n"
    "game for the new setting to\ntake effect gracefully.";
// after a switch that the system refused: the display of the mode before was made again
static const char* const FULLSCREEN_REFUSED_MESSAGE =
    "Could not switch to\nFullscreen mode.\n\nThe game stays in\nWindowed mode.";
static const char* const WINDOWED_REFUSED_MESSAGE =
    "Could not switch to\nWindowed mode.\n\nThe game stays in\nFullscreen mode.";
static const char* const VSYNC_REFUSED_MESSAGE =
    "Could not change Vsync.\n\nThe setting stays as it was.";
static const char* const VSYNC_ON_MESSAGE =
    "Vsync enabled!\n\nIf you notice any problems,\nyou may have to restart the\n"
    "game for the new setting to\ntake effect gracefully.\n\nNote that this setting may have\n"
    "no effect. In this case, you will\nhave to enable VSYNC manually\nin your graphics card's control\npanel.";
static const char* const VSYNC_OFF_MESSAGE =
    "Vsync disabled!\n\nIf you notice any problems,\nyou may have to restart the\n"
    "game for the new setting to\ntake effect gracefully.\n\nNote that this setting may have\n"
    "no effect. In this case, you will\nhave to disable VSYNC manually\nin your graphics card's control\npanel.";

void screenModeMessageCallback(gui::Gui* gui, int) { gui->closeDialog(); }

void startupControllerCallback(gui::Gui* gui, int choice) {
    if (choice == 0) {
        gui->openDialog(new gui::InputDialog(gui, true));
    } else {
        gui->closeDialog();
    }
    gui->config->skipControllerConfig = 1;
    gui->config->queueSave();
}

EmulatorMain::EmulatorMain()
    : nes(nullptr),
      _alDisplay(nullptr),
      _alTimer(nullptr),
      _alFpsTimer(nullptr),
      _alEventQueue(nullptr),
      exitRequested(false),
      redrawBorder(true),
      paused(false),
      resetRequested(false),
      hasFocus(true),
      mouseHideTime(0.0),
      _gui(nullptr),
      _input(nullptr),
      _config(nullptr),
      renderer(nullptr),
      displayLost(false),
      requestedW(0),
      requestedH(0),
      keyboardStale(false),
      failDisplayRecreations(0) {}

EmulatorMain::~EmulatorMain() {
    delete _gui;
    _gui = nullptr;
    delete _input;
    _input = nullptr;
    delete renderer;
    renderer = nullptr;
    delete nes;
    nes = nullptr;
    delete _config;
    _config = nullptr;
    if (_alTimer) {
        al_destroy_timer(_alTimer);
        _alTimer = nullptr;
    }
    if (_alFpsTimer) {
        al_destroy_timer(_alFpsTimer);
        _alFpsTimer = nullptr;
    }
    if (_alDisplay) {
        al_destroy_display(_alDisplay);
        _alDisplay = nullptr;
    }
    if (_alEventQueue) {
        al_destroy_event_queue(_alEventQueue);
        _alEventQueue = nullptr;
    }
}

// ---------------------------------------------------------------------------------------
// program entry and frame loop

int EmulatorMain::start() {
    Util::generateFileNames(ROM_VERSION);
    Util::generateRomChecksum(ROM_DATA, nes::Nes::ROM_SIZE);

    delete _config;
    _config = new Config();
    if (!_config->load()) {
        // a file that is there but unreadable has been reported and is not created anew
        if (!_config->keepFile)
            Util::logErrorF("Failed to load configuration file '%s', creating file with default values\n",
                            Config::CONFIG_FILE);
        _config->loadDefaultValues();
    }
    Util::resetErrorLog();

    if (!alInitialize()) return 1;
    paused = false;
    loadRom();

    // the first picture comes before what it does not need: the keyboard, the gamepads and
    // the mouse, the menus, their font and their drawing add-on come right after it
    showFirstPicture();
    installInput();
    if (!al_init_primitives_addon()) Util::logErrorF("al_init_primitives_addon failed!\n");
    _gui = new gui::Gui(this, _input, _config);
    _input->gui = _gui;

    if (_config->skipControllerConfig == 0) askControllerQuestion();

    exitRequested = false;
    int frameCount = 0;
    bool frameDue = false;
    double lastTitleTime = 0.0;

    for (;;) {
        double now = al_get_time();

        if (_config->fullscreen == 0 && now - lastTitleTime >= 1.0) {
            char title[256];
            snprintf(title, sizeof(title), "%s (%d fps)", GAME_TITLE, frameCount);
            al_set_window_title(_alDisplay, title);
            int wx = 0, wy = 0;
            al_get_window_position(_alDisplay, &wx, &wy);
            if (wx != _config->getViewportX() || wy != _config->getViewportY()) {
                _config->setViewportX(wx);
                _config->setViewportY(wy);
                _config->queueSave();
            }
            lastTitleTime = now;
            frameCount = 0;
        }

        if (mouseHideTime != 0.0 && now >= mouseHideTime) {
            mouseHideTime = 0.0;
            al_hide_mouse_cursor(_alDisplay);
        }

        ALLEGRO_EVENT event;
        al_wait_for_event(_alEventQueue, &event);
        switch (event.type) {
            case ALLEGRO_EVENT_JOYSTICK_AXIS:
            case ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN:
            case ALLEGRO_EVENT_JOYSTICK_BUTTON_UP:
            case ALLEGRO_EVENT_KEY_DOWN:
            case ALLEGRO_EVENT_KEY_UP:
                handleInputEvent(&event);
                break;
            case ALLEGRO_EVENT_JOYSTICK_CONFIGURATION:
                _input->reconfigureJoysticks();
                break;
            case ALLEGRO_EVENT_MOUSE_AXES:
            case ALLEGRO_EVENT_MOUSE_BUTTON_DOWN:
            case ALLEGRO_EVENT_MOUSE_ENTER_DISPLAY:
                mouseHideTime = al_get_time() + 2.0;
                al_show_mouse_cursor(_alDisplay);
                break;
            case ALLEGRO_EVENT_TIMER:
                if (event.timer.source == _alTimer) {
                    Util::resetTime();
                    Util::logTimeF("ALLEGRO_EVENT_TIMER _alTimer");
                    frameDue = true;
                }
                break;
            case ALLEGRO_EVENT_DISPLAY_RESIZE:
                // a display that a mode switch has replaced meanwhile has nothing more to say
                if (event.display.source != _alDisplay) break;
                al_acknowledge_resize(_alDisplay);
                // only the user resizes a window to a size the program did not ask for; a
                // full-screen window takes the monitor's size
                if (_config->zoom > 0 && _config->fullscreen == 0 &&
                    (event.display.width != requestedW || event.display.height != requestedH)) {
                    _config->zoom = -1;
                    frameDue = true;
                    _config->queueSave();
                    _gui->forceRedraw();
                }
                updateDisplay(event.display.width, event.display.height, true, false);
                break;
            case ALLEGRO_EVENT_DISPLAY_CLOSE:
                exitRequested = true;
                break;
            case ALLEGRO_EVENT_DISPLAY_SWITCH_IN:
                if (event.display.source == _alDisplay) focusChanged(true);
                break;
            case ALLEGRO_EVENT_DISPLAY_SWITCH_OUT:
                if (event.display.source == _alDisplay) focusChanged(false);
                break;
            default:
                break;
        }

        if (displayLost) {
            Util::logErrorF("EmulatorMain: no display could be created, exiting\n");
            return 1;
        }

        if (frameDue && al_is_event_queue_empty(_alEventQueue)) {
            if (keyboardStale) keyboardStale = !settleKeyboard();
            drawFrame();
            frameDue = false;
            Util::logTimeF("frame done");
            frameCount++;
            if (resetRequested) {
                resetRequested = false;
                Util::logF("reset\n");
                nes->softReset();
            }
        }

        if (exitRequested) {
            // a change queued after the last drawn frame (the window closed right after a
            // setting changed) is still written
            _config->update();
            Util::logF("exit\n");
            return 0;
        }
    }
}

void EmulatorMain::runConsoleFrame() {
    Util::logTimeF("nes->update();");
    nes->update();
    Util::logTimeF("nes->vekApu->update();");
    nes->vekApu->update();
}

// A game spends its first frames setting up with every colour still black. Nobody could see
// them, so the window does not wait for them: they run back to back, and the first frame
// that can show something is drawn at once instead of at the next tick of the frame timer.
void EmulatorMain::showFirstPicture() {
    int frames = 0;
    do {
        runConsoleFrame();
    } while (++frames < MAX_DARK_FRAMES && renderer->showsOnlyBlack());
    Util::logF("first picture after %d console frames\n", frames);
    renderer->update();
    presentFrame();
}

void EmulatorMain::drawFrame() {
    Util::logTimeF("frame start");
    if (_gui->top < 0 && hasFocus) {
        runConsoleFrame();
        Util::logTimeF("renderer->update();");
        renderer->update();
    }
    presentFrame();
}

void EmulatorMain::presentFrame() {
    Util::logTimeF("al render start");
    ALLEGRO_BITMAP* backBuffer = al_get_backbuffer(_alDisplay);
    al_set_target_bitmap(backBuffer);
    if (redrawBorder) {
        Util::logTimeF("redraw border start");
        unsigned int c = _config->borderColor;
        al_clear_to_color(al_map_rgb((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        redrawBorder = false;
        Util::logTimeF("redraw border done");
    }

    int x0 = al_get_display_width(_alDisplay) / 2 - _config->getViewportW() / 2;
    int y0 = al_get_display_height(_alDisplay) / 2 - _config->getViewportH() / 2;
    if (renderer->bitmap) {
        int rows = PICTURE_H - _config->overscanTop - _config->overscanBottom;
        al_draw_scaled_bitmap(renderer->bitmap, Renderer::MARGIN, Renderer::MARGIN + _config->overscanTop, PICTURE_W,
                              rows, x0, y0, _config->getViewportW(), _config->getViewportH(), 0);
    }

    if (_gui) {
        _gui->update();
        _gui->render(backBuffer, x0, y0);
    }
    al_flip_display();
    Util::logTimeF("al render done");

    _config->update();
    nes->vekApu->setMusicVolume(_config->musicVolume / 100.0f);
    nes->vekApu->setSfxVolume(_config->sfxVolume / 100.0f);
}

void EmulatorMain::pause() {
    if (paused) return;
    paused = true;
    holdMusic();
}

void EmulatorMain::unpause() {
    if (!paused) return;
    paused = false;
    holdMusic();
}

// Keys let go while the window was away or being replaced (the Enter of a quick Alt+Enter)
// leave Allegro believing them held, and it would take their next press for a repeat that
// brings no key-down. Once no key is down, its record starts empty. Returns whether the
// keyboard is settled.
bool EmulatorMain::settleKeyboard() {
    if (!al_is_keyboard_installed()) return true;
    ALLEGRO_KEYBOARD_STATE state;
    al_get_keyboard_state(&state);
    bool held = false;
    for (int k = 1; k < ALLEGRO_KEY_MAX && !held; k++) held = al_key_down(&state, k);
    if (!held) return true;
    // a key really held is let go in the window that has the focus now, and Allegro sees it
    if (anyKeyDown()) return false;
    _input->clearKeyboardRecord();
    return true;
}

void EmulatorMain::focusChanged(bool focus) {
    hasFocus = focus;
    // keys let go in another window are never reported here: count them as released
    if (!focus && _input) {
        _input->forgetKeys();
        keyboardStale = true;
    }
    holdMusic();
}

// The program's own hold on the music, apart from the game's: music that the game paused
// stays paused when a dialog closes or the focus returns.
void EmulatorMain::holdMusic() {
    if (nes) nes->vekApu->setHostPaused(paused || !hasFocus);
}

void EmulatorMain::reset() { resetRequested = true; }

void EmulatorMain::exit() { exitRequested = true; }

void EmulatorMain::handleInputEvent(ALLEGRO_EVENT* event) {
    switch (event->type) {
    case ALLEGRO_EVENT_JOYSTICK_AXIS:
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN:
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_UP:
        Util::logTimeF("ALLEGRO_EVENT_JOYSTICK");
        _input->handleAllegroEvent(event);
        handleOpenMenu();
        break;
    case ALLEGRO_EVENT_KEY_DOWN:
        Util::logTimeF("ALLEGRO_EVENT_KEY_DOWN");
        if (event->keyboard.keycode == ALLEGRO_KEY_ENTER && _alDisplay &&
            (_input->isKeyHeld(ALLEGRO_KEY_ALT) || _input->isKeyHeld(ALLEGRO_KEY_ALTGR))) {
            // one switch per press: a held key repeats as characters, never as key-downs
            toggleFullscreen();
        } else if (_gui->top < 0 && event->keyboard.keycode == ALLEGRO_KEY_ESCAPE) {
            _gui->openDialog(new gui::MainMenuDialog(_gui, 0));
        } else {
            Util::logTimeF("_input->handleAllegroEvent");
            _input->handleAllegroEvent(event);
            handleOpenMenu();
        }
        break;
    case ALLEGRO_EVENT_KEY_UP:
        // the release of Tab after Alt+Tab must not reach the game
        if (event->keyboard.keycode != ALLEGRO_KEY_TAB) _input->handleAllegroEvent(event);
        break;
    default:
        break;
    }
}

void EmulatorMain::askControllerQuestion() {
    gui::MessageDialog* question =
        new gui::MessageDialog(_gui, 128, 50, "Would you like to configure\na controller now?", 0, true);
    question->setOptions("Yes", "No", nullptr, startupControllerCallback, -1);
    _gui->openModalDialog(question);
}

void EmulatorMain::handleOpenMenu() {
    if (_gui->top >= 0) return;
    for (int player = 0; player < 4; player++) {
        if (nes->getButtons(player) & nes::BUTTON_START) {
            for (int p = 0; p < 4; p++) nes->clearButtons(p, nes::BUTTON_START);
            _gui->openDialog(new gui::MainMenuDialog(_gui, 0));
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------
// host start-up and display creation

#if defined(VEK_X11) && defined(ALLEGRO_WITH_XWINDOWS)
// A request about a window that the server has already destroyed (a display re-created twice
// in quick succession) is harmless to the program. Xlib's default handler would end the
// process from inside a locked Allegro call, and the exit then waits forever for Allegro's
// X thread: the window vanishes and the program never ends.
static int logXError(Display* display, XErrorEvent* event) {
    char text[128];
    XGetErrorText(display, event->error_code, text, sizeof text);
    Util::logErrorF("X error ignored: %s (request %d)\n", text, event->request_code);
    return 0;
}

// whether any key is down right now, as the X server knows it (true when that cannot be
// asked); the connection is opened at the first question and kept
static bool anyKeyDown() {
    static Display* keyboard = XOpenDisplay(nullptr);
    if (!keyboard) return true;
    char keys[32];
    XQueryKeymap(keyboard, keys);
    for (char k : keys) {
        if (k) return true;
    }
    return false;
}
#else
static bool anyKeyDown() { return true; }
#endif

bool EmulatorMain::alInitialize() {
    if (!al_init()) {
        Util::logErrorF("al_init failed\n");
        return false;
    }
#if defined(VEK_X11) && defined(ALLEGRO_WITH_XWINDOWS)
    XSetErrorHandler(logXError);
#endif
    uint32_t version = al_get_allegro_version();
    Util::logF("ALLEGRO V%d.%d.%d[%d]\n", version >> 24, (version >> 16) & 255, (version >> 8) & 255, version & 255);

    int adapters = al_get_num_video_adapters();
    Util::logF("Found %d display adapters:\n", adapters);
    for (int i = 0; i < adapters; i++) {
        ALLEGRO_MONITOR_INFO info;
        if (al_get_monitor_info(i, &info))
            Util::logF("  %d: (%d,%d)-(%d,%d)\n", i, info.x1, info.y1, info.x2, info.y2);
        else
            Util::logF("  %d: could not get monitor info\n", i);
    }

    if (!createDisplay(true)) return false;

    // the sound (the audio add-on, the codecs, the mixer, then the decoded effects) comes up
    // on a thread of its own while the first frames are made; the music player takes it over
    // once it is there
    nes::VekApu::startAudio();
    return true;
}

void EmulatorMain::installInput() {
    if (!al_install_keyboard()) Util::logErrorF("al_install_keyboard failed\n");
    if (!al_install_joystick()) Util::logErrorF("al_install_joystick failed\n");
    if (!al_install_mouse()) Util::logErrorF("al_install_mouse failed\n");
    if (al_is_keyboard_installed()) al_register_event_source(_alEventQueue, al_get_keyboard_event_source());
    if (al_is_joystick_installed()) al_register_event_source(_alEventQueue, al_get_joystick_event_source());
    if (al_is_mouse_installed()) al_register_event_source(_alEventQueue, al_get_mouse_event_source());
    _input->reconfigureJoysticks();
}

bool EmulatorMain::createDisplay(bool createQueueAndTimers) {
    if (_alDisplay) {
        if (_alEventQueue) al_unregister_event_source(_alEventQueue, al_get_display_event_source(_alDisplay));
        al_destroy_display(_alDisplay);
        _alDisplay = nullptr;
    }

    al_reset_new_display_options();
    if (_config->hardwareAcceleration == 1)
        al_set_new_display_option(ALLEGRO_RENDER_METHOD, 1, ALLEGRO_SUGGEST);
    else if (_config->hardwareAcceleration == 2)
        al_set_new_display_option(ALLEGRO_RENDER_METHOD, 0, ALLEGRO_SUGGEST);
    al_set_new_display_option(ALLEGRO_SINGLE_BUFFER, _config->renderMethod, ALLEGRO_SUGGEST);
    al_set_new_display_option(ALLEGRO_SWAP_METHOD, _config->swapMethod, ALLEGRO_SUGGEST);
    al_set_new_display_option(ALLEGRO_VSYNC, _config->vsync, ALLEGRO_SUGGEST);

    int vx = _config->getViewportX();
    int vy = _config->getViewportY();
    if (_config->fullscreen != 0) {
        int adapter = getVideoAdapterByPos(vx, vy, false);
        if (adapter >= 0) {
            al_set_new_display_adapter(adapter);
            al_set_new_display_flags(ALLEGRO_FULLSCREEN_WINDOW | ALLEGRO_RESIZABLE);
        } else {
            _config->fullscreen = 0;
        }
    }
    if (_config->fullscreen == 0) {
        al_set_new_display_adapter(ALLEGRO_DEFAULT_DISPLAY_ADAPTER);
        al_set_new_display_flags(ALLEGRO_WINDOWED | ALLEGRO_RESIZABLE);
    }

    const int w = _config->getViewportW();
    const int h = _config->getViewportH();
    if (!createQueueAndTimers && failDisplayRecreations > 0) {
        failDisplayRecreations--;
    } else {
        _alDisplay = al_create_display(w, h);
    }
    if (!_alDisplay) {
        Util::logErrorF("al_create_display failed\n");
        return false;
    }
    al_set_window_title(_alDisplay, GAME_TITLE);
    if (_config->fullscreen == 0) {
        requestedW = w;
        requestedH = h;
        if (vx != Config::NO_POSITION && vy != Config::NO_POSITION) {
            // a place on a monitor that has gone, or dragged off the screen: the window must
            // still be seen
            std::vector<MonitorRect> monitors;
            for (int i = 0; i < al_get_num_video_adapters(); i++) {
                ALLEGRO_MONITOR_INFO info;
                if (al_get_monitor_info(i, &info)) monitors.push_back({info.x1, info.y1, info.x2, info.y2});
            }
            if (bringOntoMonitor(vx, vy, w, h, monitors.data(), (int)monitors.size())) {
                Util::logF("window position %d,%d lies on no monitor, moved to %d,%d\n", _config->getViewportX(),
                           _config->getViewportY(), vx, vy);
                _config->setViewportX(vx);
                _config->setViewportY(vy);
                _config->queueSave();
            }
            al_set_window_position(_alDisplay, vx, vy);
        }
    }

    if (createQueueAndTimers) {
        if (!al_inhibit_screensaver(true)) Util::logErrorF("al_inhibit_screensaver failed!\n");
        _alEventQueue = al_create_event_queue();
        if (!_alEventQueue) {
            Util::logErrorF("failed to create event_queue!\n");
            return false;
        }
        _alTimer = al_create_timer(1.0 / 60.0);
        if (!_alTimer) {
            Util::logErrorF("al_create_timer failed\n");
            return false;
        }
        _alFpsTimer = al_create_timer(1.0);
        if (!_alFpsTimer) {
            Util::logErrorF("al_create_timer failed (2)\n");
            return false;
        }
        al_register_event_source(_alEventQueue, al_get_timer_event_source(_alTimer));
        al_register_event_source(_alEventQueue, al_get_timer_event_source(_alFpsTimer));
        al_start_timer(_alTimer);
        al_start_timer(_alFpsTimer);
    }

    al_register_event_source(_alEventQueue, al_get_display_event_source(_alDisplay));
    mouseHideTime = 0.0;
    al_hide_mouse_cursor(_alDisplay);
    return true;
}

int EmulatorMain::getVideoAdapterByPos(int x, int y, bool fallbackToFirst) {
    int adapters = al_get_num_video_adapters();
    for (int i = 0; i < adapters; i++) {
        ALLEGRO_MONITOR_INFO info;
        if (al_get_monitor_info(i, &info) && info.x1 <= x && x <= info.x2 && info.y1 <= y && y <= info.y2) return i;
    }
    if (fallbackToFirst && adapters > 0) return 0;
    return -1;
}

bool EmulatorMain::loadRom() {
    delete nes;
    nes = nullptr;
    delete _input;
    _input = nullptr;
    delete renderer;
    renderer = nullptr;

    nes = new nes::Nes();
    _input = new Input(nes, _config);
    renderer = new Renderer(nes->ppu);
    bool loaded = nes->loadInternalRom(ROM_DATA);
    if (!loaded) Util::logErrorF("failed to load rom\n");
    return loaded;
}

// ---------------------------------------------------------------------------------------
// screen modes and scaling

void EmulatorMain::updateDisplay(int w, int h, bool resizeWindow, bool moveWindow) {
    if (!_alDisplay) return;
    al_set_display_flag(_alDisplay, ALLEGRO_FULLSCREEN_WINDOW, _config->fullscreen != 0);
    redrawBorder = true;

    if (w == -1) w = al_get_display_width(_alDisplay);
    if (h == -1) h = al_get_display_height(_alDisplay);

    ViewportResult vp = computeViewport(_config->zoom, w, h, _config->overscanTop, _config->overscanBottom,
                                        _config->getViewportW(), _config->getViewportH());
    int newW = w, newH = h;
    bool moved = false;
    if (vp.fixed && resizeWindow && _config->fullscreen == 0) {
        int wx = 0, wy = 0;
        // a window about to be put back in its place is fitted there, not where it is now
        if (moveWindow && _config->getViewportX() != Config::NO_POSITION &&
            _config->getViewportY() != Config::NO_POSITION) {
            wx = _config->getViewportX();
            wy = _config->getViewportY();
        } else {
            al_get_window_position(_alDisplay, &wx, &wy);
        }
        int dw = al_get_display_width(_alDisplay);
        int dh = al_get_display_height(_alDisplay);
        int adapter = getVideoAdapterByPos(wx + dw / 2, wy + dh / 2, true);
        ALLEGRO_MONITOR_INFO info;
        if (adapter >= 0 && al_get_monitor_info(adapter, &info)) {
            WindowFit fit = fitWindowToMonitor(wx, wy, vp.w, vp.h, info.x1, info.y1, info.x2, info.y2);
            newW = fit.w;
            newH = fit.h;
            moved = fit.moved;
            _config->setViewportX(fit.x);
            _config->setViewportY(fit.y);
        } else {
            newW = vp.w;
            newH = vp.h;
        }
    }

    if (vp.w != _config->getViewportW() || vp.h != _config->getViewportH()) {
        _config->setViewportW(vp.w);
        _config->setViewportH(vp.h);
        _config->queueSave();
    }

    if (_config->fullscreen == 0) {
        if (resizeWindow) {
            requestedW = newW;
            requestedH = newH;
            al_resize_display(_alDisplay, newW, newH);
        }
        if ((moveWindow || moved) && _config->getViewportX() != Config::NO_POSITION &&
            _config->getViewportY() != Config::NO_POSITION)
            al_set_window_position(_alDisplay, _config->getViewportX(), _config->getViewportY());
    }
}

void EmulatorMain::toggleFullscreen() {
    const bool wanted = _config->fullscreen == 0;
    setFullscreen(wanted);
    // a refused switch stays in the mode it was in, and the notice says so
    if ((_config->fullscreen != 0) == wanted)
        openNotice(90, wanted ? FULLSCREEN_MESSAGE : WINDOWED_MESSAGE);
    else
        openNotice(90, wanted ? FULLSCREEN_REFUSED_MESSAGE : WINDOWED_REFUSED_MESSAGE);
}

void EmulatorMain::openNotice(int h, const char* text) {
    gui::MessageDialog* message = new gui::MessageDialog(_gui, 150, h, text, 0, false);
    message->setOptions("Continue", nullptr, nullptr, screenModeMessageCallback, -1);
    _gui->openModalDialog(message);
}

// Both directions re-create the display: a window that never was full screen opens
// exactly at its stored place and size, and the system's restoring of a full-screen window
// cannot be mistaken for the user resizing it.
void EmulatorMain::setFullscreen(bool on) {
    const int before = _alDisplay && (al_get_display_flags(_alDisplay) & ALLEGRO_FULLSCREEN_WINDOW) ? 1 : 0;
    // the window's last size, which may be larger than its picture
    const int windowW = requestedW > 0 ? requestedW : _config->windowViewportW;
    const int windowH = requestedH > 0 ? requestedH : _config->windowViewportH;
    // the monitor that full screen was last shown on, kept when the switch is refused
    const int fullscreenX = _config->fullscreenViewportX;
    const int fullscreenY = _config->fullscreenViewportY;
    if (on) {
        int wx = 0, wy = 0;
        if (_alDisplay) al_get_window_position(_alDisplay, &wx, &wy);
        if (!before) {
            _config->windowViewportX = wx;
            _config->windowViewportY = wy;
        }
        _config->fullscreenViewportX = wx + _config->windowViewportW / 2;
        _config->fullscreenViewportY = wy + _config->windowViewportH / 2;
    }
    _config->fullscreen = on ? 1 : 0;
    if (!recreateDisplay(before, _config->vsync)) return;
    const bool refused = _config->fullscreen != (on ? 1 : 0);

    Util::logF("EmulatorMain: %s%s\n", refused ? "stays " : "", _config->fullscreen ? "full screen" : "windowed");
    if (_config->fullscreen) {
        updateDisplay(-1, -1, false, false);
        int fx = 0, fy = 0;
        al_get_window_position(_alDisplay, &fx, &fy);
        _config->fullscreenViewportX = fx;
        _config->fullscreenViewportY = fy;
    } else {
        updateDisplay(windowW, windowH, true, true);
    }
    if (refused) {
        _config->fullscreenViewportX = fullscreenX;
        _config->fullscreenViewportY = fullscreenY;
    }
    _config->queueSave();
}

void EmulatorMain::toggleVsync() {
    int previous = _config->vsync;
    const int wanted = _config->vsync == 1 ? 2 : 1;
    _config->vsync = wanted;
    _config->queueSave();

    // the new window opens where this one stands now
    if (_config->fullscreen == 0 && _alDisplay)
        al_get_window_position(_alDisplay, &_config->windowViewportX, &_config->windowViewportY);
    if (recreateDisplay(_config->fullscreen, previous)) updateDisplay(-1, -1, false, false);
    // a refused change went back to the display before, and the notice says so
    if (_config->vsync != wanted)
        openNotice(60, VSYNC_REFUSED_MESSAGE);
    else
        openNotice(140, _config->vsync == 1 ? VSYNC_ON_MESSAGE : VSYNC_OFF_MESSAGE);
}

// A new display for the settings now in the configuration. When the system refuses it, the
// previous settings, which gave a display before, are tried once more; when that fails too,
// the frame loop ends the program with status 1.
bool EmulatorMain::recreateDisplay(int previousFullscreen, int previousVsync) {
    // the releases of keys held now go to whichever window has the focus meanwhile, not
    // necessarily the new one: they count as released
    if (_input) _input->forgetKeys();
    keyboardStale = true;
    if (createDisplay(false)) return true;
    Util::logErrorF("EmulatorMain: the display could not be re-created, going back to the previous setting\n");
    _config->fullscreen = previousFullscreen;
    _config->vsync = previousVsync;
    if (createDisplay(false)) return true;
    displayLost = true;
    return false;
}

}  // namespace vek
