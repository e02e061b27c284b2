// Close follow: the eased values against the flying aircraft's exact state at
// the same moment, and the law without the option unchanged.
#include "simlink/close_follow.h"

#include <cmath>
#include <complex>
#include <functional>
#include <random>

#include "simlink_fixture.h"

namespace {

constexpr double kFeetPerDegree = 1852.0 * 60.0 / 0.3048;
constexpr std::int64_t kFrameNs = 16'666'667;  // 60 frames a second
constexpr double kFrame = kFrameNs * 1e-9;
std::int64_t testNowNs = 0;

double Radians(double degrees) { return degrees * M_PI / 180; }

// The flying aircraft: from heading `h0`, turning `w` degrees a second at
// `speed` ft/s gaining `accel`, climbing at `vs` ft/s gaining `vsRate`, the
// nose rising `pitchRate` degrees a second. Near the equator a degree of
// longitude keeps its length, so that the flat sum is exact to a millimetre.
using Values = std::array<double, kEasedValueCount>;

std::size_t Index(SmoothedValue SharedState::*record) {
  std::size_t k = 0;
  while (kEasedValues[k].record != record) ++k;
  return k;
}

struct Flight {
  double h0, w, speed, accel, vs, vsRate, pitchRate, bank;
  Values At(double t) const {
    const std::complex<double> i(0, 1), start = std::polar(1.0, Radians(h0));
    const auto feet =
        w == 0 ? start * (speed * t + accel * t * t / 2)
               : speed / (i * Radians(w)) * (std::polar(1.0, Radians(w) * t) - 1.0) * start;
    Values a{};
    const auto set = [&](SmoothedValue SharedState::*record, double v) { a[Index(record)] = v; };
    set(&SharedState::latitude, 1.0 + feet.real() / kFeetPerDegree);
    set(&SharedState::longitude, 25.0 + feet.imag() / (kFeetPerDegree * std::cos(Radians(1.0))));
    set(&SharedState::heading, std::fmod(h0 + w * t + 360.0, 360.0));
    set(&SharedState::pitch, 2 + pitchRate * t);
    set(&SharedState::bank, bank);
    set(&SharedState::altitude, 3000 + vs * t + vsRate * t * t / 2);
    set(&SharedState::verticalSpeed, vs + vsRate * t);
    set(&SharedState::velocityBodyY, vs + vsRate * t);
    set(&SharedState::accelBodyY, vsRate);
    set(&SharedState::velocityBodyZ, speed + accel * t);
    set(&SharedState::accelBodyZ, accel);
    return a;
  }
};
constexpr Flight kStraight{60, 0, 400, 1.5, 0, 0, 0, 0};
constexpr Flight kTurn{300, 2, 422, 0, 0, 0, 0, 25};  // through north at 30 s
constexpr Flight kClimb{90, 0, 400, 0, 0, 0.8, 0.1, 0};

class CloseFollowTest : public SimlinkTest {
 protected:
  void SetUp() override {
    SimlinkTest::SetUp();
    Store(vars().value[slot::kMpConn], 1.0);
    Restart();
    Store(roleSetup.closeFollow, true);
  }
  // A flying frame (every record holds the local aircraft), then following.
  static void Restart() {
    testNowNs = 1'000'000'000;
    simThread.followTrack = FollowTrack{};
    simThread.followTrack.clock = [] { return testNowNs; };
    Store(roleState.isFollower, 0);
    Own().Deliver();
    Store(roleState.isFollower, 1);
  }
  static AircraftValues Own() {
    return AircraftValues()
        .Set(&AircraftState::planeLatitude, 1.0)
        .Set(&AircraftState::planeLongitude, 25.0);
  }
  // One frame at 60 a second: the record seen then left the flying side half
  // a frame and the loops' waits before, holding its state of a frame before
  // that; unless `late`, when the one before stays.
  static void Frame(const std::function<Values(double)>& flight, int n, bool late = false) {
    const auto received = flight((n - 1.5) * kFrame - kRecordWaitSeconds);
    for (std::size_t k = 0; k < kEasedValueCount && !late; ++k) {
      (simThread.sharedState->*kEasedValues[k].record).target = received[k];
    }
    testNowNs += kFrameNs;
    Own().Deliver();
  }
  // The worst difference of each eased value from the flying aircraft's a
  // frame before now (this frame's simulation moves it on to now) over
  // frames `from` to `to`; position in metres, the angles the short way.
  static Values Fly(const Flight& flight, int from, int to,
                    const std::function<bool(int)>& late = nullptr) {
    Values worst{};
    const auto at = [&](double t) { return flight.At(t); };
    for (int n = 0; n < to; ++n) {
      Frame(at, n, late && late(n));
      const auto exact = flight.At((n - 1) * kFrame);
      for (std::size_t k = 0; n >= from && k < kEasedValueCount; ++k) {
        double d = (simThread.sharedState->*kEasedValues[k].record).current - exact[k];
        if (kEasedValues[k].step == EaseStep::kAngle) d = std::remainder(d, 360.0);
        if (kEasedValues[k].step == EaseStep::kPosition) d *= kFeetPerDegree * 0.3048;  // m
        worst[k] = std::max(worst[k], std::fabs(d));
      }
    }
    return worst;
  }
  static double Worst(const Values& w, SmoothedValue SharedState::*record) {
    return w[Index(record)];
  }
};

TEST_F(CloseFollowTest, StraightTurnClimbAndLateRecordsLandOnTheExactState) {
  for (const Flight& f : {kStraight, kTurn, kClimb}) {
    Restart();
    // Frames 1700 to 2000 take the turn's heading through 0 and 360; from
    // 1500 on, records come up to six frames late again and again.
    const auto w = Fly(f, 1700, 2000, [](int n) { return n > 1500 && n % 10 < 6; });
    EXPECT_LT(Worst(w, &SharedState::latitude), 0.005);
    EXPECT_LT(Worst(w, &SharedState::longitude), 0.005);
    EXPECT_LT(Worst(w, &SharedState::heading), 1e-6);
    EXPECT_LT(Worst(w, &SharedState::pitch), 1e-6);
    EXPECT_LT(Worst(w, &SharedState::bank), 1e-6);
    EXPECT_LT(Worst(w, &SharedState::altitude), 1e-5);
    EXPECT_LT(Worst(w, &SharedState::verticalSpeed), 1e-6);
    EXPECT_LT(Worst(w, &SharedState::velocityBodyZ), 1e-6);
  }
}

TEST_F(CloseFollowTest, ATeleportIsEasedToWithoutOvershoot) {
  Fly(kTurn, 600, 600);
  // At 10 s the flying aircraft is put 20 km north, heading 90 degrees
  // further round, and flies straight on.
  const auto before = kTurn.At(10);
  const Flight after{std::fmod(320.0 + 90, 360.0), 0, 422, 0, 0, 0, 0, 0};
  const std::size_t lat = Index(&SharedState::latitude), lon = Index(&SharedState::longitude);
  const auto jumped = [&](double t) {
    auto a = after.At(t - 10);
    a[lat] += before[lat] - 1.0 + 20000 / 0.3048 / kFeetPerDegree;
    a[lon] += before[lon] - 25.0;
    return a;
  };
  double heading = simThread.sharedState->heading.current;
  double latitude = simThread.sharedState->latitude.current;
  for (int n = 600; n < 1200; ++n) {
    Frame(jumped, n);
    const SharedState& s = *simThread.sharedState;
    EXPECT_GE(std::remainder(after.h0 - s.heading.current, 360.0), -1e-6) << n;  // never past
    EXPECT_GE(std::remainder(s.heading.current - heading, 360.0), -1e-9) << n;   // never back
    EXPECT_GE(s.latitude.current, latitude) << n;
    EXPECT_LE(s.latitude.current, jumped((n - 1) * kFrame)[lat] + 1e-9) << n;
    heading = s.heading.current;
    latitude = s.latitude.current;
  }
}

// The law without the option, as it was written before close follow, over
// random received states: the same values, bit for bit.
TEST_F(CloseFollowTest, WithoutTheOptionTheLawIsUnchangedValueForValue) {
  Store(roleSetup.closeFollow, false);
  std::mt19937 random(30);
  std::uniform_real_distribution<double> spread(-1.0, 1.0);
  SharedState& s = *simThread.sharedState;
  Values current, divisor;
  for (std::size_t k = 0; k < kEasedValueCount; ++k) {
    current[k] = (s.*kEasedValues[k].record).current;
    divisor[k] = (s.*kEasedValues[k].record).divisor;
  }
  for (int frame = 0; frame < 300; ++frame) {
    const std::size_t before = standin::SetDataCalls().size();
    Values target;
    for (std::size_t k = 0; k < kEasedValueCount; ++k) {
      target[k] = kEasedValues[k].step == EaseStep::kAngle ? 180 * (spread(random) + 1)
                                                           : current[k] + 40 * spread(random);
      (s.*kEasedValues[k].record).target = target[k];
    }
    const double own[2] = {1 + spread(random), 25 + spread(random)};
    Own()
        .Set(&AircraftState::planeLatitude, own[0])
        .Set(&AircraftState::planeLongitude, own[1])
        .Deliver();
    std::vector<double> expected;
    for (std::size_t k = 0; k < kEasedValueCount; ++k) {
      const EaseStep step = kEasedValues[k].step;
      if (step == EaseStep::kNone) continue;
      const double turn =
          step == EaseStep::kAngle
              ? std::fmod(std::fmod(target[k] - current[k], 360.0) + 540.0, 360.0) - 180.0
              : target[k] - current[k];
      current[k] += turn / divisor[k];
      if (step == EaseStep::kAngle && current[k] < 0.0) current[k] += 360.0;
      if (step == EaseStep::kAngle && current[k] > 360.0) current[k] -= 360.0;
      const bool latitude = kEasedValues[k].record == &SharedState::latitude;
      expected.push_back(step == EaseStep::kPosition
                             ? (current[k] + 89.0 * own[latitude ? 0 : 1]) / 90.0
                             : current[k]);
      if (step != EaseStep::kLinear) {
        divisor[k] =
            std::clamp(std::fabs(std::min(25.0 / own[0] * 50.0, 25.0 / own[1] * 50.0)), 45.0, 55.0);
      }
    }
    const auto calls = standin::SetDataCalls();
    ASSERT_EQ(calls.size() - before, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(calls[before + i].value, expected[i]) << "frame " << frame << " write " << i;
    }
  }
  EXPECT_FALSE(simThread.followTrack.started);
}

}  // namespace
