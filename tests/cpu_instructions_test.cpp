// The documented 6502 instruction set, family by family: each case is one instruction
// with its starting registers and memory and the registers, memory, pc and cycles that
// the 6502 documentation gives for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "console_support.h"

using vektest::TestConsole;

namespace {

const int C = 0x01, Z = 0x02, I = 0x04, D = 0x08, B = 0x10, U = 0x20, V = 0x40, N = 0x80;

// Byte lengths and base cycle counts of the 151 documented opcodes, as listed in the 6502
// programming documentation (no page-crossing additions), laid out as the opcode chart: each
// cell is the length, then the cycles; "--" is outside the documented set, and a length of 0
// marks the jumps, calls and returns, whose length does not apply. Branches are not taken.
const char* const CHART[16] = {
    // 0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F
    "07 26 -- -- -- 23 25 -- 13 22 12 -- -- 34 36 --",  // 0
    "22 25 -- -- -- 24 26 -- 12 34 -- -- -- 34 37 --",  // 1
    "06 26 -- -- 23 23 25 -- 14 22 12 -- 34 34 36 --",  // 2
    "22 25 -- -- -- 24 26 -- 12 34 -- -- -- 34 37 --",  // 3
    "06 26 -- -- -- 23 25 -- 13 22 12 -- 03 34 36 --",  // 4
    "22 25 -- -- -- 24 26 -- 12 34 -- -- -- 34 37 --",  // 5
    "06 26 -- -- -- 23 25 -- 14 22 12 -- 05 34 36 --",  // 6
    "22 25 -- -- -- 24 26 -- 12 34 -- -- -- 34 37 --",  // 7
    "-- 26 -- -- 23 23 23 -- 12 -- 12 -- 34 34 34 --",  // 8
    "22 26 -- -- 24 24 24 -- 12 35 12 -- -- 35 -- --",  // 9
    "22 26 22 -- 23 23 23 -- 12 22 12 -- 34 34 34 --",  // A
    "22 25 -- -- 24 24 24 -- 12 34 12 -- 34 34 34 --",  // B
    "22 26 -- -- 23 23 25 -- 12 22 12 -- 34 34 36 --",  // C
    "22 25 -- -- -- 24 26 -- 12 34 -- -- -- 34 37 --",  // D
    "22 26 -- -- 23 23 25 -- 12 22 12 -- 34 34 36 --",  // E
    "22 25 -- -- -- 24 26 -- 12 34 -- -- -- 34 37 --",  // F
};

struct OpcodeInfo {
    int opcode;
    int bytes;
    int cycles;
};

std::vector<OpcodeInfo> chartedOpcodes() {
    std::vector<OpcodeInfo> list;
    for (int row = 0; row < 16; row++) {
        for (int column = 0; column < 16; column++) {
            const char* cell = CHART[row] + 3 * column;
            if (cell[0] != '-') list.push_back({16 * row + column, cell[0] - '0', cell[1] - '0'});
        }
    }
    return list;
}

const std::vector<OpcodeInfo> DOCUMENTED = chartedOpcodes();

// flags that keep each branch from being taken
int notTakenFlags(int opcode) {
    switch (opcode) {
        case 0x10: return N;  // BPL
        case 0x50: return V;  // BVC
        case 0x90: return C;  // BCC
        case 0xD0: return Z;  // BNE
        default: return 0;    // BMI, BVS, BCS, BEQ
    }
}

struct Regs {
    int a, x, y, p;
    int sp = 0xFD;
};

struct Mem {
    unsigned int address;
    int value;
};

struct InstrCase {
    const char* name;
    std::vector<int> code;  // placed at $C000
    Regs in;
    std::vector<Mem> memIn;
    Regs out;
    std::vector<Mem> memOut = {};
    // after the instruction; unless given, $C000 plus the opcode's length and its base cycles
    unsigned int pc = 0;
    int cycles = 0;
};

std::string hex(int v) {
    char buf[16];
    snprintf(buf, sizeof(buf), "$%02X", v);
    return buf;
}

const OpcodeInfo& documented(int opcode) {
    for (const OpcodeInfo& info : DOCUMENTED) {
        if (info.opcode == opcode) return info;
    }
    static const OpcodeInfo NONE = {-1, 0, 0};
    ADD_FAILURE() << hex(opcode) << " is not documented";
    return NONE;
}

void runCases(const std::vector<InstrCase>& cases) {
    for (const InstrCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestConsole console;
        vek::nes::Cpu* cpu = console.cpu;
        unsigned int at = 0xC000;
        for (int byte : c.code) console.poke(at++, {byte});
        for (const Mem& m : c.memIn) console.poke(m.address, {m.value});
        cpu->pc = 0xC000;
        cpu->a = c.in.a;
        cpu->x = c.in.x;
        cpu->y = c.in.y;
        cpu->p = c.in.p;
        cpu->sp = c.in.sp;

        int cycles = console.step();

        const OpcodeInfo& info = documented(c.code[0]);
        EXPECT_EQ(hex(cpu->a), hex(c.out.a)) << "A";
        EXPECT_EQ(hex(cpu->x), hex(c.out.x)) << "X";
        EXPECT_EQ(hex(cpu->y), hex(c.out.y)) << "Y";
        EXPECT_EQ(hex(cpu->p), hex(c.out.p)) << "P";
        EXPECT_EQ(hex(cpu->sp), hex(c.out.sp)) << "S";
        EXPECT_EQ(cpu->pc & 0xFFFF, c.pc ? c.pc : 0xC000u + info.bytes) << "PC";
        EXPECT_EQ(cycles, c.cycles ? c.cycles : info.cycles) << "cycles";
        for (const Mem& m : c.memOut) EXPECT_EQ(hex(cpu->ghostRead8(m.address)), hex(m.value)) << "at " << m.address;
    }
}

}  // namespace

TEST(CpuInstructions, Loads) {
    runCases({
        {"LDA #$00 sets Z and clears N", {0xA9, 0x00}, {0x55, 0, 0, U | N}, {}, {0x00, 0, 0, U | Z}},
        {"LDA #$80 sets N and clears Z", {0xA9, 0x80}, {0, 0, 0, U | Z}, {}, {0x80, 0, 0, U | N}},
        {"LDA zp", {0xA5, 0x10}, {0, 0, 0, U}, {{0x10, 0x7F}}, {0x7F, 0, 0, U}},
        {"LDA zp,X wraps inside page zero", {0xB5, 0x80}, {0, 0x90, 0, U}, {{0x10, 0x42}, {0x110, 0x99}},
         {0x42, 0x90, 0, U}},
        {"LDA abs", {0xAD, 0x00, 0x03}, {0, 0, 0, U}, {{0x300, 0x99}}, {0x99, 0, 0, U | N}},
        {"LDA abs,X across a page costs no extra cycle", {0xBD, 0xFF, 0x12}, {0, 1, 0, U}, {{0x300, 0x11}},
         {0x11, 1, 0, U}},
        {"LDA abs,Y wraps at $FFFF", {0xB9, 0xFF, 0xFF}, {0, 0, 2, U}, {{0x0001, 0x21}}, {0x21, 0, 2, U}},
        {"LDA (zp,X)", {0xA1, 0x20}, {0, 4, 0, U}, {{0x24, 0x00}, {0x25, 0x04}, {0x400, 0x5A}}, {0x5A, 4, 0, U}},
        {"LDA (zp,X) index wraps inside page zero", {0xA1, 0xF0}, {0, 0x20, 0, U},
         {{0x10, 0x80}, {0x11, 0x04}, {0x480, 0x66}}, {0x66, 0x20, 0, U}},
        {"LDA ($FF,X) takes the pointer's high byte from $00", {0xA1, 0xFF}, {0, 0, 0, U},
         {{0xFF, 0x34}, {0x00, 0x02}, {0x234, 0x77}}, {0x77, 0, 0, U}},
        {"LDA (zp),Y across a page costs 5 cycles", {0xB1, 0x30}, {0, 0, 0x20, U},
         {{0x30, 0xF0}, {0x31, 0x04}, {0x510, 0x80}}, {0x80, 0, 0x20, U | N}},
        {"LDA ($FF),Y takes the pointer's high byte from $00", {0xB1, 0xFF}, {0, 0, 1, U},
         {{0xFF, 0x00}, {0x00, 0x03}, {0x301, 0x31}}, {0x31, 0, 1, U}},
        {"LDX #$00", {0xA2, 0x00}, {0, 0x12, 0, U}, {}, {0, 0, 0, U | Z}},
        {"LDX zp", {0xA6, 0x10}, {0, 0, 0, U}, {{0x10, 0x90}}, {0, 0x90, 0, U | N}},
        {"LDX zp,Y wraps inside page zero", {0xB6, 0xF0}, {0, 0, 0x20, U}, {{0x10, 0x05}}, {0, 0x05, 0x20, U}},
        {"LDX abs", {0xAE, 0x00, 0x02}, {0, 0, 0, U}, {{0x200, 0x01}}, {0, 1, 0, U}},
        {"LDX abs,Y", {0xBE, 0x00, 0x02}, {0, 0, 5, U}, {{0x205, 0xFF}}, {0, 0xFF, 5, U | N}},
        {"LDY #$7F", {0xA0, 0x7F}, {0, 0, 0, U | N | Z}, {}, {0, 0, 0x7F, U}},
        {"LDY zp", {0xA4, 0x33}, {0, 0, 9, U}, {{0x33, 0x00}}, {0, 0, 0, U | Z}},
        {"LDY zp,X wraps inside page zero", {0xB4, 0x10}, {0, 0xF5, 0, U}, {{0x05, 0x80}}, {0, 0xF5, 0x80, U | N}},
        {"LDY abs", {0xAC, 0x00, 0x07}, {0, 0, 0, U}, {{0x700, 0x44}}, {0, 0, 0x44, U}},
        {"LDY abs,X", {0xBC, 0x00, 0x03}, {0, 1, 0, U}, {{0x301, 0x02}}, {0, 1, 2, U}},
    });
}

TEST(CpuInstructions, StoresChangeNoFlags) {
    runCases({
        {"STA zp", {0x85, 0x10}, {0x00, 0, 0, U | N}, {{0x10, 0xAA}}, {0x00, 0, 0, U | N}, {{0x10, 0x00}}},
        {"STA zp,X wraps inside page zero", {0x95, 0xF0}, {0x12, 0x20, 0, U}, {}, {0x12, 0x20, 0, U},
         {{0x10, 0x12}, {0x110, 0x00}}},
        {"STA abs", {0x8D, 0x34, 0x02}, {0x80, 0, 0, U | Z}, {}, {0x80, 0, 0, U | Z}, {{0x234, 0x80}}},
        {"STA abs,X costs 5 cycles", {0x9D, 0x00, 0x02}, {0x01, 0x10, 0, U}, {}, {0x01, 0x10, 0, U}, {{0x210, 0x01}}},
        {"STA abs,Y costs 5 cycles", {0x99, 0xFF, 0x02}, {0x02, 0, 1, U}, {}, {0x02, 0, 1, U}, {{0x300, 0x02}}},
        {"STA (zp,X)", {0x81, 0x40}, {0x03, 2, 0, U}, {{0x42, 0x21}, {0x43, 0x03}}, {0x03, 2, 0, U}, {{0x321, 0x03}}},
        {"STA (zp),Y costs 6 cycles", {0x91, 0x40}, {0x04, 0, 3, U}, {{0x40, 0x00}, {0x41, 0x03}}, {0x04, 0, 3, U},
         {{0x303, 0x04}}},
        {"STX zp", {0x86, 0x20}, {0, 0x00, 0, U}, {{0x20, 0xFF}}, {0, 0, 0, U}, {{0x20, 0x00}}},
        {"STX zp,Y wraps inside page zero", {0x96, 0xFF}, {0, 0x77, 2, U}, {}, {0, 0x77, 2, U}, {{0x01, 0x77}}},
        {"STX abs", {0x8E, 0x00, 0x04}, {0, 0x88, 0, U}, {}, {0, 0x88, 0, U}, {{0x400, 0x88}}},
        {"STY zp", {0x84, 0x21}, {0, 0, 0x99, U}, {}, {0, 0, 0x99, U}, {{0x21, 0x99}}},
        {"STY zp,X wraps inside page zero", {0x94, 0x81}, {0, 0x80, 0x5, U}, {}, {0, 0x80, 5, U}, {{0x01, 0x05}}},
        {"STY abs", {0x8C, 0x10, 0x04}, {0, 0, 0x66, U}, {}, {0, 0, 0x66, U}, {{0x410, 0x66}}},
    });
}

TEST(CpuInstructions, Transfers) {
    runCases({
        {"TAX sets N", {0xAA}, {0x80, 0, 0, U}, {}, {0x80, 0x80, 0, U | N}},
        {"TAX sets Z", {0xAA}, {0x00, 5, 0, U | N}, {}, {0, 0, 0, U | Z}},
        {"TAY", {0xA8}, {0x41, 0, 0, U | Z}, {}, {0x41, 0, 0x41, U}},
        {"TXA", {0x8A}, {0x00, 0xF0, 0, U}, {}, {0xF0, 0xF0, 0, U | N}},
        {"TYA", {0x98}, {0x10, 0, 0x00, U}, {}, {0x00, 0, 0, U | Z}},
        {"TSX sets N from the stack pointer", {0xBA}, {0, 0, 0, U}, {}, {0, 0xFD, 0, U | N}},
        {"TSX sets Z", {0xBA}, {0, 7, 0, U, 0x00}, {}, {0, 0, 0, U | Z, 0x00}},
        {"TXS changes no flags", {0x9A}, {0, 0x00, 0, U}, {}, {0, 0, 0, U, 0x00}},
    });
}

TEST(CpuInstructions, AddWithCarry) {
    runCases({
        {"$50 + $50 overflows to $A0", {0x69, 0x50}, {0x50, 0, 0, U}, {}, {0xA0, 0, 0, U | V | N}},
        {"$90 + $01 has no overflow", {0x69, 0x01}, {0x90, 0, 0, U}, {}, {0x91, 0, 0, U | N}},
        {"$80 + $80 overflows and carries to zero", {0x69, 0x80}, {0x80, 0, 0, U}, {}, {0x00, 0, 0, U | V | C | Z}},
        {"$FF + $00 + carry carries without overflow", {0x69, 0x00}, {0xFF, 0, 0, U | C}, {}, {0x00, 0, 0, U | C | Z}},
        {"$7F + $01 overflows into the sign", {0x69, 0x01}, {0x7F, 0, 0, U | C}, {}, {0x81, 0, 0, U | V | N}},
        {"V cleared by a sum without overflow", {0x69, 0x01}, {0x01, 0, 0, U | V}, {}, {0x02, 0, 0, U}},
        {"decimal flag does not adjust: $09 + $01 = $0A", {0x69, 0x01}, {0x09, 0, 0, U | D}, {}, {0x0A, 0, 0, U | D}},
        {"decimal flag does not adjust: $58 + $46 + 1", {0x69, 0x46}, {0x58, 0, 0, U | D | C}, {},
         {0x9F, 0, 0, U | D | V | N}},
        {"ADC zp", {0x65, 0x10}, {0x01, 0, 0, U}, {{0x10, 0x02}}, {0x03, 0, 0, U}},
        {"ADC zp,X", {0x75, 0x10}, {0x01, 1, 0, U}, {{0x11, 0x02}}, {0x03, 1, 0, U}},
        {"ADC abs", {0x6D, 0x00, 0x03}, {0x01, 0, 0, U}, {{0x300, 0x02}}, {0x03, 0, 0, U}},
        {"ADC abs,X", {0x7D, 0xFF, 0x02}, {0x01, 1, 0, U}, {{0x300, 0x02}}, {0x03, 1, 0, U}},
        {"ADC abs,Y", {0x79, 0xFF, 0x02}, {0x01, 0, 1, U}, {{0x300, 0x02}}, {0x03, 0, 1, U}},
        {"ADC (zp,X)", {0x61, 0x10}, {0x01, 2, 0, U}, {{0x12, 0x00}, {0x13, 0x03}, {0x300, 0x02}}, {0x03, 2, 0, U}},
        {"ADC (zp),Y", {0x71, 0x10}, {0x01, 0, 2, U}, {{0x10, 0x00}, {0x11, 0x03}, {0x302, 0x02}}, {0x03, 0, 2, U}},
    });
}

TEST(CpuInstructions, SubtractWithCarry) {
    runCases({
        {"$50 - $F0 borrows without overflow", {0xE9, 0xF0}, {0x50, 0, 0, U | C}, {}, {0x60, 0, 0, U}},
        {"$50 - $B0 overflows", {0xE9, 0xB0}, {0x50, 0, 0, U | C}, {}, {0xA0, 0, 0, U | V | N}},
        {"$D0 - $70 overflows without borrow", {0xE9, 0x70}, {0xD0, 0, 0, U | C}, {}, {0x60, 0, 0, U | V | C}},
        {"a clear carry subtracts one more", {0xE9, 0x03}, {0x05, 0, 0, U}, {}, {0x01, 0, 0, U | C}},
        {"$00 - $01 borrows to $FF", {0xE9, 0x01}, {0x00, 0, 0, U | C}, {}, {0xFF, 0, 0, U | N}},
        {"$80 - $01 overflows to $7F", {0xE9, 0x01}, {0x80, 0, 0, U | C}, {}, {0x7F, 0, 0, U | V | C}},
        {"equal values give zero with carry", {0xE9, 0x42}, {0x42, 0, 0, U | C | N}, {}, {0x00, 0, 0, U | C | Z}},
        {"decimal flag does not adjust", {0xE9, 0x01}, {0x10, 0, 0, U | D | C}, {}, {0x0F, 0, 0, U | D | C}},
        {"SBC zp", {0xE5, 0x10}, {0x05, 0, 0, U | C}, {{0x10, 0x02}}, {0x03, 0, 0, U | C}},
        {"SBC zp,X", {0xF5, 0x10}, {0x05, 1, 0, U | C}, {{0x11, 0x02}}, {0x03, 1, 0, U | C}},
        {"SBC abs", {0xED, 0x00, 0x03}, {0x05, 0, 0, U | C}, {{0x300, 0x02}}, {0x03, 0, 0, U | C}},
        {"SBC abs,X", {0xFD, 0x00, 0x03}, {0x05, 1, 0, U | C}, {{0x301, 0x02}}, {0x03, 1, 0, U | C}},
        {"SBC abs,Y", {0xF9, 0x00, 0x03}, {0x05, 0, 1, U | C}, {{0x301, 0x02}}, {0x03, 0, 1, U | C}},
        {"SBC (zp,X)", {0xE1, 0x10}, {0x05, 2, 0, U | C}, {{0x12, 0x00}, {0x13, 0x03}, {0x300, 0x02}},
         {0x03, 2, 0, U | C}},
        {"SBC (zp),Y", {0xF1, 0x10}, {0x05, 0, 2, U | C}, {{0x10, 0x00}, {0x11, 0x03}, {0x302, 0x02}},
         {0x03, 0, 2, U | C}},
    });
}

TEST(CpuInstructions, LogicAndBitTest) {
    runCases({
        {"AND to zero", {0x29, 0x0F}, {0xF0, 0, 0, U}, {}, {0x00, 0, 0, U | Z}},
        {"AND keeps the sign", {0x29, 0x93}, {0xF0, 0, 0, U}, {}, {0x90, 0, 0, U | N}},
        {"AND zp,X", {0x35, 0x00}, {0xFF, 5, 0, U}, {{0x05, 0x3C}}, {0x3C, 5, 0, U}},
        {"AND (zp),Y", {0x31, 0x10}, {0x0F, 0, 1, U}, {{0x10, 0x00}, {0x11, 0x03}, {0x301, 0x3C}}, {0x0C, 0, 1, U}},
        {"ORA of zeros", {0x09, 0x00}, {0x00, 0, 0, U}, {}, {0x00, 0, 0, U | Z}},
        {"ORA sets N", {0x09, 0x80}, {0x01, 0, 0, U | Z}, {}, {0x81, 0, 0, U | N}},
        {"ORA (zp,X)", {0x01, 0x10}, {0x01, 2, 0, U}, {{0x12, 0x00}, {0x13, 0x03}, {0x300, 0x02}}, {0x03, 2, 0, U}},
        {"ORA abs", {0x0D, 0x00, 0x03}, {0x10, 0, 0, U}, {{0x300, 0x01}}, {0x11, 0, 0, U}},
        {"EOR to zero", {0x49, 0xFF}, {0xFF, 0, 0, U}, {}, {0x00, 0, 0, U | Z}},
        {"EOR sets N", {0x49, 0xF0}, {0x0F, 0, 0, U}, {}, {0xFF, 0, 0, U | N}},
        {"EOR abs,Y", {0x59, 0x00, 0x03}, {0x0F, 0, 1, U}, {{0x301, 0x01}}, {0x0E, 0, 1, U}},
        {"EOR zp", {0x45, 0x10}, {0x0F, 0, 0, U}, {{0x10, 0x0F}}, {0x00, 0, 0, U | Z}},
        {"BIT copies bits 7 and 6 and sets Z", {0x24, 0x10}, {0x01, 0, 0, U}, {{0x10, 0xC0}},
         {0x01, 0, 0, U | N | V | Z}},
        {"BIT clears N, V and Z", {0x24, 0x10}, {0x01, 0, 0, U | N | V | Z}, {{0x10, 0x3F}}, {0x01, 0, 0, U}},
        {"BIT abs", {0x2C, 0x00, 0x03}, {0xFF, 0, 0, U}, {{0x300, 0x40}}, {0xFF, 0, 0, U | V}},
    });
}

TEST(CpuInstructions, Compares) {
    runCases({
        {"CMP equal sets Z and C", {0xC9, 0x40}, {0x40, 0, 0, U | N}, {}, {0x40, 0, 0, U | Z | C}},
        {"CMP greater sets C only", {0xC9, 0x40}, {0x41, 0, 0, U}, {}, {0x41, 0, 0, U | C}},
        {"CMP less sets N from the difference", {0xC9, 0x41}, {0x40, 0, 0, U | C}, {}, {0x40, 0, 0, U | N}},
        {"CMP $00 with $80: difference $80, borrow", {0xC9, 0x80}, {0x00, 0, 0, U}, {}, {0x00, 0, 0, U | N}},
        {"CMP $80 with $00: difference $80, no borrow", {0xC9, 0x00}, {0x80, 0, 0, U}, {}, {0x80, 0, 0, U | N | C}},
        {"CMP zp", {0xC5, 0x10}, {0x05, 0, 0, U}, {{0x10, 0x05}}, {0x05, 0, 0, U | Z | C}},
        {"CMP zp,X", {0xD5, 0x10}, {0x05, 1, 0, U}, {{0x11, 0x05}}, {0x05, 1, 0, U | Z | C}},
        {"CMP abs", {0xCD, 0x00, 0x03}, {0x05, 0, 0, U}, {{0x300, 0x05}}, {0x05, 0, 0, U | Z | C}},
        {"CMP abs,X", {0xDD, 0x00, 0x03}, {0x05, 1, 0, U}, {{0x301, 0x06}}, {0x05, 1, 0, U | N}},
        {"CMP abs,Y", {0xD9, 0x00, 0x03}, {0x05, 0, 1, U}, {{0x301, 0x04}}, {0x05, 0, 1, U | C}},
        {"CMP (zp,X)", {0xC1, 0x10}, {0x05, 2, 0, U}, {{0x12, 0x00}, {0x13, 0x03}, {0x300, 0x05}},
         {0x05, 2, 0, U | Z | C}},
        {"CMP (zp),Y", {0xD1, 0x10}, {0x05, 0, 2, U}, {{0x10, 0x00}, {0x11, 0x03}, {0x302, 0x05}},
         {0x05, 0, 2, U | Z | C}},
        {"CPX #", {0xE0, 0x10}, {0, 0x10, 0, U}, {}, {0, 0x10, 0, U | Z | C}},
        {"CPX zp", {0xE4, 0x10}, {0, 0x01, 0, U}, {{0x10, 0x02}}, {0, 0x01, 0, U | N}},
        {"CPX abs", {0xEC, 0x00, 0x03}, {0, 0xFF, 0, U}, {{0x300, 0x00}}, {0, 0xFF, 0, U | N | C}},
        {"CPY #", {0xC0, 0x10}, {0, 0, 0x20, U}, {}, {0, 0, 0x20, U | C}},
        {"CPY zp", {0xC4, 0x10}, {0, 0, 0x00, U}, {{0x10, 0x00}}, {0, 0, 0, U | Z | C}},
        {"CPY abs", {0xCC, 0x00, 0x03}, {0, 0, 0x00, U}, {{0x300, 0x01}}, {0, 0, 0, U | N}},
    });
}

TEST(CpuInstructions, ShiftsAndRotates) {
    runCases({
        {"ASL A out of bit 7", {0x0A}, {0x80, 0, 0, U}, {}, {0x00, 0, 0, U | C | Z}},
        {"ASL A into bit 7", {0x0A}, {0x41, 0, 0, U | C}, {}, {0x82, 0, 0, U | N}},
        {"LSR A out of bit 0", {0x4A}, {0x01, 0, 0, U}, {}, {0x00, 0, 0, U | C | Z}},
        {"LSR A clears N", {0x4A}, {0x80, 0, 0, U | N | C}, {}, {0x40, 0, 0, U}},
        {"ROL A through carry", {0x2A}, {0x80, 0, 0, U}, {}, {0x00, 0, 0, U | C | Z}},
        {"ROL A takes the carry into bit 0", {0x2A}, {0x40, 0, 0, U | C}, {}, {0x81, 0, 0, U | N}},
        {"ROR A through carry", {0x6A}, {0x01, 0, 0, U}, {}, {0x00, 0, 0, U | C | Z}},
        {"ROR A takes the carry into bit 7", {0x6A}, {0x02, 0, 0, U | C}, {}, {0x81, 0, 0, U | N}},
        {"ASL zp", {0x06, 0x10}, {0, 0, 0, U}, {{0x10, 0xC1}}, {0, 0, 0, U | C | N}, {{0x10, 0x82}}},
        {"ASL zp,X", {0x16, 0x10}, {0, 1, 0, U}, {{0x11, 0x01}}, {0, 1, 0, U}, {{0x11, 0x02}}},
        {"ASL abs", {0x0E, 0x00, 0x03}, {0, 0, 0, U}, {{0x300, 0x80}}, {0, 0, 0, U | C | Z}, {{0x300, 0x00}}},
        {"ASL abs,X", {0x1E, 0x00, 0x03}, {0, 1, 0, U}, {{0x301, 0x03}}, {0, 1, 0, U}, {{0x301, 0x06}}},
        {"LSR zp", {0x46, 0x10}, {0, 0, 0, U}, {{0x10, 0x03}}, {0, 0, 0, U | C}, {{0x10, 0x01}}},
        {"LSR zp,X", {0x56, 0x10}, {0, 1, 0, U}, {{0x11, 0x02}}, {0, 1, 0, U}, {{0x11, 0x01}}},
        {"LSR abs", {0x4E, 0x00, 0x03}, {0, 0, 0, U}, {{0x300, 0x01}}, {0, 0, 0, U | C | Z}, {{0x300, 0x00}}},
        {"LSR abs,X", {0x5E, 0x00, 0x03}, {0, 1, 0, U}, {{0x301, 0xFF}}, {0, 1, 0, U | C}, {{0x301, 0x7F}}},
        {"ROL zp", {0x26, 0x10}, {0, 0, 0, U | C}, {{0x10, 0x00}}, {0, 0, 0, U}, {{0x10, 0x01}}},
        {"ROL zp,X", {0x36, 0x10}, {0, 1, 0, U}, {{0x11, 0x80}}, {0, 1, 0, U | C | Z}, {{0x11, 0x00}}},
        {"ROL abs", {0x2E, 0x00, 0x03}, {0, 0, 0, U | C}, {{0x300, 0x7F}}, {0, 0, 0, U | N}, {{0x300, 0xFF}}},
        {"ROL abs,X", {0x3E, 0x00, 0x03}, {0, 1, 0, U}, {{0x301, 0x81}}, {0, 1, 0, U | C}, {{0x301, 0x02}}},
        {"ROR zp", {0x66, 0x10}, {0, 0, 0, U | C}, {{0x10, 0x00}}, {0, 0, 0, U | N}, {{0x10, 0x80}}},
        {"ROR zp,X", {0x76, 0x10}, {0, 1, 0, U}, {{0x11, 0x01}}, {0, 1, 0, U | C | Z}, {{0x11, 0x00}}},
        {"ROR abs", {0x6E, 0x00, 0x03}, {0, 0, 0, U}, {{0x300, 0x02}}, {0, 0, 0, U}, {{0x300, 0x01}}},
        {"ROR abs,X", {0x7E, 0x00, 0x03}, {0, 1, 0, U | C}, {{0x301, 0x03}}, {0, 1, 0, U | C | N}, {{0x301, 0x81}}},
    });
}

TEST(CpuInstructions, IncrementsAndDecrementsWrap) {
    runCases({
        {"INC zp wraps to zero", {0xE6, 0x10}, {0, 0, 0, U}, {{0x10, 0xFF}}, {0, 0, 0, U | Z}, {{0x10, 0x00}}},
        {"INC zp,X", {0xF6, 0x10}, {0, 1, 0, U}, {{0x11, 0x7F}}, {0, 1, 0, U | N}, {{0x11, 0x80}}},
        {"INC abs", {0xEE, 0x00, 0x03}, {0, 0, 0, U | Z}, {{0x300, 0x01}}, {0, 0, 0, U}, {{0x300, 0x02}}},
        {"INC abs,X", {0xFE, 0x00, 0x03}, {0, 1, 0, U}, {{0x301, 0xFF}}, {0, 1, 0, U | Z}, {{0x301, 0x00}}},
        {"DEC zp wraps to $FF", {0xC6, 0x10}, {0, 0, 0, U}, {{0x10, 0x00}}, {0, 0, 0, U | N}, {{0x10, 0xFF}}},
        {"DEC zp,X", {0xD6, 0x10}, {0, 1, 0, U}, {{0x11, 0x01}}, {0, 1, 0, U | Z}, {{0x11, 0x00}}},
        {"DEC abs", {0xCE, 0x00, 0x03}, {0, 0, 0, U}, {{0x300, 0x80}}, {0, 0, 0, U}, {{0x300, 0x7F}}},
        {"DEC abs,X", {0xDE, 0x00, 0x03}, {0, 1, 0, U}, {{0x301, 0x02}}, {0, 1, 0, U}, {{0x301, 0x01}}},
        {"INX wraps", {0xE8}, {0, 0xFF, 0, U}, {}, {0, 0, 0, U | Z}},
        {"DEX wraps", {0xCA}, {0, 0x00, 0, U}, {}, {0, 0xFF, 0, U | N}},
        {"INY into the sign", {0xC8}, {0, 0, 0x7F, U}, {}, {0, 0, 0x80, U | N}},
        {"DEY to zero", {0x88}, {0, 0, 0x01, U}, {}, {0, 0, 0, U | Z}},
    });
}

TEST(CpuInstructions, BranchesCostTwoOrThree) {
    struct Branch {
        int opcode;
        int flag;
        bool takenWhenSet;
        const char* name;
    };
    const Branch branches[] = {
        {0x10, N, false, "BPL"}, {0x30, N, true, "BMI"}, {0x50, V, false, "BVC"}, {0x70, V, true, "BVS"},
        {0x90, C, false, "BCC"}, {0xB0, C, true, "BCS"}, {0xD0, Z, false, "BNE"}, {0xF0, Z, true, "BEQ"},
    };
    std::vector<InstrCase> cases;
    std::vector<std::string> names;
    names.reserve(32);
    for (const Branch& b : branches) {
        const int taken = U | (b.takenWhenSet ? b.flag : 0), notTaken = U | (b.takenWhenSet ? 0 : b.flag);
        const struct {
            const char* what;
            int offset, p;
            unsigned int pc;
            int cycles;
        } ways[] = {{" taken forward", 0x10, taken, 0xC012, 3},
                    {" not taken", 0x10, notTaken, 0, 0},
                    {" taken backward across a page", 0x80, taken, 0xBF82, 3},
                    {" offset $FE loops onto itself", 0xFE, taken, 0xC000, 3}};
        for (const auto& w : ways) {
            names.push_back(b.name + std::string(w.what));
            cases.push_back({names.back().c_str(), {b.opcode, w.offset}, {0, 0, 0, w.p}, {}, {0, 0, 0, w.p}, {}, w.pc,
                             w.cycles});
        }
    }
    runCases(cases);
}

TEST(CpuInstructions, FlagInstructions) {
    runCases({
        {"CLC", {0x18}, {0, 0, 0, 0xFF}, {}, {0, 0, 0, 0xFF & ~C}},
        {"SEC", {0x38}, {0, 0, 0, 0x00}, {}, {0, 0, 0, C}},
        {"CLI", {0x58}, {0, 0, 0, 0xFF}, {}, {0, 0, 0, 0xFF & ~I}},
        {"SEI", {0x78}, {0, 0, 0, 0x00}, {}, {0, 0, 0, I}},
        {"CLV", {0xB8}, {0, 0, 0, 0xFF}, {}, {0, 0, 0, 0xFF & ~V}},
        {"CLD", {0xD8}, {0, 0, 0, 0xFF}, {}, {0, 0, 0, 0xFF & ~D}},
        {"SED", {0xF8}, {0, 0, 0, 0x00}, {}, {0, 0, 0, D}},
        {"NOP", {0xEA}, {1, 2, 3, 0xC3}, {}, {1, 2, 3, 0xC3}},
    });
}

TEST(CpuInstructions, StackInstructions) {
    runCases({
        {"PHA", {0x48}, {0xAB, 0, 0, U}, {}, {0xAB, 0, 0, U, 0xFC}, {{0x1FD, 0xAB}}},
        {"PHA at S = 0 wraps to $FF", {0x48}, {0x5A, 0, 0, U, 0x00}, {}, {0x5A, 0, 0, U, 0xFF}, {{0x100, 0x5A}}},
        {"PLA sets Z", {0x68}, {0x33, 0, 0, U | N, 0xFC}, {{0x1FD, 0x00}}, {0x00, 0, 0, U | Z}},
        {"PLA sets N", {0x68}, {0x33, 0, 0, U, 0xFC}, {{0x1FD, 0x80}}, {0x80, 0, 0, U | N}},
        {"PLA at S = $FF wraps to $0100", {0x68}, {0, 0, 0, U, 0xFF}, {{0x100, 0x11}}, {0x11, 0, 0, U, 0x00}},
        {"PHP pushes B and bit 5 set", {0x08}, {0, 0, 0, 0x00}, {}, {0, 0, 0, 0x00, 0xFC}, {{0x1FD, 0x30}}},
        {"PHP of $FF pushes $FF", {0x08}, {0, 0, 0, 0xFF}, {}, {0, 0, 0, 0xFF, 0xFC}, {{0x1FD, 0xFF}}},
        {"PLP of $FF loads all eight bits", {0x28}, {0, 0, 0, 0x00, 0xFC}, {{0x1FD, 0xFF}}, {0, 0, 0, 0xFF}},
        {"PLP of $00 clears B and bit 5 too", {0x28}, {0, 0, 0, 0xFF, 0xFC}, {{0x1FD, 0x00}}, {0, 0, 0, 0x00}},
    });
}

TEST(CpuInstructions, JumpsCallsAndInterrupts) {
    runCases({
        {"JMP abs", {0x4C, 0x34, 0x12}, {0, 0, 0, U}, {}, {0, 0, 0, U}, {}, 0x1234, 3},
        {"JMP ($0200)", {0x6C, 0x00, 0x02}, {0, 0, 0, U}, {{0x200, 0x34}, {0x201, 0x12}}, {0, 0, 0, U}, {}, 0x1234, 5},
        {"JMP ($02FF) takes the high byte from $0200", {0x6C, 0xFF, 0x02}, {0, 0, 0, U},
         {{0x2FF, 0x00}, {0x200, 0x03}, {0x300, 0x09}}, {0, 0, 0, U}, {}, 0x0300, 5},
        {"JSR pushes the address of its last byte", {0x20, 0x00, 0xD0}, {0, 0, 0, U}, {}, {0, 0, 0, U, 0xFB},
         {{0x1FD, 0xC0}, {0x1FC, 0x02}}, 0xD000, 6},
        {"JSR with S = 0 wraps inside page one", {0x20, 0x00, 0xD0}, {0, 0, 0, U, 0x00}, {}, {0, 0, 0, U, 0xFE},
         {{0x100, 0xC0}, {0x1FF, 0x02}}, 0xD000, 6},
        {"RTS continues after the pushed address", {0x60}, {0, 0, 0, U, 0xFB}, {{0x1FC, 0x02}, {0x1FD, 0xC0}},
         {0, 0, 0, U}, {}, 0xC003, 6},
        {"RTS with S = $FF pulls from $0100", {0x60}, {0, 0, 0, U, 0xFF}, {{0x100, 0xFF}, {0x101, 0x12}},
         {0, 0, 0, U, 0x01}, {}, 0x1300, 6},
        {"RTI pulls P then the address", {0x40}, {0, 0, 0, U, 0xFA}, {{0x1FB, 0xC3}, {0x1FC, 0x34}, {0x1FD, 0x12}},
         {0, 0, 0, 0xC3}, {}, 0x1234, 6},
        {"BRK pushes pc + 2 and P with B, keeps I clear", {0x00, 0xEA}, {0, 0, 0, U | C},
         {{0xFFFE, 0x00}, {0xFFFF, 0xE0}}, {0, 0, 0, U | C, 0xFA}, {{0x1FD, 0xC0}, {0x1FC, 0x02}, {0x1FB, U | B | C}},
         0xE000, 7},
        {"BRK keeps I set", {0x00}, {0, 0, 0, I}, {{0xFFFE, 0x00}, {0xFFFF, 0xE0}}, {0, 0, 0, I, 0xFA},
         {{0x1FB, I | U | B}}, 0xE000, 7},
    });
}

TEST(CpuInstructions, AllDocumentedOpcodesHaveTheirLengthsAndBaseCycles) {
    std::set<int> seen;
    for (const OpcodeInfo& info : DOCUMENTED) seen.insert(info.opcode);
    ASSERT_EQ(seen.size(), 151u);

    for (const OpcodeInfo& info : DOCUMENTED) {
        SCOPED_TRACE(hex(info.opcode));
        TestConsole console;
        // operand bytes $00 $02: zero page $00, absolute $0200, all in work RAM
        console.program(0xC000, {info.opcode, 0x00, 0x02});
        console.cpu->sp = 0xFD;
        console.cpu->p = U | notTakenFlags(info.opcode);
        EXPECT_EQ(console.step(), info.cycles);
        if (info.bytes > 0) {
            EXPECT_EQ(console.cpu->pc, 0xC000u + info.bytes);
        }
    }
}

TEST(CpuInstructions, UndocumentedOpcodesAreOneByteTwoCycleNoOps) {
    std::set<int> documented;
    for (const OpcodeInfo& info : DOCUMENTED) documented.insert(info.opcode);
    int count = 0;
    for (int opcode = 0; opcode < 256; opcode++) {
        if (documented.count(opcode) || opcode == 0x04) continue;
        count++;
        SCOPED_TRACE(hex(opcode));
        TestConsole console;
        console.program(0xC000, {opcode, 0x85, 0x10});
        console.cpu->a = 0x12;
        console.cpu->x = 0x34;
        console.cpu->y = 0x56;
        console.cpu->p = 0xA5;
        console.cpu->sp = 0xF0;
        console.cpu->ram[0x10] = 0x77;
        EXPECT_EQ(console.step(), 2);
        EXPECT_EQ(console.cpu->pc, 0xC001u);
        const vek::nes::Cpu& c = *console.cpu;
        EXPECT_EQ(hex(c.a) + hex(c.x) + hex(c.y) + hex(c.p) + hex(c.sp) + hex(c.ram[0x10]), "$12$34$56$A5$F0$77");
        // the would-be operand runs next as an instruction of its own: STA $10
        EXPECT_EQ(console.step(), 3);
        EXPECT_EQ(console.cpu->ram[0x10], 0x12);
    }
    EXPECT_EQ(count, 104);
}

// the program counter is 16 bits wide: running off $FFFF, returning to $FFFF+1 and
// branching back from page zero all wrap, as the trace and the ghost reads expect
TEST(CpuInstructions, ProgramCounterWrapsAt64K) {
    const struct {
        const char* name;
        unsigned int start;
        std::initializer_list<int> code;  // at start; $0000 on is work RAM
        unsigned int pc;
    } cases[] = {
        {"NOP at $FFFF", 0xFFFF, {0xEA}, 0x0000},
        {"LDA # with its operand at $0000", 0xFFFF, {0xA9}, 0x0001},
        {"BNE back from $0002", 0x0002, {0xD0, 0xFA}, 0xFFFE},
        {"RTS to $FFFF", 0xC000, {0x60}, 0x0000},
        // nothing answers at $6000-$7FFF: the $FF read there runs as a one-byte no-op
        {"a fetch from $6000", 0x6000, {}, 0x6001},
        {"a fetch from $7FFF", 0x7FFF, {}, 0x8000},
    };
    for (const auto& c : cases) {
        TestConsole console;
        console.cpu->ram[0] = 0x00;
        console.cpu->sp = 0xFD;
        console.cpu->ram[0x1FE] = 0xFF;  // return address $FFFF for RTS
        console.cpu->ram[0x1FF] = 0xFF;
        console.program(c.start, c.code);
        console.cpu->p = 0;  // Z clear: BNE is taken
        console.step();
        EXPECT_EQ(console.cpu->pc, c.pc) << c.name;
    }
}

TEST(CpuInstructions, BitOfStatusRegisterReadsItOnce) {
    TestConsole console;
    console.ppu->status = 0x80;
    console.program(0xC000, {0x2C, 0x02, 0x20, 0x2C, 0x02, 0x20});
    console.cpu->a = 0xFF;
    console.cpu->p = U;
    console.step();
    EXPECT_EQ(console.cpu->p & N, (unsigned)N);
    EXPECT_EQ(console.ppu->status, 0x00);
    console.step();
    EXPECT_EQ(console.cpu->p & (N | Z), (unsigned)Z);
}

TEST(CpuInstructions, ReadModifyWriteTouchesARegisterOnce) {
    // INC $4016 reads the controller port once (one shift) and writes the result back as a strobe
    TestConsole console;
    console.nes->setButtons(0, 0x03);
    console.nes->writeRegister(0x4016, 1);
    console.nes->writeRegister(0x4016, 0);
    console.program(0xC000, {0xEE, 0x16, 0x40});
    console.step();
    // $E1 + 1 = $E2 was written: bit 0 clear, the strobe is off and the shift registers reloaded
    EXPECT_EQ(console.nes->strobe, 0);
    EXPECT_EQ(console.nes->readRegister(0x4016), 0xE1);  // A again, from the reload
    EXPECT_EQ(console.nes->readRegister(0x4016), 0xE1);  // then B
    EXPECT_EQ(console.nes->readRegister(0x4016), 0xE0);
}
