// Easing steps and the position divisor.
#include "simlink/easing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// SmoothedValue holds an atomic, so records are primed in place.
struct Record : SmoothedValue {
  Record(double c, double t, double d) {
    current = c;
    target = t;
    divisor = d;
  }
};

TEST(SmoothAngleStep, TurnsTheShortWayAcrossTheSeam) {
  Record heading(350.0, 10.0, 50.0);
  EXPECT_NEAR(SmoothAngleStep(heading).current, 350.4, 1e-12);
  Record back(10.0, 350.0, 50.0);
  EXPECT_NEAR(SmoothAngleStep(back).current, 9.6, 1e-12);
  Record plain(90.0, 180.0, 10.0);
  EXPECT_NEAR(SmoothAngleStep(plain).current, 99.0, 1e-12);
}

TEST(SmoothAngleStep, ExactlyOppositeTurnsNegative) {
  // The shortest turn runs from -180 up to but not including +180.
  Record heading(100.0, 280.0, 10.0);
  EXPECT_NEAR(SmoothAngleStep(heading).current, 82.0, 1e-12);
}

TEST(SmoothAngleStep, WrapsBelowZeroAndAboveThreeSixty) {
  Record below(1.0, 340.0, 2.0);  // turn -21, half of it passes 0
  EXPECT_NEAR(SmoothAngleStep(below).current, 350.5, 1e-12);
  Record above(359.0, 20.0, 2.0);  // turn +21
  EXPECT_NEAR(SmoothAngleStep(above).current, 9.5, 1e-12);
  Record onSeam(0.0, 0.0, 50.0);
  EXPECT_EQ(SmoothAngleStep(onSeam).current, 0.0);
}

TEST(PositionDivisor, SmallerQuotientThenClampedMagnitude) {
  EXPECT_DOUBLE_EQ(PositionDivisor(25.0, 100.0), 45.0);   // 50 and 12.5: 12.5 clamps up
  EXPECT_DOUBLE_EQ(PositionDivisor(-10.0, 100.0), 55.0);  // -125 is smaller, |-125| clamps down
  EXPECT_DOUBLE_EQ(PositionDivisor(25.0, 25.0), 50.0);
  EXPECT_DOUBLE_EQ(PositionDivisor(26.0, 27.0), 1250.0 / 27.0);
  EXPECT_DOUBLE_EQ(PositionDivisor(-25.0, 27.0), 50.0);
}

TEST(PositionDivisor, ZeroLatitudeOrLongitude) {
  EXPECT_DOUBLE_EQ(PositionDivisor(0.0, 100.0), 45.0);  // +infinity is not the smaller
  EXPECT_DOUBLE_EQ(PositionDivisor(0.0, 0.0), 55.0);
  EXPECT_DOUBLE_EQ(PositionDivisor(-0.0, 100.0), 55.0);  // -infinity is, its magnitude clamps
}

TEST(PositionDivisor, NotANumberBecomesTheUpperBound) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(PositionDivisor(nan, 100.0), 55.0);
  EXPECT_EQ(PositionDivisor(25.0, nan), 55.0);
  EXPECT_EQ(PositionDivisor(nan, nan), 55.0);
  EXPECT_EQ(PositionDivisor(std::numeric_limits<double>::infinity(), 100.0), 45.0);
}

}  // namespace
