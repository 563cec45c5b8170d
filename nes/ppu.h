#pragma once

namespace vek {
namespace nes {

class Nes;

// The picture processor's state: registers, its 16 KiB address space and sprite memory.
// It is never clocked; the renderer draws a whole frame from this state.
class Ppu {
public:
    unsigned char ctrl;     // PPUCTRL $2000: bit 7 NMI enable, bit 4 background table, bit 3 sprite table, bits 0-1 nametable
    unsigned char mask;     // PPUMASK $2001: stored, never read
    unsigned char status;   // PPUSTATUS $2002: bit 7 vertical blank
    unsigned char scrollX;  // first $2005 write
    unsigned char scrollY;  // second $2005 write
    unsigned char oamAddr;  // OAMADDR $2003: start of sprite DMA
    unsigned char oam[256]; // 64 sprites: Y, tile, attributes, X
    Nes* nes;
    unsigned char vram[16384];
    int writeToggle;
    unsigned int vramAddr;
    int mirrorMask;

    explicit Ppu(Nes* nes);
    ~Ppu();

    void reset();

    // register bus
    int readRegister(unsigned int address);
    void writeRegister(unsigned int address, unsigned char value);

    // memory
    void setNametableMirroring(int mode);
    unsigned int read8(unsigned int address) const {
        if (address >= 0x2000 && address < 0x3000) address &= ~(unsigned int)mirrorMask;
        return vram[address & 0x3FFF];
    }
    void write8(unsigned int address, unsigned char value) {
        if (address >= 0x2000 && address < 0x3000) address &= ~(unsigned int)mirrorMask;
        vram[address & 0x3FFF] = value;
    }
    void copyChrRom(unsigned int offset, const unsigned char* data, unsigned int length);

    // diagnostics
    void dumpMemory(const char* path);
};

}  // namespace nes
}  // namespace vek
