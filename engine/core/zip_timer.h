#pragma once

#include <chrono>
#include <optional>

namespace kv {

// Elapsed time of one operation. Pausing while a handler waits for the user keeps that wait out of the
// figure; pause and resume do nothing while the timer is not running.
class TZipTimer {
public:
    using Clock = std::chrono::steady_clock;

    void Start() { start_ = Clock::now(); paused_at_.reset(); }
    void Pause();
    void Resume();
    // Seconds since Start, less the paused spans; clears the start.
    float Stop();
    bool Running() const { return start_.has_value(); }

private:
    std::optional<Clock::time_point> start_;
    std::optional<Clock::time_point> paused_at_;
};

// Pauses a timer for the life of a scope (a handler that may wait for the user).
class TTimerPause {
public:
    explicit TTimerPause(TZipTimer& timer) : timer_(timer) { timer_.Pause(); }
    ~TTimerPause() { timer_.Resume(); }
    TTimerPause(const TTimerPause&) = delete;
    TTimerPause& operator=(const TTimerPause&) = delete;

private:
    TZipTimer& timer_;
};

}  // namespace kv
