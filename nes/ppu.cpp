#include "nes/ppu.h"

#include <cstdio>
#include <cstring>

#include "app/util.h"
#include "nes/cpu.h"
#include "nes/nes.h"

namespace vek {
namespace nes {

static const unsigned int PALETTE = 0x3F00;
static const unsigned int PALETTE_SIZE = 32;
static const unsigned char PALETTE_RESET_VALUE = 0x0F;
static const int SPRITE_DMA_CYCLES = 514;

Ppu::Ppu(Nes* nes)
    : ctrl(0), mask(0), status(0), scrollX(0), scrollY(0), oamAddr(0), nes(nes), writeToggle(0), vramAddr(0),
      mirrorMask(0x400) {
    memset(oam, 0, sizeof(oam));
    memset(vram, 0, sizeof(vram));
    reset();
}

Ppu::~Ppu() {}

void Ppu::reset() { memset(vram + PALETTE, PALETTE_RESET_VALUE, PALETTE_SIZE); }

int Ppu::readRegister(unsigned int address) {
    if (address != 0x2002) return -1;
    // reading the status ends the vertical-blank flag and restarts the write pairs
    int value = status;
    writeToggle = 0;
    status &= 0x7F;
    return value;
}

void Ppu::writeRegister(unsigned int address, unsigned char value) {
    switch (address) {
        case 0x2000: ctrl = value; break;
        case 0x2001: mask = value; break;
        case 0x2003: oamAddr = value; break;
        case 0x2005:
            if (writeToggle == 0)
                scrollX = value;
            else
                scrollY = value;
            writeToggle ^= 1;
            break;
        case 0x2006:
            if (writeToggle == 0)
                vramAddr = value << 8;
            else
                vramAddr |= value;
            writeToggle ^= 1;
            break;
        case 0x2007:
            // always a step of 1, whatever PPUCTRL bit 2 says
            write8(vramAddr, value);
            vramAddr++;
            break;
        case 0x4014: {
            Cpu* cpu = nes->cpu;
            cpu->spendCycles(SPRITE_DMA_CYCLES);
            unsigned int page = value << 8;
            for (unsigned int i = 0; i < 256; i++) oam[(oamAddr + i) & 0xFF] = cpu->ghostRead8(page + i);
            break;
        }
        default: break;  // $2002, $2004: nothing to write
    }
}

void Ppu::setNametableMirroring(int mode) { mirrorMask = mode ? 0x800 : 0x400; }

void Ppu::copyChrRom(unsigned int offset, const unsigned char* data, unsigned int length) {
    if (length == 0 || offset >= 0x2000) return;
    if (length > 0x2000 - offset) length = 0x2000 - offset;
    memcpy(vram + offset, data, length);
}

void Ppu::dumpMemory(const char* path) {
    FILE* f = fopen(path, "wb");
    if (!f) return;
    unsigned char bytes[sizeof(vram)];
    for (unsigned int address = 0; address < sizeof(vram); address++) bytes[address] = (unsigned char)read8(address);
    fwrite(bytes, 1, sizeof(bytes), f);
    fclose(f);
    Util::logF("dumped PPU memory 0000-3FFF to %s\n", path);
}

}  // namespace nes
}  // namespace vek
