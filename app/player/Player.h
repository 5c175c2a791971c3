#pragma once

// The playback state of a sequence view: whether frames are played forwards
// or backwards, paused, or follow a segment being processed; whether
// playback loops at the work area's ends; and whether processing starts
// following by itself. It carries the Time menu's commands and their menu
// states. The view owns one player through a subclass that supplies the
// playback timer and the following. UI thread only.

#include "widgets/core/CommandMap.h"
#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

#include <cstdint>

namespace platform {
class registry_profile;
}

namespace My {

class Sequence;

class Player : public EventDispatcher, public CommandTarget {
public:
    enum PlayMode { Stopped = 0, Forward = 1, Backward = 2, Following = 3 };

    class PlaymodeChange : public Event {
    public:
        explicit PlaymodeChange(Player* source_)
            : source(source_)
        {
        }
        Player* source;
    };

    // Command identifiers of the Time menu.
    static constexpr std::uint32_t kFirstFrame = 50015;
    static constexpr std::uint32_t kLastFrame = 50016;
    static constexpr std::uint32_t kWorkAreaStart = 50017;
    static constexpr std::uint32_t kWorkAreaEnd = 50018;
    static constexpr std::uint32_t kPreviousFrame = 50019;
    static constexpr std::uint32_t kNextFrame = 50020;
    static constexpr std::uint32_t kPlayBackward = 50021;
    static constexpr std::uint32_t kPause = 50022;
    static constexpr std::uint32_t kPlayForward = 50023;
    static constexpr std::uint32_t kLoop = 50024;
    static constexpr std::uint32_t kGoToFrame = 50025;
    static constexpr std::uint32_t kToggleForward = 50030;
    static constexpr std::uint32_t kToggleBackward = 50031;
    static constexpr std::uint32_t kFollow = 50034;
    static constexpr std::uint32_t kAutoFollow = 50035;

    // Reads "Loop" and "AutoFollow" of section "Time" from the profile (not
    // owned, may be null: both on, nothing written back).
    explicit Player(platform::registry_profile* profile = nullptr);
    // Writes the two flags back to the profile.
    virtual ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Start and stop the playback timer.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // The sequence played; may be null.
    virtual Sequence* GetSequence() const = 0;
    virtual void StartFollowing() = 0;
    virtual void StopFollowing() = 0;
    // Opens the go-to-frame question; nothing here.
    virtual void GoToFrame() { }
    // The playback rate in frames per second, kept by the view's player
    // with its timer; 0 and ignored here.
    virtual double GetPlayFramerate() const { return 0.0; }
    virtual void SetPlayFramerate(double) { }

    int GetPlayMode() const { return m_mode; }
    bool IsPlaying() const { return m_mode == Forward || m_mode == Backward; }
    void SetPlayMode(int mode);
    bool GetLoop() const { return m_loop; }
    void SetLoop(bool loop) { m_loop = loop; }
    bool GetAutoFollow() const { return m_autoFollow; }
    void SetAutoFollow(bool on) { m_autoFollow = on; }

    // One timer tick: moves the preview frame by one frame in the play
    // direction, turning at the work area's ends when not looping.
    void Step();
    // The frame after `current` in the mode over the work area
    // [first, last); turned is set when a bouncing playback turns.
    static int NextFrame(int mode, int current, int first, int last, bool loop, bool& turned);

    bool RouteCommand(CommandEventBase& event) override;

private:
    void BuildCommands();
    bool IsOpen() const;
    // Moves the sequence's current frame (its setter clamps).
    void Go(int frame);

    platform::registry_profile* m_profile;
    int m_mode = Stopped;
    bool m_loop = true;
    bool m_autoFollow = true;
    CommandMap m_commands;
};

} // namespace My
