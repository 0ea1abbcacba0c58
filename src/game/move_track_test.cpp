#include "game/move_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include "support/math_test_support.h"

namespace {

// Written apart from the client, from the description of the behaviour: a buffer of stamped
// samples and a playback clock that trails the newest stamp.
const char* const MODEL = R"PY(
import sys, math

def wrap(a):
    a = math.fmod(a, 360.0)
    if a > 180: a -= 360
    if a < -180: a += 360
    return a

def turn(a, b):
    d = b - a
    if d > 180: d -= 360
    if d < -180: d += 360
    return d

class Track:
    def __init__(self):
        self.buf = []          # [x, y, z, h, state, dir, stamp]
        self.play = 0.0
        self.quiet = 0.0
        self.window = []
        self.avg = 0.1
        self.jit = 0.0
        self.counts = False
        self.last = 0.0
        self.clock = 0.0
        self.state = 1
        self.dir = 0

    def sample(self, here, s, extra):
        if extra:
            stamp = self.clock + min(max(self.quiet, 0.0), self.avg)
        else:
            if self.counts:
                self.window = (self.window + [self.quiet])[-8:]
                m = sum(self.window) / len(self.window)
                m = min(max(m, 0.05), 0.5)
                self.avg = m
                hi = max(self.window)
                self.jit = hi - m if hi > 2 * m else 0.0
            self.quiet = 0.0
            self.counts = s[5] != 0 or (s[4] & 48) != 0
            stamp = self.clock + self.avg
            self.clock = stamp
        if self.buf and math.dist(s[:3], self.buf[-1][:3]) > 2:
            self.buf = []
        if self.buf and stamp <= self.last:
            stamp = self.last + 0.05
            if not extra:
                self.clock = stamp
        self.last = stamp
        if not self.buf and math.dist(here[:3], s[:3]) <= 2:
            self.buf.append(list(here[:4]) + [self.state, self.dir, stamp - self.avg])
        self.buf = (self.buf + [list(s[:6]) + [stamp]])[-16:]
        if len(self.buf) <= 2 and self.buf[0][6] == stamp - self.avg:
            self.play = stamp - 1.5 * self.avg

    def frame(self, here, dt):
        self.quiet += dt
        if not self.buf:
            return here
        f = self.last - self.play - self.jit - 1.5 * self.avg
        f = math.copysign(max(abs(f) - 0.5 * self.avg, 0.0), f)
        k = min(max(1 + f / self.avg * 0.25, 0.75), 1.25)
        self.play = min(self.play + dt * k, self.last - self.jit)
        later = [i for i, s in enumerate(self.buf) if s[6] >= self.play]
        if not later or later[0] == 0:
            s = self.buf[0] if later else self.buf[-1]
            shown = s[:4]
            self.state, self.dir = s[4], s[5]
        else:
            a, b = self.buf[later[0] - 1], self.buf[later[0]]
            span = b[6] - a[6]
            u = min(max((self.play - a[6]) / span, 0.0), 1.0) if span > 0 else 1.0
            shown = [a[i] + (b[i] - a[i]) * u for i in range(3)] + [wrap(a[3] + turn(a[3], b[3]) * u)]
            self.state, self.dir = a[4], a[5]
        if self.quiet > 0.5:
            self.state, self.dir = 1, 0
        return shown

t = Track()
here = [0.0, 0.0, 0.0, 0.0]
for line in sys.stdin:
    w = line.split()
    if w[0] == 'I':
        here = [float(v) for v in w[1:5]]
    elif w[0] == 'S':
        t.sample(here, [float(w[2]), float(w[3]), float(w[4]), float(w[5]), int(w[6]), int(w[7])], w[1] == '1')
    else:
        here = t.frame(here, float(w[1]))
        print('%.6f %.6f %.6f %.6f %d' % (here[0], here[1], here[2], here[3], t.state))
)PY";

struct Runner {
  MoveTrack track;
  Vec3 position = {0, 0, 0};
  float heading = 0;
  std::ostringstream input, output;
  Runner() {
    move_track_reset(&track);
    input.precision(17);  // the model reads exactly the values the track saw
    output.precision(9);
  }
  void start(Vec3 p, float h) {
    position = p, heading = h;
    input << "I " << p.x << ' ' << p.y << ' ' << p.z << ' ' << h << '\n';
  }
  void sample(Vec3 p, float h, uint8_t state, uint8_t direction, int32_t mode = MOVE_MODE_REGULAR) {
    MoveSample s = {p, h, state, direction, 0};
    move_track_sample(&track, position, heading, &s, mode);
    input << "S " << mode << ' ' << p.x << ' ' << p.y << ' ' << p.z << ' ' << h << ' ' << int(state) << ' '
          << int(direction) << '\n';
  }
  uint8_t frame(float dt) {
    const uint8_t state = move_track_playback(&track, dt, &position, &heading, nullptr);
    input << "F " << dt << '\n';
    output << position.x << ' ' << position.y << ' ' << position.z << ' ' << heading << ' ' << int(state)
           << '\n';
    return state;
  }
};

// Compares every frame of a run with the model's, within 1e-3 (headings on the circle).
void expect_model_agrees(const Runner& run) {
  std::string want;
  REQUIRE_REFERENCE_PYTHON(MODEL, run.input.str(), &want);
  std::istringstream a(run.output.str()), b(want);
  int frame = 0;
  double x[5], y[5];
  while (a >> x[0] >> x[1] >> x[2] >> x[3] >> x[4]) {
    ASSERT_TRUE(b >> y[0] >> y[1] >> y[2] >> y[3] >> y[4]) << "model stopped at frame " << frame;
    for (int i = 0; i < 3; i++) ASSERT_NEAR(x[i], y[i], 1e-3) << "frame " << frame << " axis " << i;
    ASSERT_NEAR(std::remainder(x[3] - y[3], 360.0), 0.0, 1e-3) << "frame " << frame;
    ASSERT_EQ(x[4], y[4]) << "frame " << frame;
    frame++;
  }
  EXPECT_GT(frame, 0);
}

// A walk east at 5 units a second, one sample per `interval`, frames of 1/60 s.
void walk(Runner* run, double seconds, double (*interval)(int n, std::mt19937* rng), std::mt19937* rng) {
  double next = 0, t = 0;
  int n = 0;
  const double dt = 1.0 / 60;
  while (t < seconds) {
    while (next <= t) {
      run->sample({(float)(next * 5), 0, 0}, 90, MOTION_RUNNING, 1);
      next += interval(n++, rng);
    }
    run->frame((float)dt);
    t += dt;
  }
}

TEST(MoveTrack, RegularSamplesSettleBehindTheNewestWithTheFactorBackAtOne) {
  Runner run;
  std::mt19937 rng(1);
  (void)rng;
  // Samples every 0.1 s (six frames of 1/60 s) for four seconds; the last second is watched.
  double lag = 0, played_from = 0;
  int watched = 0;
  for (int f = 0; f < 240; f++) {
    if (f % 6 == 0) run.sample({f / 60.0f * 5, 0, 0}, 90, MOTION_RUNNING, 1);
    run.frame(1.0f / 60);
    if (f == 179) played_from = run.track.playback_time;
    if (f >= 180) lag += run.track.last_stamp - run.track.playback_time, watched++;
  }
  EXPECT_NEAR(run.track.average, 0.1, 1e-4);
  EXPECT_EQ(run.track.jitter, 0.0);
  // Within half an average of the 1.5 averages the playback aims at (its dead zone).
  EXPECT_NEAR(lag / watched, 0.15, 0.05);
  EXPECT_NEAR(run.track.playback_time - played_from, 60 / 60.0, 0.02);  // at real speed
  expect_model_agrees(run);
}

TEST(MoveTrack, OneLongGapAddsJitterAndAlternatingIntervalsDoNot) {
  struct Case {
    const char* what;
    double (*interval)(int n, std::mt19937* rng);
    bool jitter;
  };
  const Case cases[] = {
      {"one 0.5 s gap", [](int n, std::mt19937*) { return n == 12 ? 0.5 : 0.1; }, true},
      {"alternating 0.05 / 0.15 s", [](int n, std::mt19937*) { return n % 2 ? 0.05 : 0.15; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Runner run;
    std::mt19937 rng(2);
    walk(&run, 2.5, c.interval, &rng);
    EXPECT_EQ(run.track.jitter > 0, c.jitter);
    expect_model_agrees(run);
  }
}

TEST(MoveTrack, AJumpOfMoreThanTwoUnitsEmptiesTheBufferButNearbyEntitiesGlide) {
  struct Case {
    const char* what;
    Vec3 start;
    int32_t buffered_after;  // the new sample alone, or behind the entity's own position
  };
  const Case cases[] = {{"far entity jumps", {0, 0, 0}, 1}, {"near entity glides", {9, 0, 0}, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Runner run;
    run.start({0, 0, 0}, 0);
    run.sample({0, 0, 0}, 0, MOTION_RUNNING, 1);
    for (int i = 0; i < 30; i++) run.frame(1.0f / 60);
    run.position = c.start;
    run.input << "I " << c.start.x << " 0 0 0\n";
    run.sample({10.5f, 0, 0}, 0, MOTION_RUNNING, 1);  // 10.5 from the newest sample
    EXPECT_EQ(run.track.count, c.buffered_after);
    run.frame(1.0f / 60);
    if (c.buffered_after == 2) {
      EXPECT_LT(run.position.x, 10.5f);  // on its way, not there
    }
    for (int i = 0; i < 120; i++) run.frame(1.0f / 60);
    EXPECT_NEAR(run.position.x, 10.5f, 1e-4);
    expect_model_agrees(run);
  }
}

TEST(MoveTrack, HalfASecondOfSilenceShowsStandingAtTheNewestSample) {
  Runner run;
  std::mt19937 rng(3);
  walk(
      &run, 1.0, [](int, std::mt19937*) { return 0.1; }, &rng);
  EXPECT_EQ(run.frame(1.0f / 60), MOTION_RUNNING);
  uint8_t state = 0;
  for (int i = 0; i < 40; i++) state = run.frame(1.0f / 60);
  EXPECT_EQ(state, MOTION_STANDING);
  EXPECT_EQ(run.track.direction, 0);
  EXPECT_NEAR(run.position.x, run.track.samples[run.track.count - 1].position.x, 1e-5);
  expect_model_agrees(run);
}

TEST(MoveTrack, HeadingTurnsTheShortWayThroughOneEighty) {
  Runner run;
  run.start({0, 0, 0}, 170);
  run.sample({0, 0, 0}, 170, MOTION_TURNING, 32);
  run.frame(1.0f / 60);
  run.sample({0, 0, 0}, -170, MOTION_TURNING, 32);
  float narrowest = 180, positive = 0, negative = 0;
  for (int i = 0; i < 30; i++) {
    run.frame(1.0f / 60);
    narrowest = std::min(narrowest, std::fabs(run.heading));
    (run.heading > 0 ? positive : negative) += 1;
  }
  EXPECT_GE(narrowest, 170.0f - 1e-3f);  // never swept through 0
  EXPECT_GT(positive * negative, 0);     // crossed 180
  EXPECT_NEAR(run.heading, -170.0f, 1e-3);
  expect_model_agrees(run);
}

// Random streams with gaps, jumps and extra samples. The playback restart compares the first
// stamp with the new stamp less the average exactly, so the average and jitter must keep their
// full precision: a float average rounded the stamps differently and restarted (or not) at
// random.
TEST(MoveTrack, RandomStreamsAgreeWithTheModel) {
  for (uint32_t seed = 10; seed < 16; seed++) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> unit(0, 1);
    Runner run;
    run.start({0, 0, 0}, 0);
    Vec3 p = {0, 0, 0};
    float h = 0;
    double next = 0, t = 0;
    for (int f = 0; f < 600; f++) {
      const float dt = 0.008f + 0.02f * unit(rng);
      while (next <= t) {
        p.x += (unit(rng) - 0.5f) * (unit(rng) < 0.05f ? 8.0f : 1.0f);
        p.z += (unit(rng) - 0.5f);
        h = std::remainder(h + (unit(rng) - 0.5f) * 120, 360.0f);
        const uint8_t states[] = {MOTION_STANDING, MOTION_RUNNING, MOTION_JUMPING, MOTION_FALLING,
                                  MOTION_IN_WATER};
        const uint8_t state = states[rng() % 5];
        run.sample(p, h, state, state == MOTION_STANDING ? 0 : (uint8_t)(rng() % 3), unit(rng) < 0.2f);
        next += unit(rng) < 0.1f ? 0.6 * unit(rng) : 0.06 + 0.08 * unit(rng);
      }
      run.frame(dt);
      t += dt;
    }
    expect_model_agrees(run);
    for (const MoveSample& s : run.track.samples) ASSERT_TRUE(std::isfinite(s.stamp));
  }
}

}  // namespace
