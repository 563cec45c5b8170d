#include "nes/nes.h"

#include "nes/cpu.h"
#include "nes/hooks.h"
#include "nes/ppu.h"
#include "nes/vek_apu.h"

namespace vek {
namespace nes {

Nes::Nes() : cpu(nullptr), ppu(nullptr), vekApu(nullptr), hooks(nullptr), strobe(1) {
    ppu = new Ppu(this);
    cpu = new Cpu(this);
    vekApu = new VekApu(this);
    hooks = new Hooks(this);
    for (int i = 0; i < 4; i++) {
        buttons[i] = 0;
        shiftRegisters[i] = 0;
    }
}

Nes::~Nes() {
    if (hooks) {
        delete hooks;
        hooks = nullptr;
    }
    if (vekApu) {
        delete vekApu;
        vekApu = nullptr;
    }
    if (ppu) {
        delete ppu;
        ppu = nullptr;
    }
    if (cpu) {
        delete cpu;
        cpu = nullptr;
    }
}

bool Nes::loadInternalRom(const unsigned char* image) {
    ppu->setNametableMirroring(0);
    cpu->copyRom(0, image, PRG_SIZE);
    ppu->copyChrRom(0, image + PRG_SIZE, CHR_SIZE);
    cpu->reset();
    return true;
}

void Nes::update() { cpu->runUntilRenderDone(FRAME_BUDGET); }

void Nes::softReset() {
    cpu->reset();
    ppu->reset();
}

void Nes::hardReset() {
    for (unsigned int address = 0; address <= 0xFFFF; address++) cpu->ghostWrite8(address, 0);
    cpu->reset();
    ppu->reset();
}

// One controller port: bit 0 from the first player, bit 1 from the second; bits 5-7 float high.
// While the strobe is held the A buttons are read live and nothing shifts.
int Nes::readPort(int first, int second) {
    int value;
    if (strobe & 1) {
        value = (buttons[first] & 1) | (buttons[second] & 1) << 1;
    } else {
        value = (shiftRegisters[first] & 1) | (shiftRegisters[second] & 1) << 1;
        shiftRegisters[first] >>= 1;
        shiftRegisters[second] >>= 1;
    }
    return 0xE0 | value;
}

int Nes::readRegister(unsigned int address) {
    if (address >= 0x2000 && address <= 0x2007) return ppu->readRegister(address);
    switch (address) {
        case 0x4014: return ppu->readRegister(address);
        case 0x4016: return readPort(0, 2);
        case 0x4017: return readPort(1, 3);
        default: return -1;
    }
}

void Nes::writeRegister(unsigned int address, unsigned char value) {
    if (address >= 0x2000 && address <= 0x2007) {
        ppu->writeRegister(address, value);
    } else if (address == 0x4014) {
        ppu->writeRegister(address, value);
    } else if (address == 0x4016) {
        strobe = value & 1;
        for (int i = 0; i < 4; i++) shiftRegisters[i] = buttons[i];
    }
    // the sound chip's registers and everything else: dropped
}

void Nes::setButtons(int player, int bits) { buttons[player] |= bits; }

void Nes::clearButtons(int player, int bits) { buttons[player] &= ~bits; }

int Nes::getButtons(int player) { return buttons[player]; }

}  // namespace nes
}  // namespace vek
