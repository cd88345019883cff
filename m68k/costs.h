// Instruction execution times in clock cycles, laid out as the 68000 user's
// manual tables them: the effective-address times, then one row per
// instruction form. Handlers name their cost from here; every figure is a
// compile-time constant in the handler that charges it.
#pragma once

#include "m68k/ea.h"

namespace m68k {

// A figure for byte and word operations and one for long ones.
struct BySize {
  int byteWord, longWord;
  constexpr int at(int sz) const { return sz == 4 ? longWord : byteWord; }
};

// ---- Effective-address calculation times ----
constexpr BySize kEaTime[kModeCount] = {
    // Dn      An      (An)    (An)+   -(An)    d16(An)  d8(An,Xn)
    {0, 0},
    {0, 0},
    {4, 8},
    {4, 8},
    {6, 10},
    {8, 12},
    {10, 14},
    // abs.W  abs.L     d16(PC)  d8(PC,Xn) #imm
    {8, 12},
    {12, 16},
    {8, 12},
    {10, 14},
    {4, 8},
};
constexpr int eaTime(int m, int sz) {
  return kEaTime[m].at(sz);
}

// ---- MOVE: 4 + source ea time + destination time ----
constexpr int kMoveBase = 4;
constexpr BySize kMoveDestinationTime[kModeCount] = {
    // Dn      An      (An)    (An)+   -(An)   d16(An)  d8(An,Xn)
    {0, 0},
    {0, 0},
    {4, 8},
    {4, 8},
    {4, 8},
    {8, 12},
    {10, 14},
    // abs.W  abs.L  (no PC-relative or immediate destination)
    {8, 12},
    {12, 16},
    {0, 0},
    {0, 0},
    {0, 0},
};
constexpr int moveCost(int source, int destination, int sz) {
  return kMoveBase + eaTime(source, sz) + kMoveDestinationTime[destination].at(sz);
}

// ---- Standard, immediate and single-operand instructions ----
// A register-form time (the operand is Dn or An) and a memory-form time to
// which the operand's ea time is added.
struct FormTime {
  BySize registerForm, memoryForm;
};
constexpr int formCost(const FormTime& t, int m, int sz) {
  return m == kDn || m == kAn ? t.registerForm.at(sz) : t.memoryForm.at(sz) + eaTime(m, sz);
}

constexpr FormTime kAluToMemory = {{4, 8}, {8, 12}};        // ADD SUB AND OR Dn,<ea>; EOR
constexpr FormTime kImmediate = {{8, 16}, {12, 20}};        // ADDI SUBI ANDI ORI EORI
constexpr FormTime kCompareImmediate = {{8, 14}, {8, 12}};  // CMPI
constexpr FormTime kQuick = {{4, 8}, {8, 12}};              // ADDQ SUBQ
constexpr FormTime kNegate = {{4, 6}, {8, 12}};             // NEG NEGX NOT
constexpr FormTime kClear = {{4, 8}, {6, 12}};              // CLR
constexpr FormTime kTest = {{4, 4}, {4, 4}};                // TST
constexpr FormTime kNbcd = {{6, 6}, {8, 8}};                // NBCD
constexpr FormTime kTas = {{4, 4}, {14, 14}};               // TAS
constexpr FormTime kMoveFromSr = {{6, 6}, {8, 8}};          // MOVE SR,<ea>
constexpr FormTime kMoveToStatus = {{12, 12}, {12, 12}};    // MOVE <ea>,CCR and <ea>,SR
constexpr FormTime kSccFalse = {{4, 4}, {8, 8}};            // Scc, condition false
constexpr FormTime kSccTrue = {{6, 6}, {8, 8}};             // Scc, condition true
constexpr FormTime kShiftMemory = {{8, 8}, {8, 8}};         // ASd LSd ROXd ROd <ea>

// <ea>,Dn and <ea>,An: base + ea time, long forms with a register or
// immediate source 2 more.
struct ToRegisterTime {
  BySize base;
  int longFromRegisterOrImmediate;
};
constexpr ToRegisterTime kAluToRegister = {{4, 6}, 2};      // ADD SUB AND OR <ea>,Dn
constexpr ToRegisterTime kCompareToRegister = {{4, 6}, 0};  // CMP <ea>,Dn
constexpr ToRegisterTime kAddressArith = {{8, 6}, 2};       // ADDA SUBA (word 8, long 6)
constexpr ToRegisterTime kCompareAddress = {{6, 6}, 0};     // CMPA
constexpr int toRegisterCost(const ToRegisterTime& t, int m, int sz) {
  const bool plus = sz == 4 && (m == kDn || m == kAn || m == kImm);
  return t.base.at(sz) + eaTime(m, sz) + (plus ? t.longFromRegisterOrImmediate : 0);
}

// ---- Multi-precision and BCD: Dy,Dx and -(Ay),-(Ax) ----
constexpr BySize kExtendedRegister = {4, 8};  // ADDX SUBX
constexpr BySize kExtendedMemory = {18, 30};
constexpr int kBcdRegister = 6;  // ABCD SBCD
constexpr int kBcdMemory = 18;
constexpr BySize kCompareMemory = {12, 20};

// ---- Bit manipulation: register form, memory form + ea (byte) ----
// Rows: BTST, BCHG, BCLR, BSET; columns: bit number in Dn, static.
constexpr int kBitRegister[4][2] = {{6, 10}, {8, 12}, {10, 14}, {8, 12}};
constexpr int kBitMemory[4][2] = {{4, 8}, {8, 12}, {8, 12}, {8, 12}};
constexpr BySize kMovep = {16, 24};

// ---- Shifts and rotates on a register: base + 2 per bit shifted ----
constexpr BySize kShiftRegister = {6, 8};
constexpr int kShiftPerBit = 2;

// ---- Multiply and divide (word operands) + ea ----
constexpr int kMultiply = 38;  // MULU MULS, + 2 per counted bit
constexpr int kMultiplyPerBit = 2;
constexpr int kDivu = 133;
constexpr int kDivs = 150;
constexpr int kDivideByZero = 38;

// ---- Control-mode instructions, by mode ----
// (An), d16(An) and d16(PC), d8(An,Xn) and d8(PC,Xn), abs.W, abs.L.
struct ControlTime {
  int ind, disp, index, absW, absL;
};
constexpr int controlCost(const ControlTime& t, int m) {
  switch (m) {
    case kInd:
      return t.ind;
    case kDisp:
    case kPcDisp:
      return t.disp;
    case kIndex:
    case kPcIndex:
      return t.index;
    case kAbsW:
      return t.absW;
    case kAbsL:
      return t.absL;
  }
  return 0;
}
constexpr ControlTime kLea = {4, 8, 12, 8, 12};
constexpr ControlTime kPea = {12, 16, 20, 16, 20};
constexpr ControlTime kJmp = {8, 10, 14, 10, 12};
constexpr ControlTime kJsr = {16, 18, 22, 18, 20};

// MOVEM: the fixed part by mode, then per register moved.
constexpr ControlTime kMovemToMemory = {8, 12, 14, 12, 16};
constexpr int kMovemToMemoryPreDec = 8;
constexpr ControlTime kMovemToRegisters = {12, 16, 18, 16, 20};
constexpr int kMovemToRegistersPostInc = 12;
constexpr BySize kMovemPerRegister = {4, 8};
constexpr int movemToMemoryCost(int m) {
  return m == kPreDec ? kMovemToMemoryPreDec : controlCost(kMovemToMemory, m);
}
constexpr int movemToRegistersCost(int m) {
  return m == kPostInc ? kMovemToRegistersPostInc : controlCost(kMovemToRegisters, m);
}

// CHK <ea>,Dn + ea: in bounds, and when it traps.
constexpr int kChk = 10;
constexpr int kChkTrap = 40;

// ---- Branches ----
constexpr int kBranchTaken = 10;         // Bcc taken, BRA
constexpr int kBranchNotTakenShort = 8;  // 8-bit displacement
constexpr int kBranchNotTakenWord = 12;  // 16-bit displacement
constexpr int kBsr = 18;
constexpr int kDbccConditionTrue = 12;
constexpr int kDbccBranch = 10;
constexpr int kDbccExpired = 14;

// ---- Miscellaneous instructions ----
constexpr int kMoveq = 4;
constexpr int kExg = 6;
constexpr int kSwap = 4;
constexpr int kExt = 4;
constexpr int kNop = 4;
constexpr int kMoveUsp = 4;
constexpr int kLink = 16;
constexpr int kUnlk = 12;
constexpr int kRts = 16;
constexpr int kRtr = 20;
constexpr int kRte = 20;
constexpr int kTrapv = 4;
constexpr int kTrapvTrap = 38;
constexpr int kStop = 4;
constexpr int kReset = 132;           // after the reset callback returns
constexpr int kStatusImmediate = 20;  // ANDI ORI EORI to CCR or SR

// ---- Exceptions (they replace the cost of the instruction that raised them) ----
constexpr int kExceptionCost = 34;  // illegal, line A/F, privilege, TRAP #n, trace
constexpr int kInterruptCost = 44;

}  // namespace m68k
