#pragma once

#include "board/AwayDetector.h"

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
    // The source of inactivity in use ("logind", ...), for --status.
    void SetInactivitySource(const QString& source) { m_source = source; }
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
    std::deque<Pending> m_pending; // the first one is being asked
    QPointer<QMessageBox> m_box;   // owned by the board's window while up
};
