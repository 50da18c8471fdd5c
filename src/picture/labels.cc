#include "picture/labels.h"

#include <charconv>
#include <cmath>

#include "arithmetic/extended.h"
#include "arithmetic/format_real.h"

namespace qv::picture {

std::string integer(std::int64_t value) {
  char digits[24];
  return {digits, std::to_chars(digits, digits + sizeof digits, value).ptr};
}

std::string fixed(double value, int decimals) {
  std::int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const std::int64_t scaled = std::llround(value * double(scale));
  const std::int64_t magnitude = scaled < 0 ? -scaled : scaled;
  std::string text = (scaled < 0 ? "-" : "") + integer(magnitude / scale);
  if (decimals > 0) {
    std::string fraction = integer(magnitude % scale);
    text += "." + std::string(decimals - fraction.size(), '0') + fraction;
  }
  return text;
}

std::string legendDetail(const ConvergenceSeries& series, bool brief) {
  std::string text;
  const double rate = series.rate();
  if (!std::isnan(rate)) text = fixed(rate, 2) + " correct decimals a step";
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (series.exactStep() != 0) {
    add((brief ? "exact from step " : "exact to the double from step ") +
        integer(series.exactStep()));
  }
  if (series.wrapStep() != 0) add("wraps at step " + integer(series.wrapStep()));
  return text;
}

std::string summaryLine(const DrawnSeries& drawn) {
  const ConvergenceSeries& series = *drawn.series;
  std::string text = std::string(1, series.method()) + " (" + std::string(drawn.name) + "): ";
  if (series.count() == 0) return text + "no step.";
  String255 value;
  formatReal(0, 15, Extended{series.lastValue()}, doubleTypeCode, value, String255::capacity);
  text += std::string(value.view()) + " after " + integer(series.count()) +
          (series.count() == 1 ? " step" : " steps");
  const std::string detail = legendDetail(series, false);
  return text + (detail.empty() ? "" : ", " + detail) + ".";
}

}  // namespace qv::picture
