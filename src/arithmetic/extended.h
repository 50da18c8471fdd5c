// The one real type of the program's arithmetic: the 80-bit extended format (64-bit
// significand, 15-bit exponent, round to nearest, ties to even). Every printed digit depends on
// it. Two implementations give the same results bit for bit, and the same run-time errors:
// the x87 unit's (x86/x87_extended.h) and one in integers (soft_extended.h), chosen when the
// build is configured. Code that computes with reals uses Extended and does not know which one
// it has. (formatReal is the one exception, by design: it takes its digits from the format's
// bits with integer arithmetic in every build, and uses the integer implementation's pieces
// for that.)
//
// Both offer: construction from signed integers and doubles (exact), from the format's bits,
// and from decimal text (rounded once, as a long double literal); + - * / and negation; quiet
// comparisons; sqrt and abs; intPart, fracPart and truncToInteger, which truncate toward zero;
// isNaN, isInf and signBit, which raise nothing; and an explicit conversion to double, rounded
// to nearest.
#pragma once

#if QV_SOFT_EXTENDED
#include "arithmetic/soft_extended.h"
namespace qv {
using Extended = SoftExtended;
}
#else
#include "arithmetic/x86/x87_extended.h"
namespace qv {
using Extended = X87Extended;
}
#endif
