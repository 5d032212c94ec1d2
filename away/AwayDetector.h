#pragma once

#include <QtGlobal>
#include <memory>
#include <optional>

class Profile;
class SuspendWatch;

// A time the user was away from the board, in the board's own clock readings (the ones its periods
// are charged by): from the moment the user left to the moment they came back.
struct AwaySpell {
    qint64 left = 0;
    qint64 back = 0;
    bool bInactive = false; // no input, rather than a suspend or a locked screen
};

// Turns suspends and screen locks into spells away. The user left, for a lock, when the screen locked;
// for a suspend, at the last tick before it. A suspend while the screen is locked, or one that ends
// just before the screen locks (a desktop that locks on waking), is part of the lock's spell: the two
// count once. A spell is told only if it lasted at least "Options"/"AwayMinutes" (read when a spell
// ends, so the tick reads no profile entry; 0 tells none), or "IdleMinutes" for inactivity, once cut
// to what began at `since`, the start of the open period.
class AwayDetector final {
public:
    static constexpr int kDefaultMinutes = 5;
    static constexpr int kDefaultIdleMinutes = 10;
    static constexpr int kMaxMinutes = 24 * 60;
    // A lock this soon after a suspend ended belongs to it.
    static constexpr qint64 kOverlapSeconds = 5;

    AwayDetector(const Profile& profile, std::unique_ptr<SuspendWatch> suspend);
    ~AwayDetector();
    Q_DISABLE_COPY_MOVE(AwayDetector)

    // The board's one-second tick, with the board's clock reading.
    std::optional<AwaySpell> Tick(qint64 now, qint64 since);
    // The screen was locked or unlocked.
    std::optional<AwaySpell> LockChanged(bool locked, qint64 now, qint64 since);
    // The desktop says the user gave no input for `inactiveSeconds` by now, or that input came again.
    // Inactivity of at least "Options"/"IdleMinutes" is a spell from when the input stopped; one that
    // a lock took over is part of the lock's spell.
    std::optional<AwaySpell> InactivityChanged(bool inactive, qint64 inactiveSeconds, qint64 now,
                                               qint64 since);

    // "Options"/"AwayMinutes" within 0..kMaxMinutes, kDefaultMinutes when not set.
    static int Minutes(const Profile& profile);
    // The source of inactivity changed: what the old one said no longer holds, and is no spell.
    void ForgetInactivity() { m_inactiveSince.reset(); }
    // Since when no input came, while it has not.
    std::optional<qint64> InactiveSince() const { return m_inactiveSince; }
    // "Options"/"IdleMinutes" within 0..kMaxMinutes (0: inactivity is never a spell), kDefaultIdleMinutes
    // when not set.
    static int IdleMinutes(const Profile& profile);

private:
    std::optional<AwaySpell> Long(AwaySpell spell, qint64 since) const;

    const Profile& m_profile;
    std::unique_ptr<SuspendWatch> m_suspend; // nullptr: no suspend is ever seen
    std::optional<qint64> m_lastTick;
    std::optional<qint64> m_lockedSince;
    std::optional<qint64> m_inactiveSince;
    std::optional<AwaySpell> m_lastSuspend;
};
