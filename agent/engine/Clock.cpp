#include "Clock.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace agent::engine {

QtClock::QtClock()
    : elapsed_(std::make_unique<QElapsedTimer>()), timer_(std::make_unique<QTimer>()) {
    elapsed_->start();
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        auto due = std::move(due_);
        due_ = nullptr;
        if (due)
            due();
    });
}

QtClock::~QtClock() = default;

std::int64_t QtClock::now() const {
    return elapsed_->elapsed();
}

void QtClock::wakeAt(std::int64_t when, std::function<void()> due) {
    timer_->stop();
    due_ = nullptr;
    if (when == Never)
        return;
    due_ = std::move(due);
    timer_->start(static_cast<int>(std::clamp<std::int64_t>(when - now(), 0, 1 << 30)));
}

void ManualClock::wakeAt(std::int64_t when, std::function<void()> due) {
    when_ = when;
    due_ = when == Never ? nullptr : std::move(due);
}

void ManualClock::advanceTo(std::int64_t until) {
    // Bounded so a engine that keeps asking to be woken "now" cannot hang a test.
    for (int guard = 0; when_ <= until && guard < 1000000; ++guard) {
        now_ = std::max(now_, when_);
        when_ = Never;
        auto due = std::move(due_);
        due_ = nullptr;
        if (due)
            due();
    }
    now_ = std::max(now_, until);
}

int Random::below(int n) {
    return std::min(static_cast<int>(next() * n), n - 1);
}

} // namespace agent::engine
