#include "diag/trace_logger.h"

#include <cstdarg>
#include <cstdio>

#include "nes/cpu.h"

namespace vek {

namespace {

// addressing-mode codes of the trace
enum {
    __ = -1,  // implied, accumulator or undocumented
    IMM = 0,  // #$nn
    IZX = 1,  // ($nn,X)
    IZY = 2,  // ($nn),Y
    ZP = 3,   // $nn
    ZPX = 4,  // $nn,X
    ZPY = 5,  // $nn,Y
    REL = 6,  // branch target
    ABS = 7,  // $nnnn
    ABX = 8,  // $nnnn,X
    ABY = 9,  // $nnnn,Y
    IND = 10, // ($nnnn)
    JMP = 11, // JMP and JSR target
};

const char OPC_NAMES[256][4] = {
    // 0      1      2      3      4      5      6      7      8      9      A      B      C      D      E      F
    "BRK", "ORA", "???", "???", "???", "ORA", "ASL", "???", "PHP", "ORA", "ASL", "???", "???", "ORA", "ASL", "???",  // 0
    "BPL", "ORA", "???", "???", "???", "ORA", "ASL", "???", "CLC", "ORA", "???", "???", "???", "ORA", "ASL", "???",  // 1
    "JSR", "AND", "???", "???", "BIT", "AND", "ROL", "???", "PLP", "AND", "ROL", "???", "BIT", "AND", "ROL", "???",  // 2
    "BMI", "AND", "???", "???", "???", "AND", "ROL", "???", "SEC", "AND", "???", "???", "???", "AND", "ROL", "???",  // 3
    "RTI", "EOR", "???", "???", "???", "EOR", "LSR", "???", "PHA", "EOR", "LSR", "???", "JMP", "EOR", "LSR", "???",  // 4
    "BVC", "EOR", "???", "???", "???", "EOR", "LSR", "???", "CLI", "EOR", "???", "???", "???", "EOR", "LSR", "???",  // 5
    "RTS", "ADC", "???", "???", "???", "ADC", "ROR", "???", "PLA", "ADC", "ROR", "???", "JMP", "ADC", "ROR", "???",  // 6
    "BVS", "ADC", "???", "???", "???", "ADC", "ROR", "???", "SEI", "ADC", "???", "???", "???", "ADC", "ROR", "???",  // 7
    "???", "STA", "???", "???", "STY", "STA", "STX", "???", "DEY", "???", "TXA", "???", "STY", "STA", "STX", "???",  // 8
    "BCC", "STA", "???", "???", "STY", "STA", "STX", "???", "TYA", "STA", "TXS", "???", "???", "STA", "???", "???",  // 9
    "LDY", "LDA", "LDX", "???", "LDY", "LDA", "LDX", "???", "TAY", "LDA", "TAX", "???", "LDY", "LDA", "LDX", "???",  // A
    "BCS", "LDA", "???", "???", "LDY", "LDA", "LDX", "???", "CLV", "LDA", "TSX", "???", "LDY", "LDA", "LDX", "???",  // B
    "CPY", "CMP", "???", "???", "CPY", "CMP", "DEC", "???", "INY", "CMP", "DEX", "???", "CPY", "CMP", "DEC", "???",  // C
    "BNE", "CMP", "???", "???", "???", "CMP", "DEC", "???", "CLD", "CMP", "???", "???", "???", "CMP", "DEC", "???",  // D
    "CPX", "SBC", "???", "???", "CPX", "SBC", "INC", "???", "INX", "SBC", "NOP", "???", "CPX", "SBC", "INC", "???",  // E
    "BEQ", "SBC", "???", "???", "???", "SBC", "INC", "???", "SED", "SBC", "???", "???", "???", "SBC", "INC", "???",  // F
};

const int OPC_ADDRESSING_MODES[256] = {
    // 0    1    2    3    4    5    6    7    8    9    A    B    C    D    E    F
    __,  IZX, __,  __,  __,  ZP,  ZP,  __,  __,  IMM, __,  __,  __,  ABS, ABS, __,   // 0
    REL, IZY, __,  __,  __,  ZPX, ZPX, __,  __,  ABY, __,  __,  __,  ABX, ABX, __,   // 1
    JMP, IZX, __,  __,  ZP,  ZP,  ZP,  __,  __,  IMM, __,  __,  ABS, ABS, ABS, __,   // 2
    REL, IZY, __,  __,  __,  ZPX, ZPX, __,  __,  ABY, __,  __,  __,  ABX, ABX, __,   // 3
    __,  IZX, __,  __,  __,  ZP,  ZP,  __,  __,  IMM, __,  __,  JMP, ABS, ABS, __,   // 4
    REL, IZY, __,  __,  __,  ZPX, ZPX, __,  __,  ABY, __,  __,  __,  ABX, ABX, __,   // 5
    __,  IZX, __,  __,  __,  ZP,  ZP,  __,  __,  IMM, __,  __,  IND, ABS, ABS, __,   // 6
    REL, IZY, __,  __,  __,  ZPX, ZPX, __,  __,  ABY, __,  __,  __,  ABX, ABX, __,   // 7
    __,  IZX, __,  __,  ZP,  ZP,  ZP,  __,  __,  __,  __,  __,  ABS, ABS, ABS, __,   // 8
    REL, IZY, __,  __,  ZPX, ZPX, ZPY, __,  __,  ABY, __,  __,  __,  ABX, __,  __,   // 9
    IMM, IZX, IMM, __,  ZP,  ZP,  ZP,  __,  __,  IMM, __,  __,  ABS, ABS, ABS, __,   // A
    REL, IZY, __,  __,  ZPX, ZPX, ZPY, __,  __,  ABY, __,  __,  ABX, ABX, ABY, __,   // B
    IMM, IZX, __,  __,  ZP,  ZP,  ZP,  __,  __,  IMM, __,  __,  ABS, ABS, ABS, __,   // C
    REL, IZY, __,  __,  __,  ZPX, ZPX, __,  __,  ABY, __,  __,  __,  ABX, ABX, __,   // D
    IMM, IZX, __,  __,  ZP,  ZP,  ZP,  __,  __,  IMM, __,  __,  ABS, ABS, ABS, __,   // E
    REL, IZY, __,  __,  __,  ZPX, ZPX, __,  __,  ABY, __,  __,  __,  ABX, ABX, __,   // F
};

// operand bytes per mode code; 12 to 15 are not used by any opcode
const int ADDRESSING_MODE_SIZES[16] = {1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 0, 0, 0, 0};

}  // namespace

TraceLogger::TraceLogger()
    : buffer(new char[BUFFER_SIZE]), bufferPos(0), cpu(nullptr), callStackCapacity(128), callStackDepth(0) {
    buffer[0] = 0;
    for (int i = 0; i < callStackCapacity; i++) callStack[i] = 0;
}

TraceLogger::~TraceLogger() { delete[] buffer; }

void TraceLogger::activate(void* cpu, const char* fileName) {
    this->cpu = cpu;
    this->fileName = fileName;
    bufferPos = 0;
    buffer[0] = 0;
    FILE* f = fopen(fileName, "w");
    if (f) fclose(f);
}

void TraceLogger::deactivate() {
    flush();
    cpu = nullptr;
}

void TraceLogger::flush() {
    if (!cpu) return;
    FILE* f = fopen(fileName.c_str(), "a");
    if (f) {
        fwrite(buffer, 1, bufferPos, f);
        fclose(f);
    } else {
        fwrite(buffer, 1, bufferPos, stdout);
        fflush(stdout);
    }
    bufferPos = 0;
    buffer[0] = 0;
}

int TraceLogger::writef(const char* fmt, ...) {
    if (BUFFER_SIZE - bufferPos < FLUSH_RESERVE) flush();
    int space = BUFFER_SIZE - bufferPos;
    va_list args;
    va_start(args, fmt);
    int n = vsnprintf(buffer + bufferPos, space, fmt, args);
    va_end(args);
    // a piece cut by the bound only counts with what fits: the buffer stays terminated and
    // bufferPos never passes its last byte
    if (n > 0) bufferPos += n < space ? n : space - 1;
    return n;
}

const char* TraceLogger::getProcessorFlagsString(unsigned int p) {
    static char flags[9];
    static const char LETTERS[] = "NVUBDIZC";
    for (int i = 0; i < 8; i++) {
        bool set = p & (0x80 >> i);
        flags[i] = set ? LETTERS[i] : (char)(LETTERS[i] - 'A' + 'a');
    }
    flags[8] = 0;
    return flags;
}

void TraceLogger::log() {
    if (!cpu) return;
    const nes::Cpu* c = static_cast<const nes::Cpu*>(cpu);
    unsigned int pc = c->pc;
    unsigned int opcode = c->ghostRead8(pc);
    unsigned int byte1 = c->ghostRead8(pc + 1);
    unsigned int byte2 = c->ghostRead8(pc + 2);
    int mode = OPC_ADDRESSING_MODES[opcode];
    int size = mode < 0 ? 0 : ADDRESSING_MODE_SIZES[mode];

    writef("A:%02X X:%02X Y:%02X S:%02X P:%s ", c->a, c->x, c->y, c->sp, getProcessorFlagsString(c->p));
    // indented by the bytes on the stack
    int depth = 255 - (int)c->sp;
    if (depth > 0) writef("%*s", depth, "");
    writef("$%04X:%02X ", pc, opcode);
    if (size == 0)
        writef("       ");
    else if (size == 1)
        writef("%02X     ", byte1);
    else
        writef("%02X %02X  ", byte1, byte2);
    writef("%s", OPC_NAMES[opcode]);

    unsigned int address = byte1 | byte2 << 8;
    switch (mode) {
        case IMM: writef(" #$%02X", byte1); break;
        case IZX: {
            unsigned int zp = (c->x + byte1) & 0xFF;
            writef(" ($%02X,X) @ $%04X = #$%02X", byte1, c->ghostRead16Wrap(zp), c->ghostRead8Ind(zp));
            break;
        }
        case IZY:
            writef(" ($%02X),Y @ $%04X = #$%02X", byte1, c->ghostRead16Wrap(byte1) + c->y,
                   c->ghostRead8IndY(byte1, c->y));
            break;
        case ZP: writef(" $%04X = #$%02X", byte1, c->ghostRead8(byte1)); break;
        case ZPX: {
            unsigned int effective = (c->x + byte1) & 0xFF;
            writef(" $%04X,X @ $%04X = #$%02X", byte1, effective, c->ghostRead8(effective));
            break;
        }
        case ZPY: {
            unsigned int effective = (c->y + byte1) & 0xFF;
            writef(" $%04X,Y @ $%04X = #$%02X", byte1, effective, c->ghostRead8(effective));
            break;
        }
        case REL: writef(" $%04X", pc + 2 + c->ghostRead8s(pc + 1)); break;
        case ABS: writef(" $%04X = #$%02X", address, c->ghostRead8(address)); break;
        case ABX:
            writef(" $%04X,X @ $%04X = #$%02X", address, address + c->x, c->ghostRead8(address + c->x));
            break;
        case ABY:
            writef(" $%04X,Y @ $%04X = #$%02X", address, address + c->y, c->ghostRead8(address + c->y));
            break;
        case IND: writef(" ($%04X) = $%04X", address, c->ghostRead16(address)); break;
        case JMP: writef(" $%04X", address); break;
        default: break;
    }

    if (opcode == 0x20) {
        callStack[callStackDepth] = (int)address;
        if (++callStackDepth >= callStackCapacity) callStackDepth = callStackCapacity - 1;
    } else if (opcode == 0x60) {
        if (--callStackDepth < 0) {
            callStackDepth = 0;
            writef(" (from ?????" ") ---------------------------");
        } else {
            writef(" (from $%04X) ---------------------------", callStack[callStackDepth]);
        }
    }
    writef("\n");
}

}  // namespace vek
