#pragma once
// The fuzz targets: each runs one input of arbitrary bytes through a part of the program
// and checks what must hold whatever the bytes. libFuzzer drives them in the fuzz build
// (tests/fuzz/fuzz_main.cpp); the unit tests replay the kept corpus through them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vekfuzz {

// Each returns an empty text when every check held, else what went wrong.
typedef std::string (*TargetFunction)(const uint8_t* data, size_t size);

// the bytes as "Ember Spire.cfg": loaded, saved, loaded and saved again; the settings are
// the same after the second load and the saved text the same from the first save on
std::string runSettings(const uint8_t* data, size_t size);

// the bytes as a cartridge image (cut or padded with zeros to 40,960 bytes), run for
// CONSOLE_FRAMES frames with changing buttons on the four pads, the picture drawn each frame
std::string runConsole(const uint8_t* data, size_t size);
const int CONSOLE_FRAMES = 300;

// the bytes as text drawn by the menu font at a place, line distance and tint they choose
std::string runFont(const uint8_t* data, size_t size);

// the bytes as a sequence of key, gamepad, gamepad-list and frame events handled as the
// frame loop handles them, with the menus opening and closing
std::string runInput(const uint8_t* data, size_t size);

struct Target {
    const char* name;  // also the folder of its corpus under tests/fuzz/corpus and regressions
    TargetFunction run;
};
extern const Target TARGETS[];
extern const int NUM_TARGETS;

}  // namespace vekfuzz
