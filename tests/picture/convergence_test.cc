// The model's distances from phi and its correct decimals, against distances worked out to 60
// digits: the approach, the doubles either side of phi, and a ratio of c past its wrap. (What
// the model reads from a run, where each method becomes exact, where c wraps and the rates, the
// pictures show in the end-to-end tests.)
#include "picture/convergence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace qv {
namespace {

TEST(Convergence, DistancesAndCorrectDecimals) {
  struct Case {
    double x, distance, decimals;
  };
  const Case cases[] = {
      {2.0, 3.8196601125010515180e-1, 0.417975},
      {0x1.aaaaaaaaaaaabp+0, 4.8632677916771892477e-2, 1.313072},  // 5/3
      {0x1.9e3779b97f4a7p+0, 1.6772345288820624925e-16, 15.775406},
      {0x1.9e3779b97f4a8p+0, 5.4321152036825058837e-17, 16.265031},  // the nearest: exact
      {-1.0, 2.6180339887498948482e+0, 0.0},
  };
  for (const Case& c : cases) {
    // phi to 64 bits is off by at most 2^-64.
    EXPECT_NEAR(picture::distanceFromPhi(c.x), c.distance, 6e-20 + c.distance * 1e-15) << c.x;
    EXPECT_NEAR(picture::correctDecimals(picture::distanceFromPhi(c.x)), c.decimals, 1e-3) << c.x;
  }
  EXPECT_NEAR(picture::exactDecimals(), 16.265031, 1e-3);
}

}  // namespace
}  // namespace qv
