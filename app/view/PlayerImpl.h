#pragma once

// The view's player: the playback timer, its rate, and the hooks through
// which the view follows processing, knows the painter's state and opens
// the go-to-frame question. A timer tick that comes while the painter is
// still busy with the previous frame is skipped, so playback never runs
// ahead of painting; the skipped tick is made up as soon as that frame is
// delivered, and the timer restarts from then. UI thread only.

#include "app/player/Player.h"
#include "widgets/core/Timer.h"

#include <chrono>
#include <functional>

namespace My {

class PlayerImpl : public Player, public EventListener {
public:
    // Rates outside this range are refused.
    static constexpr double kMinRate = 0.1;
    static constexpr double kMaxRate = 1000.0;

    // Reads "PlayFramerate" (frames per second x 1000, default 10000) of
    // section "Time" besides the flags of the player; profile may be null.
    explicit PlayerImpl(platform::registry_profile* profile = nullptr);
    // Writes the rate back.
    ~PlayerImpl() override;

    void SetSequence(Sequence* sequence) { m_sequence = sequence; }
    Sequence* GetSequence() const override { return m_sequence; }

    void Start() override;
    void Stop() override;
    void StartFollowing() override;
    void StopFollowing() override;
    void GoToFrame() override;
    double GetPlayFramerate() const override { return m_rate; }
    // Finite rates within [kMinRate, kMaxRate]; others are ignored.
    void SetPlayFramerate(double rate) override;
    // The timer's period for the rate, in milliseconds (at least 1).
    unsigned GetInterval() const;
    bool IsTimerRunning() const { return m_timer.IsRunning(); }

    // One timer tick: skipped (and remembered) while the painter is busy.
    void Tick();
    // A painted frame arrived: a skipped tick runs now and the timer starts
    // over.
    void Delivered();
    bool IsTickSkipped() const { return m_skipped; }

    // The view's hooks (any may be empty).
    struct Hooks {
        std::function<bool()> busy; // the painter works on a request
        std::function<void(bool)> following; // follow mode entered or left
        std::function<void()> goToFrame; // the go-to-frame question
        std::function<void()> rateChanged; // the play rate changed
        std::function<void()> stepped; // a tick moved the preview frame
    };
    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    void OnEvent(Event& event) override;

private:
    using Clock = std::chrono::steady_clock;
    // Restarts the timer's count from now at the full period.
    void Restart();
    // Keeps the ticks on the grid of whole periods from the restart, so
    // that the timer's own lateness does not add up over a playback.
    void Pace();

    platform::registry_profile* m_profile;
    Clock::time_point m_epoch;
    long long m_ticks = 0;
    Sequence* m_sequence = nullptr;
    double m_rate = 10.0;
    bool m_skipped = false;
    Hooks m_hooks;
    Timer m_timer;
};

} // namespace My
