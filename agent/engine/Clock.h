#pragma once
// Time and chance, injected so the engine runs the same under a test's hand as
// on the desktop.

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <random>

class QTimer;
class QElapsedTimer;

namespace agent::engine {

inline constexpr std::int64_t Never = std::numeric_limits<std::int64_t>::max();

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale.
    virtual std::int64_t now() const = 0;
    // Calls due once at or after `when`; a later call replaces the earlier one,
    // and Never cancels it.
    virtual void wakeAt(std::int64_t when, std::function<void()> due) = 0;
};

// The desktop's clock: a monotonic timer and one single-shot Qt timer.
class QtClock final : public Clock {
  public:
    QtClock();
    ~QtClock() override;
    std::int64_t now() const override;
    void wakeAt(std::int64_t when, std::function<void()> due) override;

  private:
    std::unique_ptr<QElapsedTimer> elapsed_;
    std::unique_ptr<QTimer> timer_;
    std::function<void()> due_;
};

// A clock that moves only when told to (tests, scripted runs).
class ManualClock final : public Clock {
  public:
    std::int64_t now() const override { return now_; }
    void wakeAt(std::int64_t when, std::function<void()> due) override;
    // Moves time forward to `until`, firing every wake-up due on the way.
    void advanceTo(std::int64_t until);
    void advanceBy(std::int64_t ms) { advanceTo(now_ + ms); }
    std::int64_t nextWake() const { return when_; }

  private:
    std::int64_t now_ = 0;
    std::int64_t when_ = Never;
    std::function<void()> due_;
};

class Random {
  public:
    virtual ~Random() = default;
    virtual double next() = 0; // uniform in [0, 1)
    // Uniform integer in [0, n), n > 0.
    int below(int n);
};

class SeededRandom final : public Random {
  public:
    explicit SeededRandom(std::uint64_t seed) : engine_(seed) {}
    double next() override { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); }

  private:
    std::mt19937_64 engine_;
};

} // namespace agent::engine
