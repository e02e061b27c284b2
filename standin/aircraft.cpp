#include "aircraft.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "common/shared_state.h"

namespace standin {

namespace {

constexpr double kGravityFps2 = 32.174;
constexpr double kFeetPerSecondPerKnot = 1.6878099;
constexpr double kFeetPerDegreeLatitude = 364566.9;  // 60 nautical miles
constexpr double kKnotsPerMach = 661.47;

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }
double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

// One step of at most maxStep from value toward target.
double Approach(double value, double target, double maxStep) {
  if (std::isnan(value)) return target;
  return value + std::clamp(target - value, -maxStep, maxStep);
}

double WrapDegrees(double degrees) {
  const double wrapped = std::fmod(degrees, 360.0);
  return wrapped < 0.0 ? wrapped + 360.0 : wrapped;
}

}  // namespace

Aircraft::Aircraft() {
  for (const auto& field : kAircraftStateFields) vars_[UpperCase(field.simVar)] = 0.0;
  Set("TOTAL WEIGHT", 140000.0);
  Set("PLANE ALTITUDE", 3000.0);
  Set("PLANE LATITUDE", 47.0);
  Set("PLANE LONGITUDE", 8.0);
  Set("PLANE HEADING DEGREES TRUE", 90.0);
  Set("GPS GROUND MAGNETIC TRACK", Radians(90.0));
  Set("AIRSPEED INDICATED", targetSpeedKt_);
  Set("AIRSPEED TRUE", targetSpeedKt_);
  Set("GROUND VELOCITY", targetSpeedKt_);
  Set("AIRSPEED MACH", targetSpeedKt_ / kKnotsPerMach);
  Set("VELOCITY BODY Z", targetSpeedKt_ * kFeetPerSecondPerKnot);
  Set("G FORCE", 1.0);
  Set("ABSOLUTE TIME", 63'800'000'000.0);
  Set("SIM ON GROUND", 0.0);
  Set("GEAR HANDLE POSITION", 0.0);
  Set("COM ACTIVE FREQUENCY:1", 118.1);
  Set("COM STANDBY FREQUENCY:1", 121.5);
  Set("COM ACTIVE FREQUENCY:2", 122.8);
  Set("COM STANDBY FREQUENCY:2", 121.5);
}

double Aircraft::Get(std::string_view simVar) const {
  const auto it = vars_.find(UpperCase(simVar));
  return it == vars_.end() ? 0.0 : it->second;
}

void Aircraft::Set(std::string_view simVar, double value) { vars_[UpperCase(simVar)] = value; }

double& Aircraft::Var(std::string_view simVar) { return vars_[UpperCase(simVar)]; }

void Aircraft::Fly(double bankDeg, double pitchDeg, double speedKt, double verticalSpeedFpm) {
  targetBank_ = bankDeg;
  targetPitch_ = pitchDeg;
  targetSpeedKt_ = speedKt;
  targetVerticalSpeedFps_ = verticalSpeedFpm / 60.0;
}

void Aircraft::Advance(double dt) {
  if (!(dt > 0.0)) return;
  double& bank = Var("PLANE BANK DEGREES");
  double& pitch = Var("PLANE PITCH DEGREES");
  double& speedKt = Var("AIRSPEED INDICATED");
  double& verticalSpeed = Var("VERTICAL SPEED");
  double& heading = Var("PLANE HEADING DEGREES TRUE");
  double& latitude = Var("PLANE LATITUDE");
  double& longitude = Var("PLANE LONGITUDE");
  double& altitude = Var("PLANE ALTITUDE");

  // A written forward speed (a following module sets it) is the speed the
  // flight goes on from; this aircraft's speeds are all one.
  const double writtenSpeedFps = Var("VELOCITY BODY Z");
  if (writtenSpeedFps != speedKt * kFeetPerSecondPerKnot) {
    speedKt = writtenSpeedFps / kFeetPerSecondPerKnot;
  }
  const double oldBank = bank;
  const double oldPitch = pitch;
  const double oldSpeedFps = speedKt * kFeetPerSecondPerKnot;
  const double oldVerticalSpeed = verticalSpeed;
  bank = Approach(bank, targetBank_, kBankRateDeg * dt);
  pitch = Approach(pitch, targetPitch_, kPitchRateDeg * dt);
  speedKt = Approach(speedKt, targetSpeedKt_, kSpeedRateKt * dt);
  verticalSpeed = Approach(verticalSpeed, targetVerticalSpeedFps_, kVerticalSpeedRateFps * dt);

  // Coordinated turn: rate = g tan(bank) / V; no turn while (nearly) stopped.
  const double speedFps = speedKt * kFeetPerSecondPerKnot;
  const double turnRate = speedFps > 1.0 ? kGravityFps2 * std::tan(Radians(bank)) / speedFps : 0.0;
  heading = WrapDegrees(heading + Degrees(turnRate) * dt);

  const double track = Radians(heading);
  const double north = speedFps * std::cos(track) * dt;
  const double east = speedFps * std::sin(track) * dt;
  latitude += north / kFeetPerDegreeLatitude;
  const double cosLatitude = std::max(std::cos(Radians(latitude)), 1e-6);
  longitude += east / (kFeetPerDegreeLatitude * cosLatitude);
  altitude = std::max(0.0, altitude + verticalSpeed * dt);

  Set("SIM ON GROUND", altitude <= 0.0 ? 1.0 : 0.0);
  Set("AIRSPEED TRUE", speedKt);
  Set("GROUND VELOCITY", speedKt);
  Set("AIRSPEED MACH", speedKt / kKnotsPerMach);
  Set("VELOCITY BODY Z", speedFps);
  Set("VELOCITY BODY X", 0.0);
  Set("VELOCITY BODY Y", verticalSpeed);
  Set("VELOCITY WORLD Z", speedFps * std::cos(track));
  Set("ACCELERATION BODY Z", (speedFps - oldSpeedFps) / dt);
  Set("ACCELERATION BODY X", 0.0);
  Set("ACCELERATION BODY Y", (verticalSpeed - oldVerticalSpeed) / dt);
  Set("ROTATION VELOCITY BODY X", (pitch - oldPitch) / dt);
  Set("ROTATION VELOCITY BODY Y", Degrees(turnRate));
  Set("ROTATION VELOCITY BODY Z", (bank - oldBank) / dt);
  Set("DELTA HEADING RATE", turnRate);
  Set("GPS GROUND MAGNETIC TRACK", track);
  Set("G FORCE", 1.0 / std::max(std::cos(Radians(bank)), 0.1));
  Var("ABSOLUTE TIME") += dt;
}

}  // namespace standin
