#pragma once

// A console with an empty program ROM for running small hand-assembled 6502 programs.

#include <initializer_list>

#include "nes/cpu.h"
#include "nes/nes.h"
#include "nes/ppu.h"

namespace vektest {

class TestConsole {
public:
    vek::nes::Nes* nes;
    vek::nes::Cpu* cpu;
    vek::nes::Ppu* ppu;

    TestConsole() : nes(new vek::nes::Nes()), cpu(nes->cpu), ppu(nes->ppu) {}
    ~TestConsole() { delete nes; }
    TestConsole(const TestConsole&) = delete;
    TestConsole& operator=(const TestConsole&) = delete;

    // bytes at a CPU address: program ROM from $8000, work RAM below $2000
    void poke(unsigned int address, std::initializer_list<int> bytes) {
        for (int b : bytes) {
            if (address >= 0x8000)
                cpu->prgRom[(address - 0x8000) & 0x7FFF] = (unsigned char)b;
            else
                cpu->ram[address & 0x7FF] = (unsigned char)b;
            address++;
        }
    }

    void setVector(unsigned int vector, unsigned int target) { poke(vector, {(int)(target & 0xFF), (int)(target >> 8)}); }

    // places a program and points pc at its first byte
    void program(unsigned int address, std::initializer_list<int> bytes) {
        poke(address, bytes);
        cpu->pc = address;
    }

    int step() { return cpu->nextOpcode(); }
};

}  // namespace vektest
