#include "away/AwayDetector.h"

#include "away/SuspendWatch.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <algorithm>
#include <utility>

AwayDetector::AwayDetector(const Profile& profile, std::unique_ptr<SuspendWatch> suspend)
    : m_profile(profile), m_suspend(std::move(suspend)) {}

AwayDetector::~AwayDetector() = default;

int AwayDetector::Minutes(const Profile& profile) {
    return std::clamp(
        profile.GetProfileInt(ProfileLayout::kOptions, ProfileLayout::kAwayMinutes, kDefaultMinutes), 0,
        kMaxMinutes);
}

int AwayDetector::IdleMinutes(const Profile& profile) {
    return std::clamp(
        profile.GetProfileInt(ProfileLayout::kOptions, ProfileLayout::kIdleMinutes, kDefaultIdleMinutes), 0,
        kMaxMinutes);
}

std::optional<AwaySpell> AwayDetector::InactivityChanged(bool inactive, qint64 inactiveSeconds, qint64 now,
                                                         qint64 since) {
    if (inactive) {
        if (!m_inactiveSince) {
            m_inactiveSince = now - std::max<qint64>(0, inactiveSeconds);
        }
        return std::nullopt;
    }
    if (!m_inactiveSince) {
        return std::nullopt;
    }
    const qint64 left = *std::exchange(m_inactiveSince, std::nullopt);
    const int minutes = IdleMinutes(m_profile);
    // Input while locked (the password) ends the inactivity; the lock's spell tells the rest.
    if (m_lockedSince || minutes == 0 || now - left < qint64{minutes} * 60) {
        return std::nullopt;
    }
    return Long({left, now, true}, since);
}

std::optional<AwaySpell> AwayDetector::Long(AwaySpell spell, qint64 since) const {
    spell.left = std::max(spell.left, since);
    // "AwayMinutes" 0 asks about nothing; inactivity is measured against its own threshold.
    const int minutes = Minutes(m_profile) == 0 ? 0
                        : spell.bInactive       ? IdleMinutes(m_profile)
                                                : Minutes(m_profile);
    if (minutes == 0 || spell.back - spell.left < qint64{minutes} * 60) {
        return std::nullopt;
    }
    return spell;
}

std::optional<AwaySpell> AwayDetector::Tick(qint64 now, qint64 since) {
    const qint64 slept = m_suspend ? m_suspend->SuspendedSeconds() : 0;
    const std::optional<qint64> before = std::exchange(m_lastTick, now);
    if (slept <= 0 || !before) {
        return std::nullopt;
    }
    const AwaySpell spell{*before, now};
    if (m_lockedSince) {
        // Locked now: the lock's spell takes the suspend in, also when the lock came only on waking.
        m_lockedSince = std::min(*m_lockedSince, spell.left);
        return std::nullopt;
    }
    m_lastSuspend = spell;
    return Long(spell, since);
}

std::optional<AwaySpell> AwayDetector::LockChanged(bool locked, qint64 now, qint64 since) {
    if (locked) {
        if (!m_lockedSince) {
            const bool afterSuspend = m_lastSuspend && now - m_lastSuspend->back <= kOverlapSeconds;
            m_lockedSince = afterSuspend ? m_lastSuspend->left : now;
            // A screen that locked after the input stopped: the user left when it stopped.
            if (m_inactiveSince && IdleMinutes(m_profile) > 0) {
                m_lockedSince = std::min(*m_lockedSince, *m_inactiveSince);
            }
        }
        return std::nullopt;
    }
    if (!m_lockedSince) {
        return std::nullopt;
    }
    return Long({*std::exchange(m_lockedSince, std::nullopt), now}, since);
}
