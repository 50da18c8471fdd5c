// How close every iterate of a run comes to phi: the model that the convergence picture (the
// SVG document, the terminal chart) is drawn from. It is fed the doubles the methods store, with
// their step, and keeps a bounded number of columns whatever n is: beyond the picture's
// resolution the steps of a column are reduced to the nearest and the farthest of their
// distances, so that a stray value inside a column still shows.
#pragma once

#include <cstdint>
#include <vector>

namespace qv::picture {

// How many columns a series keeps at most: finer than any picture drawn from it.
inline constexpr int modelColumns = 480;

// Correct decimals of the double nearest phi, the best any double can do (about 16.27): an
// iterate that equals it is "exact to the double" and is drawn at the top.
double exactDecimals();

// -log10 of a distance from phi, at most exactDecimals() and at least 0.
double correctDecimals(double distance);

// |x - phi| computed in the extended format against phi to the full 64-bit significand; never
// 0, since phi so rounded is no double.
double distanceFromPhi(double x);

// The steps of one column and the extremes of their distances from phi.
struct Column {
  std::int32_t firstStep = 0;
  std::int32_t lastStep = 0;
  double nearest = 0;   // the smallest distance in the column
  double farthest = 0;  // the largest
};

class ConvergenceSeries {
 public:
  // method: 'a', 'b' or 'c'. Steps run up to lastStep (n); past modelColumns of them the
  // columns are spaced logarithmically (see logarithmicSteps).
  ConvergenceSeries(char method, std::int32_t lastStep);

  // The next iterate, with its step; steps arrive in increasing order.
  void add(std::int32_t step, double x);

  char method() const { return method_; }
  std::int32_t lastStep() const { return lastStep_; }
  // A step axis that is logarithmic keeps the approach visible when n is far beyond where the
  // methods converge (a few dozen steps).
  bool logarithmicSteps() const { return logarithmic_; }
  const std::vector<Column>& columns() const { return columns_; }

  // Iterates seen, and the last of them (with its step).
  std::int64_t count() const { return count_; }
  double lastValue() const { return lastValue_; }
  std::int32_t lastValueStep() const { return lastValueStep_; }

  // Correct decimals gained per step over the converging stretch: a least-squares slope over
  // the steps before the series first becomes exact to the double (or wraps), left out the
  // last two decimals, where the double's rounding flattens the approach. NaN with fewer than
  // two such steps.
  double rate() const;
  // The first step whose iterate is the double nearest phi; 0 when none is.
  std::int32_t exactStep() const { return exactStep_; }
  // Method c: the first step whose ratio is no longer a ratio of true Fibonacci numbers (those
  // lie between 1 and 2), because the 32-bit elements wrapped; 0 when none.
  std::int32_t wrapStep() const { return wrapStep_; }

 private:
  // Where a step lies on the step axis, from 0 at step 1 to 1 past lastStep.
  double position(double step) const;
  void startColumn(std::int32_t step);

  char method_;
  std::int32_t lastStep_;
  bool logarithmic_;
  std::vector<Column> columns_;
  std::int64_t nextColumnStep_ = 0;  // the first step of the next column

  std::int64_t count_ = 0;
  double lastValue_ = 0;
  double lastDistance_ = 0;
  std::int32_t lastValueStep_ = 0;
  std::int32_t exactStep_ = 0;
  std::int32_t wrapStep_ = 0;
  // Sums of the least-squares fit of the converging stretch.
  double fitCount_ = 0, fitSteps_ = 0, fitDecimals_ = 0, fitSteps2_ = 0, fitProducts_ = 0;
};

}  // namespace qv::picture
