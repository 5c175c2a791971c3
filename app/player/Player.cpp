#include "app/player/Player.h"

#include "document/composition/Sequence.h"
#include "platform/registry/profile.h"

namespace My {

namespace {
const char kSection[] = "Time";
} // namespace

Player::Player(platform::registry_profile* profile)
    : m_profile(profile)
{
    if (m_profile) {
        m_loop = m_profile->get_int(kSection, "Loop", 1) != 0;
        m_autoFollow = m_profile->get_int(kSection, "AutoFollow", 1) != 0;
    }
    BuildCommands();
}

Player::~Player()
{
    if (m_profile) {
        m_profile->write_int(kSection, "Loop", m_loop ? 1 : 0);
        m_profile->write_int(kSection, "AutoFollow", m_autoFollow ? 1 : 0);
    }
}

bool Player::IsOpen() const
{
    const Sequence* sequence = GetSequence();
    return sequence && !sequence->IsEmpty();
}

void Player::SetPlayMode(int mode)
{
    if (mode == m_mode)
        return;
    Sequence* sequence = GetSequence();
    if (m_mode == Following) {
        StopFollowing();
        if (sequence)
            sequence->SetPreviewFrame(sequence->GetCurrentFrame());
    } else if (mode == Stopped) {
        // The frame where playback stopped becomes the current frame.
        m_mode = Stopped;
        if (sequence)
            sequence->SetCurrentFrame(sequence->GetPreviewFrame());
    }
    m_mode = mode;
    if (mode == Following)
        StartFollowing();
    if (mode == Stopped || mode == Following)
        Stop();
    else
        Start();
    PlaymodeChange change(this);
    Send(change);
}

int Player::NextFrame(int mode, int current, int first, int last, bool loop, bool& turned)
{
    turned = false;
    if (mode != Forward && mode != Backward)
        return current;
    if (last - first <= 1)
        // A work area of one frame (or none) has nowhere to go: stay.
        return last - first == 1 ? first : current;
    if (mode == Forward) {
        const int next = current + 1;
        if (next < last)
            return next;
        if (!loop && current + 1 == last) {
            turned = true;
            return last - 2;
        }
        return first;
    }
    const int next = current - 1;
    if (next >= first)
        return next;
    if (!loop && current == first) {
        turned = true;
        return first + 1;
    }
    return last - 1;
}

void Player::Step()
{
    if (m_mode != Forward && m_mode != Backward)
        return;
    Sequence* sequence = GetSequence();
    if (!sequence || sequence->IsEmpty())
        return;
    const Span area = sequence->GetWorkArea();
    bool turned = false;
    const int next = NextFrame(m_mode, sequence->GetPreviewFrame(), area.first, area.last, m_loop, turned);
    if (turned)
        m_mode = m_mode == Forward ? Backward : Forward;
    sequence->SetPreviewFrame(next);
}

void Player::Go(int frame)
{
    if (Sequence* sequence = GetSequence())
        sequence->SetCurrentFrame(frame);
}

bool Player::RouteCommand(CommandEventBase& event)
{
    return m_commands.Dispatch(event);
}

void Player::BuildCommands()
{
    // Each command checks its own condition again: a key press runs the
    // command without asking the menu state first.
    auto guarded = [](auto condition, auto action) {
        return [condition, action] {
            if (condition())
                action();
        };
    };
    auto enable = [](auto condition) { return [condition](CommandUI& ui) { ui.Enable(condition()); }; };
    auto add = [&](std::uint32_t id, auto condition, auto action) {
        m_commands.Add(id, guarded(condition, action), enable(condition));
    };
    auto current = [this] { return GetSequence()->GetCurrentFrame(); };
    auto duration = [this] { return GetSequence()->GetFrameCount(); };
    auto area = [this] { return GetSequence()->GetWorkArea(); };

    add(
        kFirstFrame, [=, this] { return IsOpen() && current() != 0; }, [=, this] { Go(0); });
    add(
        kLastFrame, [=, this] { return IsOpen() && current() != duration() - 1; },
        [=, this] { Go(duration() - 1); });
    add(
        kWorkAreaStart, [=, this] { return IsOpen() && current() != area().first; },
        [=, this] { Go(area().first); });
    add(
        kWorkAreaEnd, [=, this] { return IsOpen() && current() != area().last - 1; },
        [=, this] { Go(area().last - 1); });
    add(
        kPreviousFrame, [=, this] { return IsOpen() && m_mode == Stopped && current() != 0; },
        [=, this] { Go(current() - 1); });
    add(
        kNextFrame, [=, this] { return IsOpen() && m_mode == Stopped && current() != duration() - 1; },
        [=, this] { Go(current() + 1); });

    auto radio = [this](std::uint32_t id, int mode) {
        m_commands.Add(
            id,
            [this, mode] {
                if (IsOpen())
                    SetPlayMode(mode);
            },
            [this, mode](CommandUI& ui) {
                ui.Enable(IsOpen());
                ui.SetRadio(m_mode == mode);
            });
    };
    radio(kPlayForward, Forward);
    radio(kPause, Stopped);
    radio(kPlayBackward, Backward);
    m_commands.Add(
        kFollow,
        [this] {
            if (IsOpen() && GetSequence()->IsProcessing())
                SetPlayMode(Following);
        },
        [this](CommandUI& ui) {
            ui.Enable(IsOpen() && GetSequence()->IsProcessing());
            ui.SetRadio(m_mode == Following);
        });

    auto toggle = [this](std::uint32_t id, int mode) {
        m_commands.Add(
            id,
            [this, mode] {
                if (IsOpen())
                    SetPlayMode(m_mode == Stopped ? mode : Stopped);
            },
            [this](CommandUI& ui) { ui.Enable(IsOpen()); });
    };
    toggle(kToggleForward, Forward);
    toggle(kToggleBackward, Backward);

    auto flag = [this](std::uint32_t id, bool Player::*member) {
        m_commands.Add(
            id,
            [this, member] {
                if (IsOpen())
                    this->*member = !(this->*member);
            },
            [this, member](CommandUI& ui) {
                ui.Enable(IsOpen());
                ui.SetCheck(this->*member ? 1 : 0);
            });
    };
    flag(kLoop, &Player::m_loop);
    flag(kAutoFollow, &Player::m_autoFollow);

    m_commands.Add(
        kGoToFrame,
        [this] {
            if (IsOpen())
                GoToFrame();
        },
        [this](CommandUI& ui) { ui.Enable(IsOpen()); });
}

} // namespace My
