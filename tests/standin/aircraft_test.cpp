// The stand-in aircraft's kinematics: targets approached at finite rates, a
// coordinated turn for the bank, position and altitude from the velocities.
#include "aircraft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using standin::Aircraft;

constexpr double kFps = 1.6878099;  // feet per second in a knot

TEST(AircraftTest, StartsInLevelFlightAndFliesStraightEast) {
  Aircraft aircraft;
  EXPECT_EQ(aircraft.Get("PLANE LATITUDE"), 47.0);
  EXPECT_EQ(aircraft.Get("PLANE LONGITUDE"), 8.0);
  EXPECT_EQ(aircraft.Get("PLANE ALTITUDE"), 3000.0);
  EXPECT_EQ(aircraft.Get("PLANE HEADING DEGREES TRUE"), 90.0);
  EXPECT_EQ(aircraft.Get("AIRSPEED INDICATED"), 250.0);
  EXPECT_EQ(aircraft.Get("SIM ON GROUND"), 0.0);
  const double time = aircraft.Get("ABSOLUTE TIME");

  for (int i = 0; i < 60; ++i) aircraft.Advance(1.0);
  // 250 knots for a minute: 250/60 nautical miles east, none north.
  EXPECT_NEAR(aircraft.Get("PLANE LATITUDE"), 47.0, 1e-9);
  const double eastMinutes =
      (aircraft.Get("PLANE LONGITUDE") - 8.0) * 60.0 * std::cos(47.0 * std::numbers::pi / 180.0);
  EXPECT_NEAR(eastMinutes, 250.0 / 60.0, 0.01);
  EXPECT_EQ(aircraft.Get("PLANE ALTITUDE"), 3000.0);
  EXPECT_DOUBLE_EQ(aircraft.Get("ABSOLUTE TIME"), time + 60.0);
}

TEST(AircraftTest, ApproachesTargetsAtFiniteRates) {
  Aircraft aircraft;
  aircraft.Fly(20.0, 4.0, 240.0, 1200.0);
  aircraft.Advance(1.0);
  EXPECT_DOUBLE_EQ(aircraft.Get("PLANE BANK DEGREES"), Aircraft::kBankRateDeg);
  EXPECT_DOUBLE_EQ(aircraft.Get("PLANE PITCH DEGREES"), Aircraft::kPitchRateDeg);
  EXPECT_DOUBLE_EQ(aircraft.Get("AIRSPEED INDICATED"), 250.0 - Aircraft::kSpeedRateKt);
  EXPECT_DOUBLE_EQ(aircraft.Get("VERTICAL SPEED"), 20.0);  // 1200 fpm reached within a second
  EXPECT_DOUBLE_EQ(aircraft.Get("PLANE ALTITUDE"), 3020.0);
  EXPECT_NEAR(aircraft.Get("ACCELERATION BODY Z"), -Aircraft::kSpeedRateKt * kFps, 1e-9);

  for (int i = 0; i < 10; ++i) aircraft.Advance(1.0);
  EXPECT_DOUBLE_EQ(aircraft.Get("PLANE BANK DEGREES"), 20.0);
  EXPECT_DOUBLE_EQ(aircraft.Get("PLANE PITCH DEGREES"), 4.0);
  EXPECT_DOUBLE_EQ(aircraft.Get("AIRSPEED INDICATED"), 240.0);
}

TEST(AircraftTest, TurnsAtTheCoordinatedRateAndWrapsHeading) {
  Aircraft aircraft;
  aircraft.Set("PLANE BANK DEGREES", 30.0);
  aircraft.Fly(30.0, 0.0, 250.0, 0.0);
  const double speed = 250.0 * kFps;
  const double rate = 32.174 * std::tan(30.0 * std::numbers::pi / 180.0) / speed;  // rad/s
  aircraft.Advance(1.0);
  EXPECT_NEAR(aircraft.Get("PLANE HEADING DEGREES TRUE"), 90.0 + rate * 180.0 / std::numbers::pi,
              1e-9);
  EXPECT_NEAR(aircraft.Get("DELTA HEADING RATE"), rate, 1e-12);

  // Left through north: the heading stays within [0, 360).
  Aircraft left;
  left.Set("PLANE HEADING DEGREES TRUE", 1.0);
  left.Set("PLANE BANK DEGREES", -30.0);
  left.Fly(-30.0, 0.0, 250.0, 0.0);
  left.Advance(1.0);
  EXPECT_GT(left.Get("PLANE HEADING DEGREES TRUE"), 357.0);
  EXPECT_LT(left.Get("PLANE HEADING DEGREES TRUE"), 360.0);
}

TEST(AircraftTest, AWrittenValueReplacesTheVariableAndFlightGoesOnFromIt) {
  Aircraft aircraft;
  aircraft.Set("PLANE ALTITUDE", 5000.0);
  aircraft.Set("VERTICAL SPEED", -10.0);
  aircraft.Set("gear handle position", 1.0);
  EXPECT_EQ(aircraft.Get("GEAR HANDLE POSITION"), 1.0);
  aircraft.Advance(0.1);
  // Vertical speed climbs back toward the level-flight target from -10.
  EXPECT_DOUBLE_EQ(aircraft.Get("VERTICAL SPEED"), -10.0 + 2.5);
  EXPECT_DOUBLE_EQ(aircraft.Get("PLANE ALTITUDE"), 5000.0 - 0.75);
  EXPECT_EQ(aircraft.Get("GEAR HANDLE POSITION"), 1.0);
}

TEST(AircraftTest, AWrittenForwardSpeedIsTheSpeedItFliesOnFrom) {
  Aircraft aircraft;
  aircraft.Set("VELOCITY BODY Z", 300.0 * 1.6878099);
  aircraft.Advance(1.0);
  // From 300 kt back toward the 250 kt target at 5 kt a second.
  EXPECT_NEAR(aircraft.Get("AIRSPEED INDICATED"), 295.0, 1e-9);
  EXPECT_NEAR(aircraft.Get("VELOCITY BODY Z"), 295.0 * 1.6878099, 1e-9);
  EXPECT_NEAR(aircraft.Get("PLANE LONGITUDE") - 8.0,
              295.0 * 1.6878099 / (364566.9 * std::cos(47.0 * 3.14159265358979 / 180)), 1e-9);
}

TEST(AircraftTest, DescendsNoFurtherThanTheGround) {
  Aircraft aircraft;
  aircraft.Fly(0.0, -5.0, 140.0, -6000.0);
  for (int i = 0; i < 60; ++i) aircraft.Advance(1.0);
  EXPECT_EQ(aircraft.Get("PLANE ALTITUDE"), 0.0);
  EXPECT_EQ(aircraft.Get("SIM ON GROUND"), 1.0);
}

}  // namespace
