// Real-to-text conversion. This is deliberately not a correctly rounded conversion: the digits
// come from repeated division and multiplication by ten in the extended format, with a budget of
// significant digits and a rounding constant of about half a unit in the last place. The printed
// digits of every number the program shows depend on this exact sequence of operations.
#include "textio/format_real.h"

#include <array>
#include <cmath>

#include "textio/text_channel.h"

namespace qv {
namespace {

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
  // Thresholds one slack below 1, 0.1 and 5, each rounded in the extended format.
  Extended oneBelow;
  Extended tenthBelow;
  Extended fiveBelow;
};

constexpr FormatRow makeRow(int totalWidth, int minimumWidth, int exponentWidth, Extended slack) {
  return {totalWidth,        minimumWidth, exponentWidth, totalWidth - exponentWidth - 2,
          exponentWidth - 2, 1.0L - slack, 0.1L - slack,  5.0L - slack};
}

// Indexed by typeCode. Long double literals are the nearest extended values.
constexpr std::array<FormatRow, 6> formatRows = {
    makeRow(16, 8, 4, 1e-9L),   makeRow(23, 9, 5, 1e-15L), makeRow(25, 10, 6, 1e-16L),
    makeRow(23, 10, 6, 1e-14L), makeRow(16, 8, 4, 1e-9L),  makeRow(16, 8, 4, 1e-9L),
};
constexpr int doubleTypeCode = 1;

// Half a unit in the last place for each budget: 0.5 divided by 10 that many times, every
// division rounded. Folded at compile time, which rounds exactly as the run-time divisions do.
constexpr std::array<Extended, largestBudget + 1> makeRoundingHalves() {
  std::array<Extended, largestBudget + 1> halves{};
  Extended half = 0.5L;
  for (int budget = 0; budget <= largestBudget; ++budget) {
    halves[budget] = half;
    half = half / 10.0L;
  }
  return halves;
}
constexpr std::array<Extended, largestBudget + 1> roundingHalves = makeRoundingHalves();

// The work text, indexed from 1 so that positions read like the layout they build: position 1
// is the sign place and position 2 the "0" that absorbs a carry out of the leading digit.
class WorkText {
 public:
  explicit WorkText(std::string_view start) {
    append(start.data(), static_cast<int>(start.size()));
  }

  char& operator[](int position) { return chars_[position]; }
  int length() const { return length_; }
  const char* begin() const { return chars_ + 1; }

  void append(const char* text, int count) { insert(length_ + 1, text, count); }
  void appendChar(char c) { append(&c, 1); }
  void appendZeros(int count) { insertZeros(length_ + 1, count); }

  // Inserts before position; whatever falls beyond the capacity is cut.
  void insert(int position, const char* text, int count) {
    if (count > workCapacity - length_) count = workCapacity - length_;
    if (count <= 0) return;
    for (int i = length_; i >= position; --i) chars_[i + count] = chars_[i];
    for (int i = 0; i < count; ++i) chars_[position + i] = text[i];
    length_ += count;
  }
  void insertChar(int position, char c) { insert(position, &c, 1); }
  void insertZeros(int position, int count) {
    static constexpr char zeros[] = "0000000000000000000000000000000000000000";
    static_assert(sizeof zeros - 1 == zeroRunLength);
    insert(position, zeros, count < zeroRunLength ? count : zeroRunLength);
  }
  void erase(int position) {
    for (int i = position; i < length_; ++i) chars_[i] = chars_[i + 1];
    --length_;
  }
  // Only ever shortens: the text never grows into positions that were not written.
  void cutTo(int newLength) {
    if (newLength < 0) newLength = 0;
    if (newLength < length_) length_ = newLength;
  }
  void setLength(int newLength) { length_ = newLength; }
  int find(char c) const {
    for (int i = 1; i <= length_; ++i)
      if (chars_[i] == c) return i;
    return 0;
  }

 private:
  // Left unset: only positions already written are ever read.
  char chars_[workCapacity + 2];
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
void writeDigit(WorkText& s, int& pos, std::int64_t digit) {
  ++pos;
  s[pos] = static_cast<char>('0' + digit);
  if (s[pos] > '9') {
    s[pos] = static_cast<char>(s[pos] - 10);
    carryInto(s, pos - 1);
  }
}

// truncToInteger of a whole part in [0, 10]. Through double, which holds it exactly, the
// conversion needs no switch of the x87 rounding mode, which costs more than a digit's arithmetic.
std::int64_t digitOf(Extended whole) {
  return static_cast<std::int64_t>(static_cast<double>(whole));
}

struct Conversion {
  const FormatRow& row;
  WorkText s{" 0"};
  int pos = 2;
  int exponent = 0;
  int budget = 0;
  Extended value = 0;
};

// Integer digits by repeated division. Returns whether any digit was written.
bool writeIntegerDigits(Conversion& c) {
  Extended remembered[heldIntegerValues];
  int count = 0;
  for (Extended x = c.value; x > c.row.oneBelow; x = x / 10.0L) {
    remembered[count % heldIntegerValues] = x;
    ++count;
  }
  if (count == 0) return false;
  c.exponent = count - 1;
  Extended carried = 0;
  int next = count - 1;  // the most significant value comes first
  while (next >= 0 && c.budget > 0) {
    const Extended r = remembered[next % heldIntegerValues];
    writeDigit(c.s, c.pos, truncToInteger(r - carried));
    --c.budget;
    carried = intPart(r) * 10.0L;
    --next;
  }
  // With more integer digits than values held, the first dropped digit rounds the last one
  // kept; 17 or 18 integer digits are simply cut at the budget.
  if (count > heldIntegerValues && next >= 0) {
    const Extended digit =
        static_cast<Extended>(truncToInteger(remembered[next % heldIntegerValues] - carried));
    if (digit > c.row.fiveBelow) carryInto(c.s, c.pos);
  }
  return true;
}

// Each leading zero of a fraction costs one digit of the budget in the fixed form.
void skipLeadingZeros(Conversion& c, bool fixedForm) {
  while (c.value < c.row.tenthBelow) {
    c.value = c.value * 10.0L;
    --c.exponent;
    if (fixedForm) --c.budget;
  }
  --c.exponent;
}

void writeFractionDigits(Conversion& c) {
  const Extended half = roundingHalves[c.budget];
  if (c.value >= half) c.value = c.value + half;
  if (intPart(c.value) == 1.0L) {
    carryInto(c.s, c.pos);
    c.value = fracPart(c.value);
  }
  // Each digit's truncation also gives the whole part that the next step takes away. Above
  // oneBelow that is fracPart; at or below it the whole part is 0 and the value stays itself.
  Extended whole = intPart(c.value);
  for (int i = 0; i < c.budget; ++i) {
    c.value = (c.value - whole) * 10.0L;
    whole = intPart(c.value);
    writeDigit(c.s, c.pos, digitOf(whole));
  }
}

// carriedOut: the rounding carried into the leading place, which then holds a digit of its own.
void shapeExponentForm(Conversion& c, bool carriedOut) {
  WorkText& s = c.s;
  // The carry left only zeros behind the new leading "1"; dropping the last of them keeps the
  // digit budget, and so keeps the text exactly as wide as the width that chose the budget.
  if (carriedOut && s.length() > 2) s.cutTo(s.length() - 1);
  s.insertChar(3, '.');
  ShortString<10> digits;
  formatInteger(c.exponent < 0 ? -c.exponent : c.exponent, -1, digits, 10);
  s.appendChar('E');
  s.appendChar(c.exponent < 0 ? '-' : '+');
  s.appendZeros(c.row.exponentDigits - digits.length);
  s.append(digits.chars, digits.length);
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
  const int point = s.find('.');
  s.cutTo(decimals > 0 ? point + decimals : point - 1);
}

void store(const WorkText& s, std::int32_t width, ShortStringSlot destination,
           std::int32_t capacity) {
  int limit = capacity < destination.capacity ? capacity : destination.capacity;
  if (limit < 0) limit = 0;
  int padding = width > s.length() ? width - s.length() : 0;
  if (padding > limit) padding = limit;
  int kept = s.length() < limit - padding ? s.length() : limit - padding;
  for (int i = 0; i < padding; ++i) destination.chars[i] = ' ';
  const char* text = s.begin();
  for (int i = 0; i < kept; ++i) destination.chars[padding + i] = text[i];
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
  return roundingHalves[budget];
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
  if (std::isnan(value)) return storeSpecial("NaN", width, destination, capacity);
  const bool negative = std::signbit(value);
  if (std::isinf(value))
    return storeSpecial(negative ? "-Inf" : "Inf", width, destination, capacity);
  c.value = std::fabs(value);

  c.budget = c.row.digitBudget;
  if (decimals > c.budget) decimals = c.budget;
  const bool fixedForm = decimals >= 0;
  if (!fixedForm) {
    if (width >= 0 && width < c.row.minimumWidth) width = c.row.minimumWidth;
    if (width > 0 && width < c.row.totalWidth) c.budget = width - c.row.exponentWidth - 2;
  }

  const bool wroteIntegerDigit = writeIntegerDigits(c);
  if (c.value > c.row.oneBelow) c.value = fracPart(c.value);
  if (fixedForm && c.budget > decimals) c.budget = decimals;
  if (!wroteIntegerDigit && c.value != 0) skipLeadingZeros(c, fixedForm);
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

}  // namespace qv
