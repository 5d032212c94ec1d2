#pragma once

#include "away/AwayDetector.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <deque>
#include <memory>

class CKelvraView;

// Asks, once for each spell away that a running timer went on through, whether that time counts:
// "Keep" charges it all, as the board always did; "Discard" charges the timer up to the moment the user
// left and opens its period again at the return. The question is not modal, so the board ticks on
// while it waits.
//
// Spells that come before an answer wait in turn, one question at a time. A spell whose period is gone
// (a switch or a stop since: the open period then started after the user left) is dropped, and its
// question taken down, without touching anything.
class AwayPrompt final : public QObject {
    Q_OBJECT
public:
    // A child of `view`, whose tick it follows; `suspend` may be nullptr.
    AwayPrompt(CKelvraView& view, const Profile& profile, std::unique_ptr<SuspendWatch> suspend);
    ~AwayPrompt() override;
    Q_DISABLE_COPY_MOVE(AwayPrompt)

    void OnLockChanged(bool locked);
    // The desktop's inactivity: none for `seconds` so far, or input again.
    void OnInactivityChanged(bool inactive, qint64 seconds);
    // Sources of inactivity, nearest to the input first: the X server's counter, the Wayland
    // compositor's notifications, GNOME's monitor, logind's hint.
    static const QStringList& InactivitySources();
    // `source` answered: the nearest source that did is the one heard. What an earlier one said of
    // the input is forgotten, as it is when the source in use goes away and the next one takes over.
    void OfferInactivitySource(const QString& source);
    void DropInactivitySource(const QString& source);
    // What `source` says of the input, heard only while it is the source in use.
    void OnInactivityFrom(const QString& source, bool inactive, qint64 seconds);
    // The source of inactivity in use ("logind", ...; empty for none), for --status.
    const QString& InactivitySource() const { return m_source; }
    // Seconds without input by the board's now: 0 while input comes, nothing without a source.
    std::optional<qint64> InactiveSeconds() const;
    // When the spell the board asks about (or will ask about next) began; nothing while none waits.
    std::optional<qint64> AwaySince() const;
    // The question up now, or nullptr.
    QMessageBox* Question() const { return m_box; }

private:
    struct Pending {
        int index = 0;
        AwaySpell spell;
    };

    void OnTick();
    void Offer(const std::optional<AwaySpell>& spell);
    bool Applies(const Pending& pending) const;
    QString Text(const Pending& pending) const;
    // Drops what no longer applies, then asks about the first spell left, or takes the question down.
    void AskNext();
    void Answer(bool keep);

    CKelvraView& m_view;
    AwayDetector m_detector;
    QString m_source;              // empty: no source of inactivity
    QStringList m_offered;         // the sources that answered and are still there
    std::deque<Pending> m_pending; // the first one is being asked
    QPointer<QMessageBox> m_box;   // owned by the board's window while up
};
