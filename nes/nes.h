#pragma once

namespace vek {
namespace nes {

class Cpu;
class Ppu;
class VekApu;
class Hooks;

// Controller button bits, in the order a controller shifts them out (bit 0 first).
enum Button {
    BUTTON_A = 1,
    BUTTON_B = 2,
    BUTTON_SELECT = 4,
    BUTTON_START = 8,
    BUTTON_UP = 16,
    BUTTON_DOWN = 32,
    BUTTON_LEFT = 64,
    BUTTON_RIGHT = 128,
};

// The emulated console: owns the CPU, the picture processor, the sound player and the
// sound-driver hooks, and is the bus behind every register access.
class Nes {
public:
    static constexpr int FRAME_BUDGET = 59562;  // cycles: two video frames
    static constexpr int ROM_SIZE = 40960;
    static constexpr int PRG_SIZE = 32768;
    static constexpr int CHR_SIZE = 8192;

    Cpu* cpu;
    Ppu* ppu;
    VekApu* vekApu;
    Hooks* hooks;
    int buttons[4];
    int strobe;
    int shiftRegisters[4];

    Nes();
    ~Nes();

    // cartridge and resets
    bool loadInternalRom(const unsigned char* image);
    void update();
    void softReset();
    void hardReset();

    // register bus
    int readRegister(unsigned int address);
    void writeRegister(unsigned int address, unsigned char value);

    // controllers
    void setButtons(int player, int buttons);
    void clearButtons(int player, int buttons);
    int getButtons(int player);

private:
    int readPort(int first, int second);
};

}  // namespace nes
}  // namespace vek
