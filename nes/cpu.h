#pragma once

namespace vek {

class TraceLogger;

namespace nes {

class Nes;

// The console's 6502: state, memory map, stack, interrupts and the run loops.
// Instruction execution (nextOpcode) lives in cpu_opcodes.cpp.
class Cpu {
public:
    static const int VBLANK_START = 27393;  // vertical blank begins once more cycles than this have passed
    static const int FRAME_END = 29780;     // the frame ends once more cycles than this have passed

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
    void spendCycles(int n);

    // execution
    int nextOpcode();
    void run(int budget);
    void runUntilRenderDone(int budget);
    void fireNmi();
    void fireIrq(int brk);

    // stack
    void push(unsigned int value);
    unsigned int pop();

    // normal accesses (with register side effects)
    unsigned int read8(unsigned int addr);
    int read8s(unsigned int addr);
    unsigned int read8Ind(unsigned int zp);
    unsigned int read8IndY(unsigned int zp, unsigned int y);
    unsigned int read16(unsigned int addr);
    unsigned int read16Wrap(unsigned int addr);
    unsigned int read16Ind(unsigned int addr);
    void write8(unsigned int addr, unsigned char value);
    void write8Ind(unsigned int zp, unsigned char value);
    void write8IndY(unsigned int zp, unsigned int y, unsigned char value);

    // ghost accesses (no side effects)
    unsigned int ghostRead8(unsigned int addr);
    int ghostRead8s(unsigned int addr);
    unsigned int ghostRead8Ind(unsigned int zp);
    unsigned int ghostRead8IndY(unsigned int zp, unsigned int y);
    unsigned int ghostRead16(unsigned int addr);
    unsigned int ghostRead16Wrap(unsigned int addr);
    unsigned int ghostRead16Ind(unsigned int addr);
    void ghostWrite8(unsigned int addr, unsigned char value);

    // diagnostics
    void dumpMemory(const char* fileName);
};

}  // namespace nes
}  // namespace vek
