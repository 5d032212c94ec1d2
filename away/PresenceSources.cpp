#include "away/PresenceSources.h"

#include "away/AwayPrompt.h"
#include "away/LockWatch.h"
#include "away/MutterIdleWatch.h"
#include "away/WaylandIdleWatch.h"
#include "away/X11IdleWatch.h"

#include <memory>

// logind's lock and idle hint on the system bus, the display server's own idle watch where it has one
// (X11's sync counter, a Wayland compositor's notifications), and GNOME's Mutter.
void WatchPresence(AwayPrompt& away, int idleMinutes) {
    auto* locks = new LockWatch(&away);
    QObject::connect(locks, &LockWatch::lockedChanged, &away, &AwayPrompt::OnLockChanged);
    const auto follow = [&away](auto* source, auto changed, const QString& name) {
        QObject::connect(source, changed, &away, [&away, name](bool inactive, qint64 seconds) {
            away.OnInactivityFrom(name, inactive, seconds);
        });
    };
    const QString logind = QStringLiteral("logind");
    follow(locks, &LockWatch::inactivityChanged, logind);
    QObject::connect(locks, &LockWatch::watching, &away,
                     [&away, logind] { away.OfferInactivitySource(logind); });
    locks->Start();
    // The display server's own watch, where it has one: set up with a round trip, then events alone.
    // A watch that started is handed to the prompt, whose child it becomes.
    const qint64 thresholdMs = qint64{idleMinutes} * 60'000;
    const auto adopt = [&away, &follow](auto watch, auto changed, const QString& name) {
        watch->setParent(&away);
        follow(watch.release(), changed, name);
        away.OfferInactivitySource(name);
    };
    const QString xsync = QStringLiteral("x11-sync");
    if (auto x11 = std::make_unique<X11IdleWatch>(); x11->Start(thresholdMs)) {
        adopt(std::move(x11), &X11IdleWatch::inactivityChanged, xsync);
    } else {
        auto wayland = std::make_unique<WaylandIdleWatch>();
        if (const QString source = wayland->Start(thresholdMs); !source.isEmpty()) {
            adopt(std::move(wayland), &WaylandIdleWatch::inactivityChanged, source);
        }
    }
    auto* gnome = new MutterIdleWatch(&away);
    const QString mutter = QStringLiteral("mutter");
    follow(gnome, &MutterIdleWatch::inactivityChanged, mutter);
    QObject::connect(gnome, &MutterIdleWatch::watching, &away,
                     [&away, mutter] { away.OfferInactivitySource(mutter); });
    QObject::connect(gnome, &MutterIdleWatch::vanished, &away,
                     [&away, mutter] { away.DropInactivitySource(mutter); });
    gnome->Start(idleMinutes);
}
