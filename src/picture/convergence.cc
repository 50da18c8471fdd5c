#include "picture/convergence.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "arithmetic/extended.h"

namespace qv::picture {

namespace {

// phi rounded once to the extended format's 64-bit significand.
const Extended phi = Extended::decimal("1.6180339887498948482045868343656381177203091798058");

// The double nearest phi.
constexpr double phiDouble = 1.6180339887498949025257388711906969547271728515625;

// Up to this many steps every step is a column of its own and the axis is linear.
constexpr std::int32_t linearStepsUpTo = 120;

// The fit leaves out the last two decimals before the double's limit.
constexpr double fitCeiling = 14.0;

}  // namespace

double distanceFromPhi(double x) {
  return static_cast<double>(abs(Extended{x} - phi));
}

double exactDecimals() {
  static const double decimals = -std::log10(distanceFromPhi(phiDouble));
  return decimals;
}

double correctDecimals(double distance) {
  const double decimals = -std::log10(distance);
  return std::clamp(decimals, 0.0, exactDecimals());
}

ConvergenceSeries::ConvergenceSeries(char method, std::int32_t lastStep)
    : method_(method),
      lastStep_(std::max<std::int32_t>(lastStep, 1)),
      logarithmic_(lastStep_ > linearStepsUpTo) {
  columns_.reserve(modelColumns + 1);
}

double ConvergenceSeries::position(double step) const {
  if (logarithmic_) return std::log(step) / std::log(double(lastStep_) + 1);
  return (step - 1) / double(lastStep_);
}

void ConvergenceSeries::startColumn(std::int32_t step) {
  columns_.push_back({step, step, std::numeric_limits<double>::infinity(), 0});
  nextColumnStep_ = std::int64_t{step} + 1;
  if (!logarithmic_) return;
  // The first step past this one's column on the axis.
  const double k = std::floor(position(step) * modelColumns);
  const double next = std::ceil(std::exp((k + 1) / modelColumns * std::log(lastStep_ + 1.0)));
  if (next > step && next <= 4294967296.0) nextColumnStep_ = std::int64_t(next);
}

void ConvergenceSeries::add(std::int32_t step, double x) {
  if (columns_.empty() || step >= nextColumnStep_) startColumn(step);
  // Once a method settles it repeats its iterate for the rest of the run: the distance is the
  // last one's, without the extended arithmetic again.
  const double distance = count_ > 0 && x == lastValue_ ? lastDistance_ : distanceFromPhi(x);
  lastDistance_ = distance;
  Column& column = columns_.back();
  column.lastStep = step;
  column.nearest = std::min(column.nearest, distance);
  column.farthest = std::max(column.farthest, distance);
  ++count_;
  lastValue_ = x;
  lastValueStep_ = step;

  if (wrapStep_ != 0) return;
  if (method_ == 'c' && (x < 1 || x > 2)) {
    wrapStep_ = step;
    return;
  }
  if (exactStep_ != 0) return;  // past the converging stretch
  if (x == phiDouble) {
    exactStep_ = step;
    return;
  }
  const double decimals = correctDecimals(distance);
  if (decimals > fitCeiling) return;
  fitCount_ += 1;
  fitSteps_ += step;
  fitDecimals_ += decimals;
  fitSteps2_ += double(step) * step;
  fitProducts_ += double(step) * decimals;
}

double ConvergenceSeries::rate() const {
  const double spread = fitCount_ * fitSteps2_ - fitSteps_ * fitSteps_;
  if (fitCount_ < 2 || spread <= 0) return std::numeric_limits<double>::quiet_NaN();
  return (fitCount_ * fitProducts_ - fitSteps_ * fitDecimals_) / spread;
}

}  // namespace qv::picture
