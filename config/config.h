#pragma once

#include <cstdint>

struct ALLEGRO_JOYSTICK;

namespace vek {

// One binding of a controller button of one player to a control code (see input/) and,
// for gamepad controls, the device text of the gamepad. Only `code` and `uid` are kept
// in the configuration file; `player` and `button` follow from the option's position.
struct structConfigControl {
    int player;                   // 0 to 3
    int button;                   // 0 to 7: Left, Right, Up, Down, A, B, Start, Select
    char uid[512];                // gamepad device text; empty for keyboard and unbound
    uint32_t code;                // control code; 0 means unbound
    bool conflict;                // another binding has the same code and uid (run time)
    ALLEGRO_JOYSTICK* joystick;   // the attached gamepad whose device text is uid (run time)
};

enum ConfigOptionType {
    OPTION_INT = 0,      // int, "%d"
    OPTION_DOUBLE = 1,   // double, "%g", or with more digits where six do not read back
    OPTION_COLOR = 2,    // unsigned 0xRRGGBB, "%06x"
    OPTION_CONTROL = 3,  // structConfigControl, "%u:%s" (code and uid)
};

// One registered option: a key of the configuration file bound to a member of Config.
struct structConfigOption {
    // room for the longest value the program writes: a control code of up to ten digits, its
    // colon and a device text as long as `uid` holds, so that every binding is written whole
    // and read back the same
    static const int VALUE_SIZE = 11 + (int)sizeof(structConfigControl::uid);

    char name[256];
    ConfigOptionType type;
    void* data;
    char valueText[VALUE_SIZE];
    char comment[2048];  // written above the option, line by line; may hold line feeds
};

// The settings of the program and the file "Ember Spire.cfg" that keeps them.
// Parts of the program read and assign the option members directly and call queueSave()
// after a change that is to persist; update() writes the file once per drawn frame.
class Config {
public:
    static const int NUM_OPTIONS = 55;
    static const char* const CONFIG_FILE;

    static const int NUM_PLAYERS = 4;
    static const int NUM_BUTTONS = 8;

    // a stored viewport position of this value means that no position is known
    static const int NO_POSITION = 2147483647;

    // a settings file is a few kilobytes: reading stops here, whatever follows is ignored
    static const int MAX_FILE_SIZE = 512 * 1024;
    // settings lines shown on standard output while loading; the rest are counted
    static const int MAX_LOGGED_LINES = 2 * NUM_OPTIONS;
    // a temporary file of a save older than this is left over, whoever made it
    static const int STALE_TEMP_SECONDS = 3600;

    // video: window geometry
    int windowViewportX;
    int windowViewportY;
    int windowViewportW;
    int windowViewportH;
    int fullscreen;
    int fullscreenViewportX;
    int fullscreenViewportY;
    int fullscreenViewportW;
    int fullscreenViewportH;
    int fullscreenW;
    int fullscreenH;
    // video: picture
    uint32_t borderColor;
    int overscanTop;
    int overscanBottom;
    // video: display-creation suggestions
    int vsync;
    int hardwareAcceleration;
    int renderMethod;
    int swapMethod;
    int zoom;
    // start-up
    int skipControllerConfig;
    // audio, in percent
    int musicVolume;
    int sfxVolume;
    // input
    double joystickAxisThreshold;
    structConfigControl controls[NUM_PLAYERS][NUM_BUTTONS];

    // scratch of the line parser
    char parseKey[256];
    char parseValue[structConfigOption::VALUE_SIZE];

    bool saveQueued;
    // the file is there but could not be read: this run plays on defaults and never
    // writes over it
    bool keepFile;

    // the registry, in the order of the lines of the file
    structConfigOption options[NUM_OPTIONS];
    int numOptions;

    Config();
    ~Config();

    // registry
    void registerOption(const char* name, ConfigOptionType type, void* data,
                        const char* defaultValue, const char* comment);
    void registerOptionInt(const char* name, int* data, int defaultValue, const char* comment);
    void registerOptionColor(const char* name, uint32_t* data, uint32_t defaultValue,
                             const char* comment);
    structConfigOption* getOption(const char* name);
    void loadOptionValue(structConfigOption* option, const char* text);
    // the member's value as the file holds it
    static void formatValue(const structConfigOption* option, char* out, unsigned size);
    void loadDefaultValues();
    // brings every option into the range the rest of the program can work with
    void limitValues();

    // the file
    bool parseLine(const char* line);
    bool load();
    bool save();
    void keepUnreadableFile(int err);

    // deferred saving: queueSave() marks the file dirty, update() writes it
    void queueSave();
    bool isSaveQueued() const;
    void update();

    // the viewport of the current mode: the full-screen set when `fullscreen` is non-zero,
    // the window set otherwise
    int getViewportX();
    int getViewportY();
    int getViewportW();
    int getViewportH();
    void setViewportX(int x);
    void setViewportY(int y);
    void setViewportW(int w);
    void setViewportH(int h);
};

}  // namespace vek
