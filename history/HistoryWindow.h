#pragma once

#include "board/PeriodSink.h"
#include "dialogs/PeriodDlg.h"
#include "journal/Journal.h"
#include "journal/JournalQuery.h"

#include <QDate>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class CTimerLedger;
class CWeekChart;
class Clock;
class JournalSink;
class QButtonGroup;
class QComboBox;
class QDateEdit;
class QDialog;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

// "Kelvra History": a week of the journal, Monday to Sunday (a stacked bar chart and a table of each
// name's time per day), and the periods of one day of it. It reads the journal through a read-only
// connection of its own, also while the board's sink writes, and writes nothing; the board's running
// period shows up to now. While it is visible a one-second timer re-reads the journal only when another
// connection changed it (PRAGMA data_version); hidden, it costs nothing.
class CHistoryWindow final : public QWidget {
    Q_OBJECT
public:
    // The window's widths for a name: the table's name column and the cut names in it.
    static constexpr int kNameWidth = 220;

    CHistoryWindow(const JournalSink& sink, const CTimerLedger& ledger, const Clock& clock,
                   QWidget* parent = nullptr);
    ~CHistoryWindow() override;
    Q_DISABLE_COPY_MOVE(CHistoryWindow)

    // Fills the menu of a period row (right-click or the Menu key in the periods view) for that period's
    // timer (0..9); the menu shows if it got actions. Never offered while the journal is not recording.
    void SetPeriodMenu(std::function<void(QMenu& menu, int timerIndex)> fill);
    // Where corrections of the past go (the board's ledger, which records them and follows them);
    // without it, the periods cannot be edited here.
    using Corrector = std::function<PeriodSink::Corrected(const PeriodSink::Correction&)>;
    void SetCorrector(Corrector correct);

    // The periods view's commands on the current row: Edit, Split, Delete; Add on the shown day. The
    // dialogs are modal; `edit` hands each to the caller before it runs (tests fill it in).
    void EditCurrent();
    void SplitCurrent();
    void DeleteCurrent();
    void AddOnDay(QDate day);
    void SetDialogHook(std::function<void(QDialog&)> hook) { m_dialogHook = std::move(hook); }
    // Edit > Undo or Redo through the board, from Ctrl+Z and Ctrl+Shift+Z here.
    void Undo(bool bRedo);
    // What the last correction said when it was refused, for the status line and tests.
    const QString& LastProblem() const { return m_lastProblem; }
    QTreeWidget& PeriodsList() const { return *m_periods; }
    QTableWidget& WeekTable() const { return *m_table; }
    const QLabel& DayTotal() const { return *m_dayTotal; }

    // The week that holds `day`; the selected day moves to the same weekday.
    void ShowWeek(QDate day);
    // The periods view of `day`.
    void ShowDay(QDate day);
    // The month view of the month that holds `day`: a calendar of day totals and each name's month.
    void ShowMonth(QDate day);
    bool IsMonthView() const;
    QDate MonthShown() const { return m_monthFirst; }
    QDate Monday() const { return m_monday; }
    QDate SelectedDay() const { return m_day; }
    bool IsPeriodsView() const;
    // Re-reads the journal if another connection changed it, and brings the running period up to now.
    void Refresh();

    // What is shown, as `--report=csv --by day` for the week or `--report=csv --periods` for the day.
    QString Csv() const;
    // Writes Csv() to `path`; returns what went wrong, empty on success.
    QString ExportCsv(const QString& path) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    void Load();    // reads the week's periods
    void Rebuild(); // shows them, with the running period up to now
    void ShowTable(const class JournalWeek& week);
    void RebuildMonth();
    // A week, or a month in the month view, before (-1) or after (1); never past today's.
    void Step(int step);
    // The week, month or day of `day`, as the current tab shows.
    void GoTo(QDate day);
    QDate Today() const;
    // The range label, the Next button and the date picker for what is shown.
    void UpdateRange();
    // Grouped by timer row: each row's name now; by name: nothing.
    std::function<QString(int)> RowNames() const;
    void ShowPeriods();
    void OpenPeriodMenu(QTreeWidgetItem* item, QPoint globalPos);
    // Makes `correction` through the board; an overlap asks whether to cut the other period back.
    // Returns why it was not made, empty when done.
    QString Apply(PeriodSink::Correction correction, QWidget* asker);
    void Tell(const QString& problem);
    QString Impact(qint64 period, int oldIndex, int index, qint64 start);
    // "Edit period" (`id` the period, `index` its timer) or "Add period" (`id` 0); what was accepted.
    std::optional<CPeriodDlg::Values> RunPeriodDialog(PeriodSink::Correction::Kind kind, qint64 id, int index,
                                                      const CPeriodDlg::Values& values, bool bRunning);
    QStringList TimerNames() const;
    void OnExport();
    QString DayLabel(QDate day) const;

    const JournalSink& m_sink;
    const CTimerLedger& m_ledger;
    const Clock& m_clock;
    Journal m_journal;                   // read-only
    QString m_readProblem;               // the journal cannot be opened
    QString m_queryProblem;              // the last read failed
    std::optional<qint64> m_dataVersion; // as last read; empty: read the journal again
    QDate m_monday;
    QDate m_day;
    std::vector<JournalQuery::Period> m_read;  // the week as the journal holds it
    std::vector<JournalQuery::Period> m_shown; // with the running period up to now
    bool m_bWasRunning = false;
    std::function<void(QMenu&, int)> m_fillMenu;
    Corrector m_correct;
    std::function<void(QDialog&)> m_dialogHook;
    QString m_lastProblem;
    QTimer m_tick;

    QLabel* m_problem = nullptr; // every widget is owned by the window
    QLabel* m_range = nullptr;
    QPushButton* m_export = nullptr;
    QTabWidget* m_tabs = nullptr;
    CWeekChart* m_chart = nullptr;
    QLabel* m_empty = nullptr;
    QTableWidget* m_table = nullptr;
    QButtonGroup* m_days = nullptr;
    QTreeWidget* m_periods = nullptr;
    QLabel* m_dayTotal = nullptr;
    QPushButton* m_next = nullptr;
    QDateEdit* m_goTo = nullptr;
    bool m_bShowingDay = false; // the picker is being set to what is shown
    QComboBox* m_groupBy = nullptr;
    QLabel* m_monthTotal = nullptr;
    QTableWidget* m_calendar = nullptr;
    QTableWidget* m_monthNames = nullptr;
    QDate m_monthFirst;
    std::vector<JournalQuery::Period> m_monthRead;
};
