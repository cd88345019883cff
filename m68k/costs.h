// Instruction costs in clock cycles, per instruction form.
#pragma once

#include "m68k/ea.h"

namespace m68k {

// Effective-address time of an operand.
constexpr int eaTime(int m, int sz) {
  const bool l = sz == 4;
  switch (m) {
    case kDn:
    case kAn:
      return 0;
    case kInd:
    case kPostInc:
      return l ? 8 : 4;
    case kPreDec:
      return l ? 10 : 6;
    case kDisp:
    case kAbsW:
    case kPcDisp:
      return l ? 12 : 8;
    case kIndex:
    case kPcIndex:
      return l ? 14 : 10;
    case kAbsL:
      return l ? 16 : 12;
    case kImm:
      return l ? 8 : 4;
  }
  return 0;
}

// Destination time of MOVE.
constexpr int moveDestinationTime(int m, int sz) {
  const bool l = sz == 4;
  switch (m) {
    case kDn:
    case kAn:
      return 0;
    case kInd:
    case kPostInc:
    case kPreDec:
      return l ? 8 : 4;
    case kDisp:
    case kAbsW:
      return l ? 12 : 8;
    case kIndex:
      return l ? 14 : 10;
    case kAbsL:
      return l ? 16 : 12;
  }
  return 0;
}

// LEA, PEA, JMP, JSR by control mode.
constexpr int controlTime(int m, int in, int disp, int idx, int absw, int absl) {
  switch (m) {
    case kInd:
      return in;
    case kDisp:
    case kPcDisp:
      return disp;
    case kIndex:
    case kPcIndex:
      return idx;
    case kAbsW:
      return absw;
    case kAbsL:
      return absl;
  }
  return 0;
}
constexpr int leaCost(int m) {
  return controlTime(m, 4, 8, 12, 8, 12);
}
constexpr int peaCost(int m) {
  return controlTime(m, 12, 16, 20, 16, 20);
}
constexpr int jmpCost(int m) {
  return controlTime(m, 8, 10, 14, 10, 12);
}
constexpr int jsrCost(int m) {
  return controlTime(m, 16, 18, 22, 18, 20);
}

// MOVEM fixed part, before the per-register 4 (word) or 8 (long).
constexpr int movemToMemoryCost(int m) {
  return m == kPreDec ? 8 : controlTime(m, 8, 12, 14, 12, 16);
}
constexpr int movemToRegistersCost(int m) {
  return m == kPostInc ? 12 : controlTime(m, 12, 16, 18, 16, 20);
}

// ADD, SUB, AND, OR <ea>,Dn.
constexpr int aluToRegisterCost(int m, int sz) {
  if (sz != 4) return 4 + eaTime(m, sz);
  return 6 + eaTime(m, sz) + ((m == kDn || m == kAn || m == kImm) ? 2 : 0);
}
// ADD, SUB, AND, OR, EOR Dn,<ea> (memory; EOR also to Dn).
constexpr int aluToMemoryCost(int m, int sz) {
  if (m == kDn) return sz == 4 ? 8 : 4;
  return (sz == 4 ? 12 : 8) + eaTime(m, sz);
}
// ADDA, SUBA.
constexpr int addressArithCost(int m, int sz) {
  if (sz == 2) return 8 + eaTime(m, sz);
  return 6 + eaTime(m, sz) + ((m == kDn || m == kAn || m == kImm) ? 2 : 0);
}
// ADDI, SUBI, ANDI, ORI, EORI.
constexpr int immediateCost(int m, int sz) {
  if (m == kDn) return sz == 4 ? 16 : 8;
  return (sz == 4 ? 20 : 12) + eaTime(m, sz);
}
constexpr int cmpiCost(int m, int sz) {
  if (m == kDn) return sz == 4 ? 14 : 8;
  return (sz == 4 ? 12 : 8) + eaTime(m, sz);
}
// ADDQ, SUBQ.
constexpr int quickCost(int m, int sz) {
  if (m == kDn || m == kAn) return sz == 4 ? 8 : 4;
  return (sz == 4 ? 12 : 8) + eaTime(m, sz);
}
// NEG, NEGX, NOT.
constexpr int negateCost(int m, int sz) {
  if (m == kDn) return sz == 4 ? 6 : 4;
  return (sz == 4 ? 12 : 8) + eaTime(m, sz);
}
constexpr int clrCost(int m, int sz) {
  if (m == kDn) return sz == 4 ? 8 : 4;
  return (sz == 4 ? 12 : 6) + eaTime(m, sz);
}

}  // namespace m68k
