#include "away/AwayPrompt.h"

#include "away/SuspendWatch.h"
#include "board/KelvraView.h"

#include <QDateTime>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

AwayPrompt::AwayPrompt(CKelvraView& view, const Profile& profile, std::unique_ptr<SuspendWatch> suspend)
    : QObject(&view), m_view(view), m_detector(profile, std::move(suspend)) {
    connect(&view, &CKelvraView::ticked, this, &AwayPrompt::OnTick);
    // Guarded: the prompt, a child of the view, goes before the view does.
    view.SetAwayQuestion(
        [self = QPointer<const AwayPrompt>(this)] { return self && self->Question() != nullptr; });
}

AwayPrompt::~AwayPrompt() = default;

void AwayPrompt::OnTick() {
    Offer(m_detector.Tick(m_view.Ledger().Now(), m_view.Ledger().Start()));
    if (!m_pending.empty() && !Applies(m_pending.front())) {
        AskNext();
    }
}

void AwayPrompt::OnLockChanged(bool locked) {
    Offer(m_detector.LockChanged(locked, m_view.Ledger().Now(), m_view.Ledger().Start()));
}

void AwayPrompt::OnInactivityChanged(bool inactive, qint64 seconds) {
    Offer(m_detector.InactivityChanged(inactive, seconds, m_view.Ledger().Now(), m_view.Ledger().Start()));
}

const QStringList& AwayPrompt::InactivitySources() {
    static const QStringList sources{QStringLiteral("x11-sync"), QStringLiteral("ext-idle-notify"),
                                     QStringLiteral("kde-idle"), QStringLiteral("mutter"),
                                     QStringLiteral("logind")};
    return sources;
}

void AwayPrompt::OfferInactivitySource(const QString& source) {
    if (!m_offered.contains(source)) {
        m_offered << source;
    }
    const auto rank = [](const QString& s) { return InactivitySources().indexOf(s); };
    const QString nearest =
        *std::min_element(m_offered.cbegin(), m_offered.cend(),
                          [&](const QString& a, const QString& b) { return rank(a) < rank(b); });
    if (nearest != m_source) {
        m_source = nearest;
        m_detector.ForgetInactivity();
    }
}

void AwayPrompt::DropInactivitySource(const QString& source) {
    m_offered.removeAll(source);
    if (source != m_source) {
        return;
    }
    m_source.clear();
    m_detector.ForgetInactivity();
    if (!m_offered.isEmpty()) {
        OfferInactivitySource(m_offered.first());
    }
}

void AwayPrompt::OnInactivityFrom(const QString& source, bool inactive, qint64 seconds) {
    if (source == m_source) {
        OnInactivityChanged(inactive, seconds);
    }
}

std::optional<qint64> AwayPrompt::InactiveSeconds() const {
    if (m_source.isEmpty()) {
        return std::nullopt;
    }
    const std::optional<qint64> since = m_detector.InactiveSince();
    return since ? std::max<qint64>(0, m_view.Ledger().Now() - *since) : 0;
}

std::optional<qint64> AwayPrompt::AwaySince() const {
    if (m_pending.empty()) {
        return std::nullopt;
    }
    return m_pending.front().spell.left;
}

void AwayPrompt::Offer(const std::optional<AwaySpell>& spell) {
    const int running = m_view.Ledger().Running();
    if (!spell || running == 0) {
        return;
    }
    const Pending pending{running - 1, *spell};
    // The same spell told twice (a lock that swallowed a suspend already asked about) is one question.
    if (!m_pending.empty() && m_pending.back().index == pending.index &&
        pending.spell.left <= m_pending.back().spell.back) {
        m_pending.back().spell.left = std::min(m_pending.back().spell.left, pending.spell.left);
        m_pending.back().spell.back = std::max(m_pending.back().spell.back, pending.spell.back);
        if (m_pending.size() == 1 && m_box) {
            m_box->setText(Text(m_pending.front()));
        }
        return;
    }
    m_pending.push_back(pending);
    if (!m_box) {
        AskNext();
    }
}

bool AwayPrompt::Applies(const Pending& pending) const {
    const CTimerLedger& ledger = m_view.Ledger();
    return ledger.Running() == pending.index + 1 && ledger.Start() <= pending.spell.left;
}

QString AwayPrompt::Text(const Pending& pending) const {
    const auto local = [](qint64 t) {
        return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("HH:mm"));
    };
    return (pending.spell.bInactive ? QStringLiteral("You were inactive from %1 to %2 (%3) while %4 ran.")
                                    : QStringLiteral("You were away from %1 to %2 (%3) while %4 ran."))
        .arg(local(pending.spell.left), local(pending.spell.back),
             Kelvra::FormatSeconds(pending.spell.back - pending.spell.left).trimmed(),
             m_view.Ledger().Name(pending.index));
}

void AwayPrompt::AskNext() {
    while (!m_pending.empty() && !Applies(m_pending.front())) {
        m_pending.pop_front();
    }
    if (m_box) {
        // Taken down without an answer: its spell is settled already or gone.
        m_box->disconnect(this);
        m_box->close();
    }
    if (m_pending.empty()) {
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Kelvra"), Text(m_pending.front()),
                                QMessageBox::NoButton, m_view.window());
    QPushButton* keep = box->addButton(QStringLiteral("Keep"), QMessageBox::AcceptRole);
    QPushButton* discard = box->addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    // Closing the box changes nothing, as Keep.
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    connect(box, &QDialog::finished, this, [this, box, discard] { Answer(box->clickedButton() != discard); });
    m_box = box;
    box->show();
}

void AwayPrompt::Answer(bool keep) {
    m_box = nullptr; // closing itself
    if (!m_pending.empty()) {
        const Pending pending = m_pending.front();
        m_pending.pop_front();
        if (Applies(pending)) {
            m_view.SettleAway(pending.spell.left, pending.spell.back, keep);
        }
    }
    AskNext();
}
