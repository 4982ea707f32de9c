#include "engine/core/zip_timer.h"

namespace kv {

void TZipTimer::Pause() {
    if (start_ && !paused_at_) paused_at_ = Clock::now();
}

void TZipTimer::Resume() {
    if (!start_ || !paused_at_) return;
    *start_ += Clock::now() - *paused_at_;
    paused_at_.reset();
}

float TZipTimer::Stop() {
    if (!start_) return 0.0f;
    const auto end = paused_at_.value_or(Clock::now());
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(end - *start_);
    start_.reset();
    paused_at_.reset();
    return static_cast<float>(elapsed.count()) / 1000.0f;
}

}  // namespace kv
