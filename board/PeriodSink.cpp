#include "board/PeriodSink.h"

namespace {

class NoSink final : public PeriodSink {
public:
    void PeriodOpened(int, const QString&, qint64) override {}
    void PeriodCharged(int, qint64, qint64) override {}
    void TimersReset(Reset, int, qint64) override {}
    void NameCommitted(int, const QString&, qint64) override {}
    void SecondsAdded(Added, const std::vector<Addition>&, qint64) override {}
    void AwayDecided(int, qint64, qint64, bool) override {}
};

} // namespace

PeriodSink& PeriodSink::None() {
    // Stateless: sharing one instance shares nothing.
    static NoSink sink;
    return sink;
}
