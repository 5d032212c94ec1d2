#include "board/PeriodSink.h"

namespace {

class NoSink final : public PeriodSink {
public:
    Found Reconcile(const Seconds&) override { return {}; }
    void Record(const Change&) override {}
    void PeriodSeen(qint64) override {}
    void NameCommitted(int, const QString&, qint64) override {}
};

} // namespace

PeriodSink::Corrected PeriodSink::Correct(const Correction&, const Seconds&, qint64) {
    return {Corrected::Outcome::Failed,
            QStringLiteral("No history is recorded, so the past cannot be corrected."),
            {},
            std::nullopt,
            {}};
}

PeriodSink& PeriodSink::None() {
    // Stateless: sharing one instance shares nothing.
    static NoSink sink;
    return sink;
}
