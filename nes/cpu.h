#pragma once

namespace vek {

class TraceLogger;

namespace nes {

class Nes;

// The console's 6502: state, memory map, stack, interrupts and the run loops.
// Instruction execution (nextOpcode) lives in cpu_opcodes.cpp.
class Cpu {
public:
    static constexpr int VBLANK_START = 27393;  // vertical blank begins once more cycles than this have passed
    static constexpr int FRAME_END = 29780;     // the frame ends once more cycles than this have passed

    // status register bits
    static constexpr unsigned int FLAG_C = 0x01;
    static constexpr unsigned int FLAG_Z = 0x02;
    static constexpr unsigned int FLAG_I = 0x04;
    static constexpr unsigned int FLAG_D = 0x08;
    static constexpr unsigned int FLAG_B = 0x10;
    static constexpr unsigned int FLAG_U = 0x20;
    static constexpr unsigned int FLAG_V = 0x40;
    static constexpr unsigned int FLAG_N = 0x80;

    // registers
    unsigned int a, x, y;
    unsigned int pc;
    unsigned int sp;
    unsigned int p;  // N V 5 B D I Z C

    // frame timing
    int frameCycles;
    int cyclesLeft;

    // memory
    unsigned char ram[2048];
    unsigned char prgRom[32768];

    bool renderDone;
    Nes* nes;
    int inVblank;
    TraceLogger* traceLogger;

    explicit Cpu(Nes* nes);
    ~Cpu();

    void reset();
    void copyRom(unsigned int offset, const unsigned char* data, unsigned int length);
    void spendCycles(int n) {
        cyclesLeft -= n;
        frameCycles += n;
    }

    // execution
    int nextOpcode();
    void run(int budget);
    void runUntilRenderDone(int budget);
    void fireNmi();
    void fireIrq(int brk);

    // stack
    void push(unsigned int value) {
        ram[0x100 + sp] = (unsigned char)value;
        sp = (sp - 1) & 0xFF;
    }
    unsigned int pop() {
        sp = (sp + 1) & 0xFF;
        return ram[0x100 + sp];
    }

    // normal accesses (with register side effects); work RAM and program ROM are decoded
    // here, everything else on the bus
    unsigned int read8(unsigned int addr) {
        addr &= 0xFFFF;
        if (addr < 0x2000) return ram[addr & 0x7FF];
        if (addr >= 0x8000) return prgRom[addr - 0x8000];
        return readBus(addr);
    }
    int read8s(unsigned int addr) { return (signed char)read8(addr); }
    unsigned int read8Ind(unsigned int zp) { return read8(zeroPagePointer(zp)); }
    unsigned int read8IndY(unsigned int zp, unsigned int y) { return read8(zeroPagePointer(zp) + y); }
    unsigned int read16(unsigned int addr) { return read8(addr) | read8(addr + 1) << 8; }
    unsigned int read16Wrap(unsigned int addr) {
        // the high byte comes from the same page, as in the 6502's indirect JMP
        unsigned int high = (addr & 0xFF) == 0xFF ? addr - 0xFF : addr + 1;
        return read8(addr) | read8(high) << 8;
    }
    unsigned int read16Ind(unsigned int addr) { return read16Wrap(read16(addr)); }
    void write8(unsigned int addr, unsigned char value) {
        addr &= 0xFFFF;
        if (addr < 0x2000)
            ram[addr & 0x7FF] = value;
        else
            writeBus(addr, value);
    }
    void write8Ind(unsigned int zp, unsigned char value) { write8(zeroPagePointer(zp), value); }
    void write8IndY(unsigned int zp, unsigned int y, unsigned char value) {
        write8(zeroPagePointer(zp) + y, value);
    }

    // ghost accesses (no side effects; addresses above $FFFF read as $FF)
    unsigned int ghostRead8(unsigned int addr) const {
        if (addr < 0x2000) return ram[addr & 0x7FF];
        if (addr >= 0x8000 && addr <= 0xFFFF) return prgRom[addr - 0x8000];
        return 0xFF;
    }
    int ghostRead8s(unsigned int addr) const { return (signed char)ghostRead8(addr); }
    unsigned int ghostRead8Ind(unsigned int zp) const { return ghostRead8(zeroPagePointer(zp)); }
    unsigned int ghostRead8IndY(unsigned int zp, unsigned int y) const {
        return ghostRead8((zeroPagePointer(zp) + y) & 0xFFFF);
    }
    unsigned int ghostRead16(unsigned int addr) const { return ghostRead8(addr) | ghostRead8(addr + 1) << 8; }
    unsigned int ghostRead16Wrap(unsigned int addr) const {
        unsigned int high = (addr & 0xFF) == 0xFF ? addr - 0xFF : addr + 1;
        return ghostRead8(addr) | ghostRead8(high) << 8;
    }
    unsigned int ghostRead16Ind(unsigned int addr) const { return ghostRead16Wrap(ghostRead16(addr)); }
    void ghostWrite8(unsigned int addr, unsigned char value) {
        if (addr < 0x2000) ram[addr & 0x7FF] = value;
    }

    // diagnostics
    void dumpMemory(const char* fileName);

private:
    // the register range and everything that is neither work RAM nor program ROM
    unsigned int readBus(unsigned int addr);
    void writeBus(unsigned int addr, unsigned char value);

    // a pointer in page zero; at $FF its high byte comes from $00
    unsigned int zeroPagePointer(unsigned int zp) const {
        zp &= 0xFF;
        return ram[zp] | ram[(zp + 1) & 0xFF] << 8;
    }

    // flags (cpu_opcodes.cpp)
    void setNZ(unsigned int value) { p = (p & ~(FLAG_N | FLAG_Z)) | (value & 0x80) | (value ? 0 : FLAG_Z); }
    void setFlag(unsigned int flag, bool on) { p = on ? (p | flag) : (p & ~flag); }

    // addressing modes: each fetches its operand, advances pc past the instruction and
    // returns the effective address (cpu_opcodes.cpp)
    unsigned int immediate();
    unsigned int zeroPage();
    unsigned int zeroPageX();
    unsigned int zeroPageY();
    unsigned int absolute();
    unsigned int absoluteX();
    unsigned int absoluteY();
    unsigned int indirectX();
    unsigned int indirectY();
    void implied();

    // loads, stores and transfers
    void lda(unsigned int addr);
    void ldx(unsigned int addr);
    void ldy(unsigned int addr);
    void sta(unsigned int addr);
    void stx(unsigned int addr);
    void sty(unsigned int addr);
    void transfer(unsigned int& to, unsigned int from);

    // arithmetic and logic
    void adc(unsigned int addr);
    void sbc(unsigned int addr);
    void addToA(unsigned int m);
    void ora(unsigned int addr);
    void andA(unsigned int addr);
    void eor(unsigned int addr);
    void compare(unsigned int reg, unsigned int addr);
    void bit(unsigned int addr);

    // read-modify-write: on memory and on the accumulator
    unsigned int shiftLeft(unsigned int v);
    unsigned int shiftRight(unsigned int v);
    unsigned int rotateLeft(unsigned int v);
    unsigned int rotateRight(unsigned int v);
    void asl(unsigned int addr);
    void lsr(unsigned int addr);
    void rol(unsigned int addr);
    void ror(unsigned int addr);
    void aslA();
    void lsrA();
    void rolA();
    void rorA();
    void inc(unsigned int addr);
    void dec(unsigned int addr);
    void increment(unsigned int& reg);
    void decrement(unsigned int& reg);

    // control flow
    void branch(bool taken);
    void jmp();
    void jmpIndirect();
    void jsr();
    void rts();
    void rti();
    void brk();

    // stack and flag instructions
    void php();
    void plp();
    void pha();
    void pla();
    void txs();
    void clear(unsigned int flag);
    void set(unsigned int flag);

    // outside the documented set
    void frameDone();
    void undocumented();
};

}  // namespace nes
}  // namespace vek
