#pragma once
// The status timer's period. Under a minute it is one interval and every tick works; from a
// minute on it runs in two phases, 60 s without work and then the rest of the period with it.
#include <cstdint>
#include <memory>

#include "ui/Widgets.h"

class CStatusTimer {
public:
    // The timer the operations act on; none leaves only the arithmetic.
    void SetTimer(std::shared_ptr<ui::Timer> timer) { timer_ = std::move(timer); }
    const std::shared_ptr<ui::Timer>& Timer() const { return timer_; }

    // A period in whole seconds; one whose milliseconds overflow 32 bits is an overflow error.
    void ApplyPeriod(std::int32_t seconds);
    // Starts the period over from its first phase.
    void Restart();
    void Enable(bool on);
    // Moves to the next phase; true when this tick does the work.
    bool Tick();

    std::int32_t CurrentInterval() const { return currentInterval_; }
    std::int32_t FirstPhase() const { return firstPhase_; }
    std::int32_t SecondPhase() const { return secondPhase_; }
    bool WorkPhase() const { return workPhase_; }

private:
    std::shared_ptr<ui::Timer> timer_;
    std::int32_t currentInterval_ = 0, firstPhase_ = 0, secondPhase_ = 0;
    bool workPhase_ = true;
};
