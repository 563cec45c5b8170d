// The 6502 instruction set: addressing modes, operations and the opcode switch.
#include "diag/trace_logger.h"
#include "nes/cpu.h"
#include "nes/hooks.h"
#include "nes/nes.h"

namespace vek {
namespace nes {

// scratch values of the instruction being executed: one set for the program, since only
// one CPU runs at a time
static int cycles;        // cycles of the current instruction
static unsigned int arg;  // the operand last fetched
static unsigned int tmp;  // the last result before it was cut to 8 bits

// base cycle counts of the NMOS 6502; a taken branch adds one. Opcodes outside the
// documented set cost 2, except the frame-done marker $04, which costs nothing.
static const unsigned char CYCLES[256] = {
    //  0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F
    7, 6, 2, 2, 0, 3, 5, 2, 3, 2, 2, 2, 2, 4, 6, 2,  // 0
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // 1
    6, 6, 2, 2, 3, 3, 5, 2, 4, 2, 2, 2, 4, 4, 6, 2,  // 2
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // 3
    6, 6, 2, 2, 2, 3, 5, 2, 3, 2, 2, 2, 3, 4, 6, 2,  // 4
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // 5
    6, 6, 2, 2, 2, 3, 5, 2, 4, 2, 2, 2, 5, 4, 6, 2,  // 6
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // 7
    2, 6, 2, 2, 3, 3, 3, 2, 2, 2, 2, 2, 4, 4, 4, 2,  // 8
    2, 6, 2, 2, 4, 4, 4, 2, 2, 5, 2, 2, 2, 5, 2, 2,  // 9
    2, 6, 2, 2, 3, 3, 3, 2, 2, 2, 2, 2, 4, 4, 4, 2,  // A
    2, 5, 2, 2, 4, 4, 4, 2, 2, 4, 2, 2, 4, 4, 4, 2,  // B
    2, 6, 2, 2, 3, 3, 5, 2, 2, 2, 2, 2, 4, 4, 6, 2,  // C
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // D
    2, 6, 2, 2, 3, 3, 5, 2, 2, 2, 2, 2, 4, 4, 6, 2,  // E
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // F
};

// ---- addressing modes ----

inline unsigned int Cpu::immediate() {
    arg = pc + 1;
    pc += 2;
    return arg & 0xFFFF;
}

inline unsigned int Cpu::zeroPage() {
    arg = read8(pc + 1);
    pc += 2;
    return arg;
}

// indexed zero-page addresses stay inside page zero
inline unsigned int Cpu::zeroPageX() {
    arg = read8(pc + 1);
    pc += 2;
    return (arg + x) & 0xFF;
}

inline unsigned int Cpu::zeroPageY() {
    arg = read8(pc + 1);
    pc += 2;
    return (arg + y) & 0xFF;
}

inline unsigned int Cpu::absolute() {
    arg = read16(pc + 1);
    pc += 3;
    return arg;
}

inline unsigned int Cpu::absoluteX() {
    arg = read16(pc + 1);
    pc += 3;
    return (arg + x) & 0xFFFF;
}

inline unsigned int Cpu::absoluteY() {
    arg = read16(pc + 1);
    pc += 3;
    return (arg + y) & 0xFFFF;
}

inline unsigned int Cpu::indirectX() {
    arg = read8(pc + 1);
    pc += 2;
    return zeroPagePointer(arg + x);
}

inline unsigned int Cpu::indirectY() {
    arg = read8(pc + 1);
    pc += 2;
    return (zeroPagePointer(arg) + y) & 0xFFFF;
}

inline void Cpu::implied() { pc += 1; }

// ---- loads, stores and transfers ----

inline void Cpu::lda(unsigned int addr) { setNZ(a = read8(addr)); }
inline void Cpu::ldx(unsigned int addr) { setNZ(x = read8(addr)); }
inline void Cpu::ldy(unsigned int addr) { setNZ(y = read8(addr)); }
inline void Cpu::sta(unsigned int addr) { write8(addr, a); }
inline void Cpu::stx(unsigned int addr) { write8(addr, x); }
inline void Cpu::sty(unsigned int addr) { write8(addr, y); }

inline void Cpu::transfer(unsigned int& to, unsigned int from) {
    implied();
    setNZ(to = from);
}

// ---- arithmetic and logic ----

// there is no decimal mode: D is stored but never changes the sum
inline void Cpu::addToA(unsigned int m) {
    tmp = a + m + (p & FLAG_C);
    setFlag(FLAG_V, ~(a ^ m) & (a ^ tmp) & 0x80);
    setFlag(FLAG_C, tmp > 0xFF);
    setNZ(a = tmp & 0xFF);
}

inline void Cpu::adc(unsigned int addr) { addToA(read8(addr)); }

// A - M - (1 - C) is A + (255 - M) + C: the same adder with the operand inverted
inline void Cpu::sbc(unsigned int addr) { addToA(read8(addr) ^ 0xFF); }

inline void Cpu::ora(unsigned int addr) { setNZ(a |= read8(addr)); }
inline void Cpu::andA(unsigned int addr) { setNZ(a &= read8(addr)); }
inline void Cpu::eor(unsigned int addr) { setNZ(a ^= read8(addr)); }

inline void Cpu::compare(unsigned int reg, unsigned int addr) {
    tmp = reg + 0x100 - read8(addr);
    setFlag(FLAG_C, tmp > 0xFF);
    setNZ(tmp & 0xFF);
}

inline void Cpu::bit(unsigned int addr) {
    unsigned int m = read8(addr);
    p = (p & ~(FLAG_N | FLAG_V | FLAG_Z)) | (m & (FLAG_N | FLAG_V)) | ((a & m) ? 0 : FLAG_Z);
}

// ---- read-modify-write ----

inline unsigned int Cpu::shiftLeft(unsigned int v) {
    tmp = v << 1;
    setFlag(FLAG_C, tmp & 0x100);
    setNZ(tmp &= 0xFF);
    return tmp;
}

inline unsigned int Cpu::shiftRight(unsigned int v) {
    setFlag(FLAG_C, v & 1);
    setNZ(tmp = v >> 1);
    return tmp;
}

inline unsigned int Cpu::rotateLeft(unsigned int v) {
    tmp = v << 1 | (p & FLAG_C);
    setFlag(FLAG_C, tmp & 0x100);
    setNZ(tmp &= 0xFF);
    return tmp;
}

inline unsigned int Cpu::rotateRight(unsigned int v) {
    tmp = v >> 1 | (p & FLAG_C) << 7;
    setFlag(FLAG_C, v & 1);
    setNZ(tmp);
    return tmp;
}

// memory operands are read once and written once
inline void Cpu::asl(unsigned int addr) { write8(addr, shiftLeft(read8(addr))); }
inline void Cpu::lsr(unsigned int addr) { write8(addr, shiftRight(read8(addr))); }
inline void Cpu::rol(unsigned int addr) { write8(addr, rotateLeft(read8(addr))); }
inline void Cpu::ror(unsigned int addr) { write8(addr, rotateRight(read8(addr))); }
inline void Cpu::aslA() { implied(); a = shiftLeft(a); }
inline void Cpu::lsrA() { implied(); a = shiftRight(a); }
inline void Cpu::rolA() { implied(); a = rotateLeft(a); }
inline void Cpu::rorA() { implied(); a = rotateRight(a); }

inline void Cpu::inc(unsigned int addr) {
    unsigned int v = (read8(addr) + 1) & 0xFF;
    write8(addr, v);
    setNZ(v);
}

inline void Cpu::dec(unsigned int addr) {
    unsigned int v = (read8(addr) - 1) & 0xFF;
    write8(addr, v);
    setNZ(v);
}

inline void Cpu::increment(unsigned int& reg) {
    implied();
    setNZ(reg = (reg + 1) & 0xFF);
}

inline void Cpu::decrement(unsigned int& reg) {
    implied();
    setNZ(reg = (reg - 1) & 0xFF);
}

// ---- control flow ----

// a taken branch costs one cycle more, crossing a page or not
inline void Cpu::branch(bool taken) {
    int offset = read8s(pc + 1);
    pc += 2;
    if (taken) {
        pc += offset;
        cycles++;
    }
}

inline void Cpu::jmp() {
    arg = read16(pc + 1);
    pc = arg;
    nes->hooks->jmpJsrCallback(arg);
}

inline void Cpu::jmpIndirect() {
    arg = read16(pc + 1);
    pc = read16Wrap(arg);
}

// the pushed return address is that of the instruction's last byte
inline void Cpu::jsr() {
    arg = read16(pc + 1);
    unsigned int ret = pc + 2;
    push(ret >> 8 & 0xFF);
    push(ret & 0xFF);
    pc = arg;
    nes->hooks->jmpJsrCallback(arg);
}

inline void Cpu::rts() {
    unsigned int low = pop();
    unsigned int high = pop();
    pc = (low | high << 8) + 1;
}

inline void Cpu::rti() {
    p = pop();
    unsigned int low = pop();
    unsigned int high = pop();
    pc = low | high << 8;
}

// BRK skips a padding byte and leaves the interrupt-disable flag alone
inline void Cpu::brk() {
    pc += 2;
    fireIrq(1);
}

// ---- stack and flag instructions ----

inline void Cpu::php() {
    implied();
    push(p | FLAG_B | FLAG_U);
}

inline void Cpu::plp() {
    implied();
    p = pop();
}

inline void Cpu::pha() {
    implied();
    push(a);
}

inline void Cpu::pla() {
    implied();
    setNZ(a = pop());
}

inline void Cpu::txs() {
    implied();
    sp = x;
}

inline void Cpu::clear(unsigned int flag) {
    implied();
    p &= ~flag;
}

inline void Cpu::set(unsigned int flag) {
    implied();
    p |= flag;
}

// ---- outside the documented set ----

// $04 ends the console frame; the byte after it is skipped unread
inline void Cpu::frameDone() {
    renderDone = true;
    pc += 2;
}

// operand bytes a real processor would skip run as opcodes of their own
inline void Cpu::undocumented() { pc += 1; }

int Cpu::nextOpcode() {
    if (traceLogger->cpu) traceLogger->log();

    // $6000-$7FFF reads as $FF, an undocumented one-byte opcode
    unsigned int opcode = read8(pc);
    cycles = CYCLES[opcode];

    switch (opcode) {
        case 0x00: brk(); break;
        case 0x01: ora(indirectX()); break;
        case 0x04: frameDone(); break;
        case 0x05: ora(zeroPage()); break;
        case 0x06: asl(zeroPage()); break;
        case 0x08: php(); break;
        case 0x09: ora(immediate()); break;
        case 0x0A: aslA(); break;
        case 0x0D: ora(absolute()); break;
        case 0x0E: asl(absolute()); break;

        case 0x10: branch(!(p & FLAG_N)); break;
        case 0x11: ora(indirectY()); break;
        case 0x15: ora(zeroPageX()); break;
        case 0x16: asl(zeroPageX()); break;
        case 0x18: clear(FLAG_C); break;
        case 0x19: ora(absoluteY()); break;
        case 0x1D: ora(absoluteX()); break;
        case 0x1E: asl(absoluteX()); break;

        case 0x20: jsr(); break;
        case 0x21: andA(indirectX()); break;
        case 0x24: bit(zeroPage()); break;
        case 0x25: andA(zeroPage()); break;
        case 0x26: rol(zeroPage()); break;
        case 0x28: plp(); break;
        case 0x29: andA(immediate()); break;
        case 0x2A: rolA(); break;
        case 0x2C: bit(absolute()); break;
        case 0x2D: andA(absolute()); break;
        case 0x2E: rol(absolute()); break;

        case 0x30: branch(p & FLAG_N); break;
        case 0x31: andA(indirectY()); break;
        case 0x35: andA(zeroPageX()); break;
        case 0x36: rol(zeroPageX()); break;
        case 0x38: set(FLAG_C); break;
        case 0x39: andA(absoluteY()); break;
        case 0x3D: andA(absoluteX()); break;
        case 0x3E: rol(absoluteX()); break;

        case 0x40: rti(); break;
        case 0x41: eor(indirectX()); break;
        case 0x45: eor(zeroPage()); break;
        case 0x46: lsr(zeroPage()); break;
        case 0x48: pha(); break;
        case 0x49: eor(immediate()); break;
        case 0x4A: lsrA(); break;
        case 0x4C: jmp(); break;
        case 0x4D: eor(absolute()); break;
        case 0x4E: lsr(absolute()); break;

        case 0x50: branch(!(p & FLAG_V)); break;
        case 0x51: eor(indirectY()); break;
        case 0x55: eor(zeroPageX()); break;
        case 0x56: lsr(zeroPageX()); break;
        case 0x58: clear(FLAG_I); break;
        case 0x59: eor(absoluteY()); break;
        case 0x5D: eor(absoluteX()); break;
        case 0x5E: lsr(absoluteX()); break;

        case 0x60: rts(); break;
        case 0x61: adc(indirectX()); break;
        case 0x65: adc(zeroPage()); break;
        case 0x66: ror(zeroPage()); break;
        case 0x68: pla(); break;
        case 0x69: adc(immediate()); break;
        case 0x6A: rorA(); break;
        case 0x6C: jmpIndirect(); break;
        case 0x6D: adc(absolute()); break;
        case 0x6E: ror(absolute()); break;

        case 0x70: branch(p & FLAG_V); break;
        case 0x71: adc(indirectY()); break;
        case 0x75: adc(zeroPageX()); break;
        case 0x76: ror(zeroPageX()); break;
        case 0x78: set(FLAG_I); break;
        case 0x79: adc(absoluteY()); break;
        case 0x7D: adc(absoluteX()); break;
        case 0x7E: ror(absoluteX()); break;

        case 0x81: sta(indirectX()); break;
        case 0x84: sty(zeroPage()); break;
        case 0x85: sta(zeroPage()); break;
        case 0x86: stx(zeroPage()); break;
        case 0x88: decrement(y); break;
        case 0x8A: transfer(a, x); break;
        case 0x8C: sty(absolute()); break;
        case 0x8D: sta(absolute()); break;
        case 0x8E: stx(absolute()); break;

        case 0x90: branch(!(p & FLAG_C)); break;
        case 0x91: sta(indirectY()); break;
        case 0x94: sty(zeroPageX()); break;
        case 0x95: sta(zeroPageX()); break;
        case 0x96: stx(zeroPageY()); break;
        case 0x98: transfer(a, y); break;
        case 0x99: sta(absoluteY()); break;
        case 0x9A: txs(); break;
        case 0x9D: sta(absoluteX()); break;

        case 0xA0: ldy(immediate()); break;
        case 0xA1: lda(indirectX()); break;
        case 0xA2: ldx(immediate()); break;
        case 0xA4: ldy(zeroPage()); break;
        case 0xA5: lda(zeroPage()); break;
        case 0xA6: ldx(zeroPage()); break;
        case 0xA8: transfer(y, a); break;
        case 0xA9: lda(immediate()); break;
        case 0xAA: transfer(x, a); break;
        case 0xAC: ldy(absolute()); break;
        case 0xAD: lda(absolute()); break;
        case 0xAE: ldx(absolute()); break;

        case 0xB0: branch(p & FLAG_C); break;
        case 0xB1: lda(indirectY()); break;
        case 0xB4: ldy(zeroPageX()); break;
        case 0xB5: lda(zeroPageX()); break;
        case 0xB6: ldx(zeroPageY()); break;
        case 0xB8: clear(FLAG_V); break;
        case 0xB9: lda(absoluteY()); break;
        case 0xBA: transfer(x, sp); break;
        case 0xBC: ldy(absoluteX()); break;
        case 0xBD: lda(absoluteX()); break;
        case 0xBE: ldx(absoluteY()); break;

        case 0xC0: compare(y, immediate()); break;
        case 0xC1: compare(a, indirectX()); break;
        case 0xC4: compare(y, zeroPage()); break;
        case 0xC5: compare(a, zeroPage()); break;
        case 0xC6: dec(zeroPage()); break;
        case 0xC8: increment(y); break;
        case 0xC9: compare(a, immediate()); break;
        case 0xCA: decrement(x); break;
        case 0xCC: compare(y, absolute()); break;
        case 0xCD: compare(a, absolute()); break;
        case 0xCE: dec(absolute()); break;

        case 0xD0: branch(!(p & FLAG_Z)); break;
        case 0xD1: compare(a, indirectY()); break;
        case 0xD5: compare(a, zeroPageX()); break;
        case 0xD6: dec(zeroPageX()); break;
        case 0xD8: clear(FLAG_D); break;
        case 0xD9: compare(a, absoluteY()); break;
        case 0xDD: compare(a, absoluteX()); break;
        case 0xDE: dec(absoluteX()); break;

        case 0xE0: compare(x, immediate()); break;
        case 0xE1: sbc(indirectX()); break;
        case 0xE4: compare(x, zeroPage()); break;
        case 0xE5: sbc(zeroPage()); break;
        case 0xE6: inc(zeroPage()); break;
        case 0xE8: increment(x); break;
        case 0xE9: sbc(immediate()); break;
        case 0xEA: implied(); break;
        case 0xEC: compare(x, absolute()); break;
        case 0xED: sbc(absolute()); break;
        case 0xEE: inc(absolute()); break;

        case 0xF0: branch(p & FLAG_Z); break;
        case 0xF1: sbc(indirectY()); break;
        case 0xF5: sbc(zeroPageX()); break;
        case 0xF6: inc(zeroPageX()); break;
        case 0xF8: set(FLAG_D); break;
        case 0xF9: sbc(absoluteY()); break;
        case 0xFD: sbc(absoluteX()); break;
        case 0xFE: inc(absoluteX()); break;

        default: undocumented(); break;
    }
    // the program counter is 16 bits: running off $FFFF, an RTS to $FFFF and a branch back
    // from page zero all land inside the address space
    pc &= 0xFFFF;
    return cycles;
}

}  // namespace nes
}  // namespace vek
