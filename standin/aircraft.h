// A simple kinematic aircraft: enough flight for the module to have a moving
// state to share, not a flight model.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace standin {

class Aircraft {
 public:
  // Level flight at 3000 ft, heading 090, 250 knots, near 47 N 8 E.
  Aircraft();

  // Simulation variables by name; names compare without regard to case, as
  // SimConnect's do. An unknown name reads 0.0; a write makes it known.
  double Get(std::string_view simVar) const;
  void Set(std::string_view simVar, double value);

  // New targets: bank and pitch in degrees, indicated airspeed in knots,
  // vertical speed in feet per minute.
  void Fly(double bankDeg, double pitchDeg, double speedKt, double verticalSpeedFpm);

  // Moves attitude, speed and vertical speed toward the targets at finite
  // rates, turns at the coordinated rate for the bank, and moves the position.
  void Advance(double dtSeconds);

  // How fast the aircraft approaches its targets, per second.
  static constexpr double kBankRateDeg = 5.0;
  static constexpr double kPitchRateDeg = 2.0;
  static constexpr double kSpeedRateKt = 5.0;
  static constexpr double kVerticalSpeedRateFps = 25.0;

 private:
  double& Var(std::string_view simVar);

  std::map<std::string, double> vars_;  // upper-case name -> value
  double targetBank_ = 0.0;
  double targetPitch_ = 0.0;
  double targetSpeedKt_ = 250.0;
  double targetVerticalSpeedFps_ = 0.0;
};

}  // namespace standin
