// Real-to-text conversion. This is deliberately not a correctly rounded conversion: the digits
// come from repeated division and multiplication by ten in the extended format, with a budget of
// significant digits and a rounding constant of about half a unit in the last place. The printed
// digits of every number the program shows depend on this exact sequence of operations.
#include "arithmetic/format_real.h"

#include <array>
#include <cstring>
#include <string_view>

#include "arithmetic/digit_arithmetic.h"
#include "arithmetic/soft_extended.h"
#include "channels/io_result.h"

namespace qv {
namespace {

using digits::Magnitude;

// The longest work text: the destination's upper bound.
constexpr int workCapacity = 255;
// Runs of zeros are cut from a run of this length; no fixed form needs a longer one.
constexpr int zeroRunLength = 40;
// Integer digits whose values are held for digit extraction: the most significant ones.
constexpr int heldIntegerValues = 18;
// The largest digit budget of any row, and so the most divisions the rounding constant needs.
constexpr int largestBudget = 17;

struct FormatRow {
  int totalWidth;
  int minimumWidth;
  int exponentWidth;
  int digitBudget;
  int exponentDigits;
  // Thresholds one slack below 1 and 0.1, each rounded in the extended format. (The third one,
  // 5 less the slack, only ever meets whole digits, for which "above it" is "5 or more".)
  Magnitude oneBelow;
  Magnitude tenthBelow;
};

// The slack is the extended value nearest to a power of ten.
constexpr FormatRow makeRow(int totalWidth, int minimumWidth, int exponentWidth,
                            std::string_view slack) {
  const SoftExtended slackValue = SoftExtended::decimal(slack);
  return {totalWidth,
          minimumWidth,
          exponentWidth,
          totalWidth - exponentWidth - 2,
          exponentWidth - 2,
          digits::magnitudeOf((SoftExtended(1) - slackValue).bits()),
          digits::magnitudeOf((SoftExtended::decimal("0.1") - slackValue).bits())};
}

// Indexed by typeCode.
constexpr std::array<FormatRow, 6> formatRows = {
    makeRow(16, 8, 4, "1e-9"),   makeRow(23, 9, 5, "1e-15"), makeRow(25, 10, 6, "1e-16"),
    makeRow(23, 10, 6, "1e-14"), makeRow(16, 8, 4, "1e-9"),  makeRow(16, 8, 4, "1e-9"),
};

// Half a unit in the last place for each budget: 0.5 divided by 10 that many times, every
// division rounded. Folded at compile time by the same arithmetic as at run time.
constexpr std::array<Magnitude, largestBudget + 1> makeRoundingHalves() {
  std::array<Magnitude, largestBudget + 1> halves{};
  SoftExtended half = SoftExtended::decimal("0.5");
  for (int budget = 0; budget <= largestBudget; ++budget) {
    halves[budget] = digits::magnitudeOf(half.bits());
    half = half / 10;
  }
  return halves;
}
constexpr std::array<Magnitude, largestBudget + 1> roundingHalves = makeRoundingHalves();

// The work text, indexed from 1 so that positions read like the layout they build: position 1
// is the sign place and position 2 the "0" that absorbs a carry out of the leading digit. The
// edits happen near its front (the sign, the carry place, the point), so an edit moves the
// shorter side of the text: the front moves into room kept on either side.
class WorkText {
 public:
  explicit WorkText(std::string_view start) {
    append(start.data(), static_cast<int>(start.size()));
  }

  char& operator[](int position) { return chars_[first_ + position - 1]; }
  int length() const { return length_; }
  const char* begin() const { return chars_ + first_; }

  void append(const char* text, int count) { insert(length_ + 1, text, count); }
  void appendChar(char c) { append(&c, 1); }
  void appendZeros(int count) { insertZeros(length_ + 1, count); }

  // Inserts before position (1 to length + 1); whatever falls beyond the capacity is cut.
  void insert(int position, const char* text, int count) {
    if (count > workCapacity - length_) count = workCapacity - length_;
    if (count <= 0 || position < 1 || position > length_ + 1) return;
    const int before = position - 1, after = length_ - before;
    if (before < after && first_ >= count) {
      move(chars_ + first_ - count, chars_ + first_, before);
      first_ -= count;
    } else {
      move(chars_ + first_ + before + count, chars_ + first_ + before, after);
    }
    move(chars_ + first_ + before, text, count);
    length_ += count;
  }
  void insertChar(int position, char c) { insert(position, &c, 1); }
  void insertZeros(int position, int count) {
    static constexpr char zeros[] = "0000000000000000000000000000000000000000";
    static_assert(sizeof zeros - 1 == zeroRunLength);
    insert(position, zeros, count < zeroRunLength ? count : zeroRunLength);
  }
  void erase(int position) {
    if (position < 1 || position > length_) return;
    const int before = position - 1, after = length_ - position;
    if (before < after && first_ < 2 * room - 1) {
      move(chars_ + first_ + 1, chars_ + first_, before);
      ++first_;
    } else {
      move(chars_ + first_ + before, chars_ + first_ + before + 1, after);
    }
    --length_;
  }
  // Only ever shortens: the text never grows into positions that were not written.
  void cutTo(int newLength) {
    if (newLength < 0) newLength = 0;
    if (newLength < length_) length_ = newLength;
  }
  void setLength(int newLength) { length_ = newLength; }

 private:
  // The front may move this far either way and the whole capacity still fit behind it.
  static constexpr int room = 8;

  // Most moves are of one character or none: those need no call.
  static void move(char* to, const char* from, int count) {
    if (count == 1) {
      *to = *from;
    } else if (count > 1) {
      std::memmove(to, from, static_cast<std::size_t>(count));
    }
  }

  // Left unset: only positions already written are ever read.
  char chars_[room + workCapacity + room];
  int first_ = room;
  int length_ = 0;
};

// Adds one at position and ripples the carry to the left. The sign place (a blank or "-") can
// never overflow, so the ripple always stops inside the text.
void carryInto(WorkText& s, int position) {
  s[position] = static_cast<char>(s[position] + 1);
  while (s[position] > '9') {
    s[position] = '0';
    --position;
    s[position] = static_cast<char>(s[position] + 1);
  }
}

// Writes one produced digit after pos; a digit of ten leaves "0" and carries leftwards.
[[gnu::always_inline]] inline void writeDigit(WorkText& s, int& pos, std::int64_t digit) {
  ++pos;
  s[pos] = static_cast<char>('0' + digit);
  if (s[pos] > '9') [[unlikely]] {
    s[pos] = static_cast<char>(s[pos] - 10);
    carryInto(s, pos - 1);
  }
}

struct Conversion {
  explicit Conversion(const FormatRow& formatRow) : row(formatRow) {}

  const FormatRow& row;
  WorkText s{" 0"};
  int pos = 2;
  int exponent = 0;
  int budget = 0;
  Magnitude value = {0, 0};
};

// truncToInteger(remembered - carried): the next integer digit. A rounding error may make the
// difference a little negative, which truncates to 0.
inline std::int64_t integerDigit(Magnitude remembered, Magnitude carried) {
  if (carried.isZero()) return digits::wholeOf(remembered);  // the leading digit
  return digits::truncated(digits::minus(remembered, carried));
}

// Integer digits by repeated division. Returns whether any digit was written.
bool writeIntegerDigits(Conversion& c) {
  Magnitude remembered[heldIntegerValues];
  int count = 0;
  for (Magnitude x = c.value; x > c.row.oneBelow; x = digits::dividedByTen(x)) {
    remembered[count % heldIntegerValues] = x;
    ++count;
  }
  if (count == 0) return false;
  c.exponent = count - 1;
  Magnitude carried = {0, 0};
  int next = count - 1;  // the most significant value comes first
  while (next >= 0 && c.budget > 0) {
    const Magnitude r = remembered[next % heldIntegerValues];
    writeDigit(c.s, c.pos, integerDigit(r, carried));
    --c.budget;
    --next;
    if (next >= 0) carried = digits::timesTen(digits::integerPartOf(r));  // only the next uses it
  }
  // With more integer digits than values held, the first dropped digit rounds the last one
  // kept; 17 or 18 integer digits are simply cut at the budget.
  if (count > heldIntegerValues && next >= 0) {
    if (integerDigit(remembered[next % heldIntegerValues], carried) >= 5) carryInto(c.s, c.pos);
  }
  return true;
}

// Each leading zero of a fraction costs one digit of the budget in the fixed form.
void skipLeadingZeros(Conversion& c, bool fixedForm) {
  while (c.value < c.row.tenthBelow) {
    c.value = digits::timesTen(c.value);
    --c.exponent;
    if (fixedForm) --c.budget;
  }
  --c.exponent;
}

void writeFractionDigits(Conversion& c) {
  const Magnitude half = roundingHalves[c.budget];
  if (c.value >= half) c.value = digits::plus(c.value, half);
  if (digits::wholeOf(c.value) == 1) {
    carryInto(c.s, c.pos);
    c.value = digits::fractionOf(c.value);
  }
  digits::fractionDigits(c.value, c.budget, [&c](int digit) { writeDigit(c.s, c.pos, digit); });
}

// carriedOut: the rounding carried into the leading place, which then holds a digit of its own.
void shapeExponentForm(Conversion& c, bool carriedOut) {
  WorkText& s = c.s;
  // The carry left only zeros behind the new leading "1"; dropping the last of them keeps the
  // digit budget, and so keeps the text exactly as wide as the width that chose the budget.
  if (carriedOut && s.length() > 2) s.cutTo(s.length() - 1);
  s.insertChar(3, '.');
  ShortString<10> exponentText;
  formatInteger(c.exponent < 0 ? -c.exponent : c.exponent, -1, exponentText, 10);
  s.appendChar('E');
  s.appendChar(c.exponent < 0 ? '-' : '+');
  s.appendZeros(c.row.exponentDigits - exponentText.length);
  s.append(exponentText.chars, exponentText.length);
}

void shapeFixedForm(Conversion& c, bool negative, int decimals) {
  WorkText& s = c.s;
  int base = 3;
  if (!negative) {
    s.erase(1);
    base = 2;
  }
  if (c.exponent >= 0) {
    if (base + c.exponent + decimals - 1 > s.length()) {
      s.appendZeros(base + c.exponent + decimals - s.length());
    }
    s.insertChar(base + c.exponent, '.');
  } else {
    s.insertZeros(base - 1, -c.exponent);
    s.insertChar(base, '.');
  }
  // Where the point went; the text is never near its capacity, so it always does go in.
  const int point = c.exponent >= 0 ? base + c.exponent : base;
  s.cutTo(decimals > 0 ? point + decimals : point - 1);
}

void store(const WorkText& s, std::int32_t width, ShortStringSlot destination,
           std::int32_t capacity) {
  int limit = capacity < destination.capacity ? capacity : destination.capacity;
  if (limit < 0) limit = 0;
  int padding = width > s.length() ? width - s.length() : 0;
  if (padding > limit) padding = limit;
  int kept = s.length() < limit - padding ? s.length() : limit - padding;
  if (padding > 0) std::memset(destination.chars, ' ', static_cast<std::size_t>(padding));
  std::memcpy(destination.chars + padding, s.begin(), static_cast<std::size_t>(kept));
  *destination.length = static_cast<std::uint8_t>(padding + kept);
}

void storeSpecial(std::string_view text, std::int32_t width, ShortStringSlot destination,
                  std::int32_t capacity) {
  WorkText s{text};
  store(s, width, destination, capacity);
}

}  // namespace

Extended roundingHalf(std::int32_t budget) {
  if (budget < 0) budget = 0;
  if (budget > largestBudget) budget = largestBudget;
  return Extended::fromBits(digits::bitsOf(roundingHalves[budget]));
}

void formatReal(std::int32_t width, std::int32_t decimals, Extended value, std::int32_t typeCode,
                ShortStringSlot destination, std::int32_t capacity) {
  // No caller passes another code; an unknown one is read as the double it most likely is
  // rather than indexing past the table.
  if (typeCode < 0 || typeCode >= static_cast<std::int32_t>(formatRows.size())) {
    typeCode = doubleTypeCode;
  }
  Conversion c{formatRows[typeCode]};
  if (width == noWidth) width = c.row.totalWidth;
  // The digits are computed on the value's bits, whichever arithmetic the build has.
  const ExtendedBits bits = value.bits();
  const soft::Kind kind = soft::kindOf(bits);
  if (soft::isNaNOrUnsupported(kind)) return storeSpecial("NaN", width, destination, capacity);
  const bool negative = soft::isNegative(bits);
  if (kind == soft::Kind::infinity) {
    return storeSpecial(negative ? "-Inf" : "Inf", width, destination, capacity);
  }
  c.value = digits::magnitudeOf(bits);

  c.budget = c.row.digitBudget;
  if (decimals > c.budget) decimals = c.budget;
  const bool fixedForm = decimals >= 0;
  if (!fixedForm) {
    if (width >= 0 && width < c.row.minimumWidth) width = c.row.minimumWidth;
    if (width > 0 && width < c.row.totalWidth) c.budget = width - c.row.exponentWidth - 2;
  }

  const bool wroteIntegerDigit = writeIntegerDigits(c);
  if (c.value > c.row.oneBelow) c.value = digits::fractionOf(c.value);
  if (fixedForm && c.budget > decimals) c.budget = decimals;
  if (!wroteIntegerDigit && !c.value.isZero()) skipLeadingZeros(c, fixedForm);
  if (c.budget >= 0) writeFractionDigits(c);
  c.s.setLength(c.pos);

  const bool carriedOut = c.s[2] != '0';
  if (carriedOut) {
    ++c.exponent;
  } else {
    c.s.erase(2);
  }
  if (negative) c.s[1] = '-';

  if (!fixedForm || c.exponent > 35) {
    shapeExponentForm(c, carriedOut);
  } else {
    shapeFixedForm(c, negative, decimals);
  }
  store(c.s, width, destination, capacity);
}

void writeReal(std::int32_t typeCode, std::int32_t decimals, std::int32_t width,
               TextChannel& channel, Extended value) {
  if (ioResult != 0) return;
  String255 text;
  formatReal(width, decimals, value, typeCode, text, String255::capacity);
  writeString(width, channel, text.view());
}

}  // namespace qv
