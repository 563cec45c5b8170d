#include "nes/cpu.h"

#include <cstdio>
#include <cstring>

#include "app/util.h"
#include "diag/trace_logger.h"
#include "nes/nes.h"
#include "nes/ppu.h"

namespace vek {
namespace nes {

static const unsigned int NMI_VECTOR = 0xFFFA;
static const unsigned int RESET_VECTOR = 0xFFFC;
static const unsigned int BRK_VECTOR = 0xFFFE;

Cpu::Cpu(Nes* nes)
    : a(0), x(0), y(0), pc(0), sp(0), p(0), frameCycles(0), cyclesLeft(0), renderDone(false), nes(nes),
      inVblank(0), traceLogger(new TraceLogger()) {
    memset(ram, 0, sizeof(ram));
    memset(prgRom, 0, sizeof(prgRom));
}

Cpu::~Cpu() {
    if (traceLogger) {
        traceLogger->deactivate();
        delete traceLogger;
        traceLogger = nullptr;
    }
}

void Cpu::reset() { pc = read16(RESET_VECTOR); }

void Cpu::copyRom(unsigned int offset, const unsigned char* data, unsigned int length) {
    if (length == 0 || offset >= sizeof(prgRom)) return;
    if (length > sizeof(prgRom) - offset) length = sizeof(prgRom) - offset;
    memcpy(prgRom + offset, data, length);
}

unsigned int Cpu::readBus(unsigned int addr) {
    // $6000-$7FFF: no cartridge RAM, nothing answers
    if (addr >= 0x6000) return 0xFF;
    return (unsigned int)nes->readRegister(addr) & 0xFF;
}

void Cpu::writeBus(unsigned int addr, unsigned char value) { nes->writeRegister(addr, value); }

void Cpu::fireNmi() {
    if (!(nes->ppu->ctrl & 0x80)) return;
    push(pc >> 8);
    push(pc);
    push(p | FLAG_U);
    pc = read16(NMI_VECTOR);
}

void Cpu::fireIrq(int brk) {
    push(pc >> 8);
    push(pc);
    push(p | (brk ? FLAG_U | FLAG_B : FLAG_U));
    pc = read16(BRK_VECTOR);
}

void Cpu::run(int budget) {
    cyclesLeft = budget;
    while (cyclesLeft >= 1) {
        int n = nextOpcode();
        cyclesLeft -= n;
        frameCycles += n;
        if (inVblank == 0 && frameCycles > VBLANK_START) {
            nes->ppu->status |= 0x80;
            inVblank = 1;
            fireNmi();
        } else if (inVblank == 1 && frameCycles > FRAME_END) {
            // the cycles beyond the frame's end are dropped
            nes->ppu->status &= 0x7F;
            frameCycles = 0;
            inVblank = 0;
        }
    }
    traceLogger->flush();
}

void Cpu::runUntilRenderDone(int budget) {
    renderDone = false;
    cyclesLeft = budget;
    while (cyclesLeft >= 1) {
        int n = nextOpcode();
        cyclesLeft -= n;
        frameCycles += n;
        if (inVblank == 0 && frameCycles > VBLANK_START) {
            nes->ppu->status |= 0x80;
            inVblank = 1;
            fireNmi();
        } else if (inVblank == 1 && frameCycles > FRAME_END) {
            nes->ppu->status &= 0x7F;
            frameCycles = 0;
            inVblank = 0;
        }
        if (renderDone) break;
    }
    traceLogger->flush();
}

void Cpu::dumpMemory(const char* fileName) {
    FILE* f = fopen(fileName, "wb");
    if (!f) return;
    for (int mirror = 0; mirror < 4; mirror++) fwrite(ram, 1, sizeof(ram), f);
    unsigned char unmapped[0x6000];
    memset(unmapped, 0xFF, sizeof(unmapped));
    fwrite(unmapped, 1, sizeof(unmapped), f);
    fwrite(prgRom, 1, sizeof(prgRom), f);
    fclose(f);
    Util::logF("dumped 0000-FFFF to %s\n", fileName);
}

}  // namespace nes
}  // namespace vek
