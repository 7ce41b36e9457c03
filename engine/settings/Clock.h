// The time of day, injected wherever a wait or an estimate uses it, so tests
// never sleep.
#pragma once

namespace tessil {

// The time of day in seconds since midnight.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double SecondsSinceMidnight() = 0;
};

// The local wall clock.
class SystemClock final : public Clock {
 public:
  double SecondsSinceMidnight() override;
};

}  // namespace tessil
