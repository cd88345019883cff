// Line 0 immediates: ORI, ANDI, SUBI, ADDI, EORI, CMPI to an effective
// address, and ORI, ANDI, EORI to CCR and to SR.
#include "m68k/alu.h"
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

template <int Op, int Sz, int M>
SB_HANDLER(immediateToEa) {
  Step s{pc_, budget_};
  const uint32_t imm = Sz == 4 ? fetch32(s) : fetch16(s) & kMask<Sz>;
  const uint32_t where = rmwLocate<M, Sz>(s, lowReg(op));
  const uint32_t d = rmwRead<M, Sz>(s, where);
  if constexpr (Op == kCmpi) {
    cmpFlags<Sz>(d, imm);
    SB_NEXT(s, formCost(kCompareImmediate, M, Sz));
  } else {
    uint32_t r;
    if constexpr (Op == kOri)
      r = d | imm;
    else if constexpr (Op == kAndi)
      r = d & imm;
    else if constexpr (Op == kEori)
      r = d ^ imm;
    else if constexpr (Op == kAddi)
      r = addFlags<Sz>(d, imm);
    else
      r = subFlags<Sz>(d, imm);
    if constexpr (Op == kOri || Op == kAndi || Op == kEori) setLogic<Sz>(r);
    rmwWrite<M, Sz>(s, where, r);
    SB_NEXT(s, formCost(kImmediate, M, Sz));
  }
}

constexpr uint32_t kVectorPrivilege = 8;

template <int Op>
SB_HANDLER(immediateToCcr) {
  (void)op;
  Step s{pc_, budget_};
  const uint32_t imm = fetch16(s) & 0x1F;
  const uint32_t ccr = composeSr() & 0x1F;
  const uint32_t r = Op == kOri ? ccr | imm : Op == kAndi ? ccr & imm : ccr ^ imm;
  unpackFlags(r);
  SB_NEXT(s, kStatusImmediate);
}

template <int Op>
SB_HANDLER(immediateToSr) {
  (void)op;
  Step s{pc_, budget_};
  if (!(g.ctx.sr & kSrSuper)) {
    s = raiseException(s, kVectorPrivilege, pcOf(s.pc) - 2);
    SB_NEXT(s, kExceptionCost);
  }
  const uint32_t imm = fetch16(s);
  const uint32_t sr = composeSr();
  writeSr(Op == kOri ? sr | imm : Op == kAndi ? sr & imm : sr ^ imm);
  SB_RECHECK(s, kStatusImmediate);
}

}  // namespace

void bindImmediate() {
  bindFamily<Family::kImmediateToEa>(
      [](auto f) { return &immediateToEa<f.variant, f.size, f.mode>; });
  bindFamily<Family::kImmediateToCcr>([](auto f) { return &immediateToCcr<f.variant>; });
  bindFamily<Family::kImmediateToSr>([](auto f) { return &immediateToSr<f.variant>; });
}

}  // namespace m68k
