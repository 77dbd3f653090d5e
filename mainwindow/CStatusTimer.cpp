#include "mainwindow/CStatusTimer.h"

#include <cmath>
#include <limits>

namespace {
std::int32_t CheckedMs(std::int64_t seconds) {
    std::int64_t ms = seconds * 1000;
    if (ms > std::numeric_limits<std::int32_t>::max() || ms < std::numeric_limits<std::int32_t>::min())
        automation::Raise(automation::code::kOverflow, u"Overflow");
    return static_cast<std::int32_t>(ms);
}
}  // namespace

void CStatusTimer::ApplyPeriod(std::int32_t seconds) {
    if (seconds < 60) {
        const std::int32_t ms = CheckedMs(seconds);
        firstPhase_ = 0;
        secondPhase_ = ms;
        workPhase_ = true;
        currentInterval_ = ms;
    } else {
        const std::int32_t ms = CheckedMs(static_cast<std::int64_t>(seconds) - 60);
        firstPhase_ = 60000;
        secondPhase_ = ms;
        workPhase_ = false;
        currentInterval_ = 60000;
    }
    if (timer_) timer_->SetInterval(currentInterval_);
}

void CStatusTimer::Restart() {
    const double seconds = (static_cast<double>(firstPhase_) + secondPhase_) / 1000.0;
    ApplyPeriod(static_cast<std::int32_t>(std::nearbyint(seconds)));  // ties to even, as the runtime rounds
    if (timer_) timer_->SetInterval(currentInterval_);
}

void CStatusTimer::Enable(bool on) {
    if (timer_) timer_->SetEnabled(on);
}

bool CStatusTimer::Tick() {
    if (workPhase_) {
        workPhase_ = firstPhase_ == 0;
        if (firstPhase_ != 0 && timer_) timer_->SetInterval(firstPhase_);
        return true;
    }
    workPhase_ = true;
    if (secondPhase_ != 0) {
        if (timer_) timer_->SetInterval(secondPhase_);
        return false;
    }
    return true;
}
