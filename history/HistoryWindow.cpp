#include "history/HistoryWindow.h"

#include "board/TimerLedger.h"
#include "dialogs/PeriodDlg.h"
#include "history/WeekChart.h"
#include "journal/JournalEdits.h"
#include "journal/JournalReport.h"
#include "journal/JournalSink.h"
#include "journal/JournalWeek.h"
#include "platform/Clock.h"

#include <QAction>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace {

constexpr int kWeekTab = 0;
constexpr int kPeriodsTab = 1;
constexpr int kMonthTab = 2;
constexpr int kTickMs = 1000;
// What a row of the periods view holds besides its texts.
constexpr int kIndexRole = Qt::UserRole;
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kRunningRole = Qt::UserRole + 2;
constexpr int kStartRole = Qt::UserRole + 3;
constexpr int kEndRole = Qt::UserRole + 4;
constexpr int kNoteRole = Qt::UserRole + 5;
constexpr int kNoteColumn = 4;

// Sets a cell's text, making the item on first use; what has not changed is left alone, so that the
// one-second refresh keeps the user's selection and scrolling. Totals are bold.
void SetCell(QTableWidget& table, int row, int column, const QString& text, Qt::Alignment alignment,
             bool bBold, const QString& tip = {}) {
    QTableWidgetItem* item = table.item(row, column);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setTextAlignment(alignment | Qt::AlignVCenter);
        table.setItem(row, column, item);
    }
    if (item->text() != text) {
        item->setText(text);
    }
    if (item->toolTip() != tip) {
        item->setToolTip(tip);
    }
    if (item->font().bold() != bBold) {
        QFont font = table.font();
        font.setBold(bBold);
        item->setFont(font);
    }
}

QString Clock24(qint64 utc, int offset, bool bWithOffset) {
    // The clock the period was lived by, as the dated reports show it; on a day whose offset changes,
    // with the offset, so that 02:43 -> 02:23 reads as the hour the clocks went back.
    QString text = QDateTime::fromSecsSinceEpoch(utc + offset, Qt::UTC).toString(QStringLiteral("HH:mm:ss"));
    if (bWithOffset) {
        const int minutes = std::abs(offset) / 60;
        text += QStringLiteral(" %1%2:%3")
                    .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                    .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                    .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

// A note on one line, for its column; the tooltip shows it whole.
QString NoteLine(const QString& note) {
    QString line = note;
    for (QChar& c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            c = QLatin1Char(' ');
        }
    }
    return line.simplified();
}

QString NoteTip(const QString& note) {
    QString plain = note;
    plain.replace(QChar(0), QLatin1Char(' '));
    return plain.isEmpty()
               ? QString()
               : QStringLiteral("<p style='white-space:pre-wrap'>%1</p>").arg(plain.toHtmlEscaped());
}

} // namespace

CHistoryWindow::CHistoryWindow(const JournalSink& sink, const CTimerLedger& ledger, const Clock& clock,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), m_sink(sink), m_ledger(ledger), m_clock(clock), m_journal(sink.Path()) {
    setWindowTitle(QStringLiteral("Kelvra History"));
    const Sql::Status opened = m_journal.OpenForReading();
    if (!opened.Ok()) {
        m_readProblem = QStringLiteral("The history journal %1 cannot be read: %2.")
                            .arg(m_journal.Path(), opened.message);
    }
    BuildWidgets();
    m_tick.setInterval(kTickMs);
    connect(&m_tick, &QTimer::timeout, this, &CHistoryWindow::Refresh);
    const QDate today = QDateTime::fromSecsSinceEpoch(m_clock.Now()).date();
    m_day = today;
    m_monday = JournalWeek::MondayOf(today);
    // Ten names and the total row fit without scrolling, below a chart of a useful height.
    resize(960, 740);
}

CHistoryWindow::~CHistoryWindow() = default;

void CHistoryWindow::BuildWidgets() {
    auto* layout = new QVBoxLayout(this);
    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    m_problem->setTextFormat(Qt::PlainText);
    layout->addWidget(m_problem);

    auto* bar = new QHBoxLayout;
    const auto button = [&](const QString& text, const QString& tip, auto action) {
        auto* b = new QPushButton(text, this);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QPushButton::clicked, this, action);
        bar->addWidget(b);
        return b;
    };
    button(QStringLiteral("< Previous"), QStringLiteral("The week or month before (Page Up)"),
           [this] { Step(-1); });
    button(QStringLiteral("Today"), QStringLiteral("The week or month of today"), [this] { GoTo(Today()); });
    m_next = button(QStringLiteral("Next >"), QStringLiteral("The week or month after (Page Down)"),
                    [this] { Step(1); });
    m_goTo = new QDateEdit(this);
    m_goTo->setCalendarPopup(true);
    m_goTo->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_goTo->setToolTip(QStringLiteral("Go to the week or month of a day"));
    m_goTo->setAccessibleName(QStringLiteral("Go to day"));
    connect(m_goTo, &QDateEdit::dateChanged, this, [this](QDate day) {
        if (!m_bShowingDay) {
            GoTo(day);
        }
    });
    bar->addWidget(m_goTo);
    m_range = new QLabel(this);
    bar->addSpacing(12);
    bar->addWidget(m_range, 1);
    m_export = button(QStringLiteral("Export CSV..."), QStringLiteral("Save what is shown as CSV"),
                      [this] { OnExport(); });
    layout->addLayout(bar);

    // The board's Undo and Redo, here with their usual keys (Ctrl+Shift+Z for Redo everywhere).
    for (const bool bRedo : {false, true}) {
        QList<QKeySequence> keys = QKeySequence::keyBindings(bRedo ? QKeySequence::Redo : QKeySequence::Undo);
        if (bRedo && !keys.contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z))) {
            keys << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
        }
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, bRedo] { Undo(bRedo); });
        addAction(action);
    }

    // Page Up and Page Down move by a week wherever the focus is, also in the table and the list.
    for (const auto& [key, step] : {std::pair{Qt::Key_PageUp, -1}, {Qt::Key_PageDown, 1}}) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, step] { Step(step); });
        addAction(action);
    }

    m_tabs = new QTabWidget(this);
    auto* week = new QWidget;
    auto* weekLayout = new QVBoxLayout(week);
    m_chart = new CWeekChart(week);
    connect(m_chart, &CWeekChart::dayClicked, this, [this](int day) { ShowDay(m_monday.addDays(day)); });
    weekLayout->addWidget(m_chart, 2);
    m_empty = new QLabel(QStringLiteral("Nothing recorded this week"), week);
    m_empty->setAlignment(Qt::AlignCenter);
    weekLayout->addWidget(m_empty);
    auto* groupBar = new QHBoxLayout;
    groupBar->addStretch(1);
    groupBar->addWidget(new QLabel(QStringLiteral("Group by:"), week));
    m_groupBy = new QComboBox(week);
    m_groupBy->addItems({QStringLiteral("Name"), QStringLiteral("Timer row")});
    m_groupBy->setToolTip(QStringLiteral("By timer row, a renamed timer is one row under its current name"));
    connect(m_groupBy, &QComboBox::currentIndexChanged, this, [this] { Rebuild(); });
    groupBar->addWidget(m_groupBy);
    weekLayout->addLayout(groupBar);
    m_table = new QTableWidget(0, JournalWeek::kDays + 2, week);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    m_table->setColumnWidth(0, kNameWidth + 12);
    m_table->horizontalHeader()->setToolTip(QStringLiteral("Click a day to list its periods"));
    // A day's header (or a double-click in its column) lists that day's periods.
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (column >= 1 && column <= JournalWeek::kDays) {
            ShowDay(m_monday.addDays(column - 1));
        }
    });
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int, int column) {
        if (column >= 1 && column <= JournalWeek::kDays) {
            ShowDay(m_monday.addDays(column - 1));
        }
    });
    // Ten names and the total row without scrolling.
    m_table->setMinimumHeight(m_table->horizontalHeader()->sizeHint().height() +
                              11 * m_table->verticalHeader()->defaultSectionSize() +
                              2 * m_table->frameWidth());
    weekLayout->addWidget(m_table, 3);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        const int column = m_table->columnAt(at.x());
        if (!m_correct || column < 1 || column > JournalWeek::kDays) {
            return;
        }
        QMenu menu(this);
        const QDate day = m_monday.addDays(column - 1);
        menu.addAction(QStringLiteral("Add period..."), this, [this, day] { AddOnDay(day); })
            ->setEnabled(m_sink.IsRecording());
        menu.exec(m_table->viewport()->mapToGlobal(at));
    });
    m_tabs->addTab(week, QStringLiteral("Week"));

    auto* periods = new QWidget;
    auto* periodsLayout = new QVBoxLayout(periods);
    auto* dayBar = new QHBoxLayout;
    m_days = new QButtonGroup(this);
    for (int day = 0; day < JournalWeek::kDays; ++day) {
        auto* b = new QToolButton(periods);
        b->setCheckable(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_days->addButton(b, day);
        dayBar->addWidget(b);
    }
    connect(m_days, &QButtonGroup::idClicked, this, [this](int day) { ShowDay(m_monday.addDays(day)); });
    periodsLayout->addLayout(dayBar);
    m_periods = new QTreeWidget(periods);
    m_periods->setRootIsDecorated(false);
    m_periods->setUniformRowHeights(true);
    m_periods->setHeaderLabels({QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Timer"),
                                QStringLiteral("Duration"), QStringLiteral("Note")});
    m_periods->setColumnWidth(0, 90);
    m_periods->setColumnWidth(1, 90);
    m_periods->setColumnWidth(2, kNameWidth + 12);
    m_periods->setColumnWidth(3, 110);
    m_periods->installEventFilter(this);
    m_periods->viewport()->installEventFilter(this);
    connect(m_periods, &QTreeWidget::itemDoubleClicked, this, [this] { EditCurrent(); });
    periodsLayout->addWidget(m_periods);
    m_dayTotal = new QLabel(periods);
    m_dayTotal->setAlignment(Qt::AlignRight);
    periodsLayout->addWidget(m_dayTotal);
    m_tabs->addTab(periods, QStringLiteral("Periods"));

    auto* month = new QWidget;
    auto* monthLayout = new QVBoxLayout(month);
    m_monthTotal = new QLabel(month);
    monthLayout->addWidget(m_monthTotal);
    m_calendar = new QTableWidget(6, JournalWeek::kDays, month);
    m_calendar->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_calendar->verticalHeader()->hide();
    m_calendar->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_calendar->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    QStringList weekdays;
    for (int day = 1; day <= JournalWeek::kDays; ++day) {
        weekdays << locale().dayName(day, QLocale::ShortFormat);
    }
    m_calendar->setHorizontalHeaderLabels(weekdays);
    connect(m_calendar, &QTableWidget::cellClicked, this, [this](int row, int column) {
        const QTableWidgetItem* item = m_calendar->item(row, column);
        if (item != nullptr && item->data(Qt::UserRole).toDate().isValid()) {
            ShowDay(item->data(Qt::UserRole).toDate());
        }
    });
    monthLayout->addWidget(m_calendar, 3);
    m_monthNames = new QTableWidget(0, 2, month);
    m_monthNames->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_monthNames->verticalHeader()->hide();
    m_monthNames->setHorizontalHeaderLabels({QStringLiteral("Timer"), QStringLiteral("Month")});
    m_monthNames->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    monthLayout->addWidget(m_monthNames, 2);
    m_tabs->addTab(month, QStringLiteral("Month"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == kMonthTab) {
            ShowMonth(m_day);
        } else {
            UpdateRange();
        }
    });
    layout->addWidget(m_tabs, 1);
}

void CHistoryWindow::SetPeriodMenu(std::function<void(QMenu& menu, int timerIndex)> fill) {
    m_fillMenu = std::move(fill);
}

bool CHistoryWindow::IsPeriodsView() const {
    return m_tabs->currentIndex() == kPeriodsTab;
}

void CHistoryWindow::ShowWeek(QDate day) {
    const QDate monday = JournalWeek::MondayOf(day);
    m_day = monday.addDays(m_monday.isValid() ? m_monday.daysTo(m_day) : 0);
    m_monday = monday;
    Load();
}

void CHistoryWindow::ShowDay(QDate day) {
    m_tabs->setCurrentIndex(kPeriodsTab);
    const bool bOtherWeek = JournalWeek::MondayOf(day) != m_monday;
    m_day = day;
    m_monday = JournalWeek::MondayOf(day);
    bOtherWeek ? Load() : Rebuild();
}

QDate CHistoryWindow::Today() const {
    return QDateTime::fromSecsSinceEpoch(m_ledger.Now()).date();
}

bool CHistoryWindow::IsMonthView() const {
    return m_tabs->currentIndex() == kMonthTab;
}

void CHistoryWindow::Step(int step) {
    // Never past the week or month of today: nothing is recorded there yet.
    if (IsMonthView()) {
        const QDate first = m_monthFirst.addMonths(step);
        if (first <= JournalMonth::FirstOf(Today())) {
            ShowMonth(first);
        }
        return;
    }
    const QDate monday = m_monday.addDays(step * JournalWeek::kDays);
    if (monday <= JournalWeek::MondayOf(Today())) {
        ShowWeek(monday);
    }
}

void CHistoryWindow::GoTo(QDate day) {
    day = std::min(day, Today());
    if (IsMonthView()) {
        ShowMonth(day);
    } else if (IsPeriodsView()) {
        ShowDay(day);
    } else {
        ShowWeek(day);
    }
}

void CHistoryWindow::ShowMonth(QDate day) {
    m_tabs->setCurrentIndex(kMonthTab);
    m_monthFirst = JournalMonth::FirstOf(day);
    m_monthRead.clear();
    if (m_readProblem.isEmpty()) {
        JournalQuery query(m_journal);
        const Sql::Status status = JournalReport::Fetch(
            query, m_monthFirst, m_monthFirst.addDays(m_monthFirst.daysInMonth() - 1), m_monthRead);
        m_queryProblem = status.Ok() ? QString()
                                     : QStringLiteral("The history journal %1 cannot be read: %2.")
                                           .arg(m_journal.Path(), status.message);
    }
    RebuildMonth();
}

void CHistoryWindow::RebuildMonth() {
    std::vector<JournalQuery::Period> shown = m_monthRead;
    if (m_ledger.Running() != 0) {
        const int index = m_ledger.Running() - 1;
        JournalWeek::ApplyRunning(shown, index, m_ledger.Name(index), m_ledger.Start(), m_ledger.Now());
    }
    const JournalMonth month(m_monthFirst, shown, RowNames());
    m_monthTotal->setText(
        QStringLiteral("%1: %2").arg(locale().toString(m_monthFirst, QStringLiteral("MMMM yyyy")),
                                     JournalReport::Duration(month.Total())));
    // Weeks from Monday: the month's first row starts on the Monday before its first day.
    const QDate start = JournalWeek::MondayOf(m_monthFirst);
    for (int cell = 0; cell < 6 * JournalWeek::kDays; ++cell) {
        const QDate day = start.addDays(cell);
        const bool bInMonth = day.month() == m_monthFirst.month() && day.year() == m_monthFirst.year();
        QString text;
        QString tip;
        if (bInMonth) {
            const JournalMonth::Day& lived = month.DayAt(day);
            text = QString::number(day.day());
            if (lived.total != 0) {
                text += QLatin1Char('\n') + JournalWeek::HoursMinutes(lived.total);
            }
            for (const auto& [name, seconds] : lived.names) {
                tip += QStringLiteral("%1  %2\n").arg(JournalReport::Duration(seconds), name);
            }
        }
        SetCell(*m_calendar, cell / JournalWeek::kDays, cell % JournalWeek::kDays, text, Qt::AlignCenter,
                bInMonth && day == m_day, tip.trimmed());
        m_calendar->item(cell / JournalWeek::kDays, cell % JournalWeek::kDays)
            ->setData(Qt::UserRole, bInMonth ? day : QDate());
    }
    m_monthNames->setRowCount(static_cast<int>(month.Rows().size()));
    for (int row = 0; row < static_cast<int>(month.Rows().size()); ++row) {
        const JournalMonth::Row& data = month.Rows()[static_cast<size_t>(row)];
        SetCell(*m_monthNames, row, 0, data.name, Qt::AlignLeft, false, data.names.join(QLatin1Char('\n')));
        SetCell(*m_monthNames, row, 1, JournalWeek::HoursMinutes(data.total), Qt::AlignRight, false,
                JournalReport::Duration(data.total));
    }
    UpdateRange();
}

JournalWeek::RowName CHistoryWindow::RowNames() const {
    if (m_groupBy->currentIndex() == 0) {
        return {};
    }
    return [this](int index) {
        return index >= 0 && index < CTimerLedger::kTimers ? m_ledger.Name(index)
                                                           : QString::number(index + 1);
    };
}

void CHistoryWindow::UpdateRange() {
    const bool bMonth = IsMonthView();
    if (bMonth) {
        m_range->setText(locale().toString(m_monthFirst, QStringLiteral("MMMM yyyy")));
    } else {
        const QDate sunday = m_monday.addDays(JournalWeek::kDays - 1);
        m_range->setText(QStringLiteral("Week %1: %2 to %3")
                             .arg(m_monday.weekNumber())
                             .arg(locale().toString(m_monday, QLocale::ShortFormat),
                                  locale().toString(sunday, QLocale::ShortFormat)));
    }
    m_next->setEnabled(bMonth ? m_monthFirst < JournalMonth::FirstOf(Today())
                              : m_monday < JournalWeek::MondayOf(Today()));
    m_bShowingDay = true; // the picker follows what is shown without moving it again
    m_goTo->setMaximumDate(Today());
    m_goTo->setDate(bMonth ? m_monthFirst : IsPeriodsView() ? m_day : m_monday);
    m_bShowingDay = false;
}

void CHistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_dataVersion.reset(); // whatever changed while hidden is read again
    Refresh();
    m_tick.start();
}

void CHistoryWindow::hideEvent(QHideEvent* event) {
    m_tick.stop();
    QWidget::hideEvent(event);
}

void CHistoryWindow::Refresh() {
    // data_version changes when another connection (the board's sink) commits: nothing else needs a read.
    qint64 version = 0;
    if (m_readProblem.isEmpty() && !m_journal.Database().QueryInt("PRAGMA data_version", version).Ok()) {
        version = -1;
    }
    if (!m_dataVersion || *m_dataVersion != version) {
        m_dataVersion = version;
        Load();
        if (IsMonthView()) {
            ShowMonth(m_monthFirst);
        }
    } else if (m_ledger.Running() != 0 || m_bWasRunning) {
        Rebuild();
        if (IsMonthView()) {
            RebuildMonth();
        }
    }
}

void CHistoryWindow::Load() {
    m_read.clear();
    if (m_readProblem.isEmpty()) {
        JournalQuery query(m_journal);
        const Sql::Status status =
            JournalReport::Fetch(query, m_monday, m_monday.addDays(JournalWeek::kDays - 1), m_read);
        m_queryProblem = status.Ok() ? QString()
                                     : QStringLiteral("The history journal %1 cannot be read: %2.")
                                           .arg(m_journal.Path(), status.message);
    }
    Rebuild();
}

QString CHistoryWindow::DayLabel(QDate day) const {
    return QStringLiteral("%1 %2")
        .arg(locale().dayName(day.dayOfWeek(), QLocale::ShortFormat))
        .arg(day.day());
}

void CHistoryWindow::Rebuild() {
    m_shown = m_read;
    m_bWasRunning = m_ledger.Running() != 0;
    if (m_bWasRunning) {
        const int index = m_ledger.Running() - 1;
        JournalWeek::ApplyRunning(m_shown, index, m_ledger.Name(index), m_ledger.Start(), m_ledger.Now());
    }
    // Nothing that would write is offered while the board does not record: no period menu.
    QString problem = !m_readProblem.isEmpty() ? m_readProblem : m_queryProblem;
    if (problem.isEmpty() && !m_sink.IsRecording()) {
        problem = QStringLiteral("The history journal %1 is not being recorded: this window only shows what "
                                 "it holds, and periods cannot be corrected here.")
                      .arg(m_journal.Path());
    }
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_export->setEnabled(m_readProblem.isEmpty() && m_queryProblem.isEmpty());

    UpdateRange();
    const JournalWeek week(m_monday, m_shown, RowNames());
    QStringList days;
    for (int day = 0; day < JournalWeek::kDays; ++day) {
        days << DayLabel(m_monday.addDays(day));
        m_days->button(day)->setText(days.back());
        m_days->button(day)->setChecked(m_monday.addDays(day) == m_day);
    }
    m_chart->SetWeek(week, days);
    m_empty->setVisible(week.IsEmpty());
    m_table->setVisible(!week.IsEmpty());
    ShowTable(week);
    ShowPeriods();
}

void CHistoryWindow::ShowTable(const JournalWeek& week) {
    QStringList header{QStringLiteral("Timer")};
    for (int day = 0; day < JournalWeek::kDays; ++day) {
        header << DayLabel(m_monday.addDays(day));
    }
    header << QStringLiteral("Total");
    m_table->setHorizontalHeaderLabels(header);
    const int rows = static_cast<int>(week.Rows().size());
    m_table->setRowCount(rows + 1);
    const auto showRow = [&](int row, const JournalWeek::Row& data, const QString& name, bool bTotals) {
        // By timer row, the names the row had this week are its tooltip.
        SetCell(*m_table, row, 0, m_table->fontMetrics().elidedText(name, Qt::ElideRight, kNameWidth),
                Qt::AlignLeft, bTotals,
                data.names.size() > 1 || name.size() > 30 ? data.names.join(QLatin1Char('\n')) : QString());
        // Cells to the nearest minute; the exact time is their tooltip.
        for (int day = 0; day < JournalWeek::kDays; ++day) {
            const qint64 seconds = data.seconds[static_cast<size_t>(day)];
            const bool bShown = seconds != 0 || bTotals;
            SetCell(*m_table, row, day + 1, bShown ? JournalWeek::HoursMinutes(seconds) : QString(),
                    Qt::AlignRight, bTotals, bShown ? JournalReport::Duration(seconds) : QString());
        }
        SetCell(*m_table, row, JournalWeek::kDays + 1, JournalWeek::HoursMinutes(data.total), Qt::AlignRight,
                true, JournalReport::Duration(data.total));
    };
    for (int row = 0; row < rows; ++row) {
        const JournalWeek::Row& data = week.Rows()[static_cast<size_t>(row)];
        showRow(row, data, data.name, false);
    }
    showRow(rows, week.Totals(), QStringLiteral("Total"), true);
}

void CHistoryWindow::ShowPeriods() {
    const std::vector<LivedDays::Piece> pieces = JournalWeek::PiecesOf(m_day, m_shown);
    // Time added or removed by hand on this day: rows of their own after the periods, counted in the
    // day's total as in the week.
    std::vector<const JournalQuery::Period*> adjustments;
    for (const JournalQuery::Period& period : m_shown) {
        if (period.adjustedDay == m_day) {
            adjustments.push_back(&period);
        }
    }
    const int rows = static_cast<int>(pieces.size() + adjustments.size());
    while (m_periods->topLevelItemCount() > rows) {
        delete m_periods->takeTopLevelItem(m_periods->topLevelItemCount() - 1);
    }
    const bool bOffsets = std::any_of(pieces.begin(), pieces.end(), [&](const LivedDays::Piece& piece) {
        return piece.startOffset != pieces.front().startOffset ||
               piece.endOffset != pieces.front().startOffset;
    });
    qint64 total = 0;
    for (size_t n = 0; n < pieces.size(); ++n) {
        const LivedDays::Piece& piece = pieces[n];
        const JournalQuery::Period& period = *piece.period;
        const int at = static_cast<int>(n);
        QTreeWidgetItem* item = m_periods->topLevelItem(at);
        if (item == nullptr) {
            item = new QTreeWidgetItem(m_periods);
            item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        }
        total += piece.end - piece.start;
        const QString texts[] = {Clock24(piece.start, piece.startOffset, bOffsets),
                                 Clock24(piece.end, piece.endOffset, bOffsets),
                                 m_periods->fontMetrics().elidedText(period.name, Qt::ElideRight, kNameWidth),
                                 JournalReport::Duration(piece.end - piece.start) +
                                     (period.bRunning ? QStringLiteral(" (running)") : QString()),
                                 NoteLine(period.note)};
        for (int column = 0; column <= kNoteColumn; ++column) {
            if (item->text(column) != texts[column]) {
                item->setText(column, texts[column]);
            }
        }
        if (item->data(0, kNoteRole).toString() != period.note) {
            item->setToolTip(kNoteColumn, NoteTip(period.note));
        }
        item->setData(0, kIndexRole, period.index);
        item->setData(0, kIdRole, period.id);
        item->setData(0, kRunningRole, period.bRunning);
        item->setData(0, kStartRole, period.start);
        item->setData(0, kEndRole, period.end);
        item->setData(0, kNoteRole, period.note);
    }
    for (size_t n = 0; n < adjustments.size(); ++n) {
        const JournalQuery::Period& adjustment = *adjustments[n];
        const int at = static_cast<int>(pieces.size() + n);
        QTreeWidgetItem* item = m_periods->topLevelItem(at);
        if (item == nullptr) {
            item = new QTreeWidgetItem(m_periods);
            item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        }
        total += adjustment.end;
        const QString texts[] = {
            QStringLiteral("adjustment"), QString(),
            m_periods->fontMetrics().elidedText(adjustment.name, Qt::ElideRight, kNameWidth),
            (adjustment.end >= 0 ? QStringLiteral("+") : QString()) + JournalReport::Duration(adjustment.end),
            QStringLiteral("Added or removed by hand")};
        for (int column = 0; column <= kNoteColumn; ++column) {
            item->setText(column, texts[column]);
        }
        item->setToolTip(kNoteColumn, QString());
        item->setData(0, kIndexRole, adjustment.index);
        item->setData(0, kIdRole, 0); // not a period: Undo takes it back
        item->setData(0, kRunningRole, false);
        item->setData(0, kNoteRole, QString());
    }
    m_dayTotal->setText(QStringLiteral("Total %1").arg(JournalReport::Duration(total)));
}

bool CHistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == m_periods &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        DeleteCurrent();
        return true;
    }
    if (event->type() != QEvent::ContextMenu || (watched != m_periods && watched != m_periods->viewport())) {
        return QWidget::eventFilter(watched, event);
    }
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    // The Menu key opens the menu of the current row; the mouse, that of the row under it.
    QTreeWidgetItem* item = menuEvent->reason() == QContextMenuEvent::Keyboard
                                ? m_periods->currentItem()
                                : m_periods->itemAt(m_periods->viewport()->mapFrom(
                                      static_cast<QWidget*>(watched), menuEvent->pos()));
    const QPoint at = item != nullptr && menuEvent->reason() == QContextMenuEvent::Keyboard
                          ? m_periods->viewport()->mapToGlobal(m_periods->visualItemRect(item).center())
                          : menuEvent->globalPos();
    OpenPeriodMenu(item, at);
    return true;
}

void CHistoryWindow::OpenPeriodMenu(QTreeWidgetItem* item, QPoint globalPos) {
    if (!m_sink.IsRecording()) {
        return;
    }
    QMenu menu(this);
    if (m_correct) {
        const bool bStored = item != nullptr && item->data(0, kIdRole).toLongLong() != 0;
        const bool bRunning = item != nullptr && item->data(0, kRunningRole).toBool();
        if (item != nullptr) {
            m_periods->setCurrentItem(item);
            menu.addAction(QStringLiteral("Edit period..."), this, &CHistoryWindow::EditCurrent)
                ->setEnabled(bStored);
            menu.addAction(QStringLiteral("Split period..."), this, &CHistoryWindow::SplitCurrent)
                ->setEnabled(bStored);
            QAction* remove =
                menu.addAction(QStringLiteral("Delete period"), this, &CHistoryWindow::DeleteCurrent);
            remove->setShortcut(QKeySequence::Delete);
            remove->setEnabled(bStored && !bRunning);
        }
        menu.addAction(QStringLiteral("Add period..."), this, [this] { AddOnDay(m_day); });
    }
    if (item != nullptr && m_fillMenu) {
        if (!menu.isEmpty()) {
            menu.addSeparator();
        }
        m_fillMenu(menu, item->data(0, kIndexRole).toInt());
    }
    if (!menu.isEmpty()) {
        menu.exec(globalPos);
    }
}

void CHistoryWindow::SetCorrector(Corrector correct) {
    m_correct = std::move(correct);
}

QStringList CHistoryWindow::TimerNames() const {
    QStringList names;
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        names << m_ledger.Name(i);
    }
    return names;
}

void CHistoryWindow::Tell(const QString& problem) {
    m_lastProblem = problem;
    if (!problem.isEmpty()) {
        QMessageBox box(QMessageBox::Information, windowTitle(), problem, QMessageBox::Ok, this);
        if (m_dialogHook) {
            m_dialogHook(box);
        }
        box.exec();
    }
}

QString CHistoryWindow::Impact(qint64 period, int oldIndex, int index, qint64 start) {
    bool bCounts = false;
    bool bOldCounts = false;
    JournalEdits edits(m_journal);
    edits.Counts(period, index, start, bCounts);
    if (period != 0 && oldIndex != index) {
        edits.Counts(period, oldIndex, start, bOldCounts);
    }
    const QString name = Kelvra::QuotedName(m_ledger.Name(index));
    if (bCounts || bOldCounts) {
        return QStringLiteral("Charged since the last reset of %1: the board's time changes too.").arg(name);
    }
    return QStringLiteral("Before the last reset of %1: only the history changes, not the board.").arg(name);
}

QString CHistoryWindow::Apply(PeriodSink::Correction correction, QWidget* asker) {
    if (!m_correct) {
        return QStringLiteral("The periods cannot be corrected here.");
    }
    PeriodSink::Corrected result = m_correct(correction);
    if (result.outcome == PeriodSink::Corrected::Outcome::Overlap) {
        QMessageBox box(QMessageBox::Question, windowTitle(),
                        result.problem + QStringLiteral("\nCut the other period back to make room?"),
                        QMessageBox::Yes | QMessageBox::No, asker);
        if (m_dialogHook) {
            m_dialogHook(box);
        }
        if (box.exec() != QMessageBox::Yes) {
            return result.problem;
        }
        correction.bTrim = true;
        result = m_correct(correction);
    }
    m_dataVersion.reset();
    Refresh();
    return result.outcome == PeriodSink::Corrected::Outcome::Done ? QString() : result.problem;
}

void CHistoryWindow::EditCurrent() {
    const QTreeWidgetItem* item = m_periods->currentItem();
    if (item == nullptr || item->data(0, kIdRole).toLongLong() == 0 || !m_correct) {
        return;
    }
    const qint64 id = item->data(0, kIdRole).toLongLong();
    const int index = item->data(0, kIndexRole).toInt();
    const bool bRunning = item->data(0, kRunningRole).toBool();
    const CPeriodDlg::Values values{index, item->data(0, kStartRole).toLongLong(),
                                    bRunning ? m_ledger.Now() : item->data(0, kEndRole).toLongLong(),
                                    item->data(0, kNoteRole).toString()};
    RunPeriodDialog(PeriodSink::Correction::Kind::Edit, id, index, values, bRunning);
}

std::optional<CPeriodDlg::Values> CHistoryWindow::RunPeriodDialog(PeriodSink::Correction::Kind kind,
                                                                  qint64 id, int index,
                                                                  const CPeriodDlg::Values& values,
                                                                  bool bRunning) {
    const bool bEdit = kind == PeriodSink::Correction::Kind::Edit;
    CPeriodDlg dialog(bEdit ? QStringLiteral("Edit period") : QStringLiteral("Add period"), TimerNames(),
                      values, bRunning, this);
    dialog.SetImpact([this, id, index](const CPeriodDlg::Values& v) {
        return Impact(id, id != 0 ? index : v.index, v.index, v.start);
    });
    dialog.SetApply([this, kind, id, &dialog](const CPeriodDlg::Values& v) {
        PeriodSink::Correction correction;
        correction.kind = kind;
        correction.period = id;
        correction.index = v.index;
        correction.name = m_ledger.Name(v.index);
        correction.start = v.start;
        correction.end = v.end;
        correction.note = v.note;
        return Apply(correction, &dialog);
    });
    if (m_dialogHook) {
        m_dialogHook(dialog);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Current();
}

void CHistoryWindow::AddOnDay(QDate day) {
    if (!m_correct) {
        return;
    }
    // An hour from nine on that day, or the hour before now on today.
    const qint64 now = m_ledger.Now();
    qint64 start = day.startOfDay().addSecs(9 * 3600).toSecsSinceEpoch();
    if (start + 3600 > now) {
        start = now - 3600;
    }
    const int index = std::max(0, m_ledger.Running() - 1);
    if (const auto added = RunPeriodDialog(PeriodSink::Correction::Kind::Add, 0, index,
                                           {index, start, start + 3600, {}}, false)) {
        ShowDay(QDateTime::fromSecsSinceEpoch(added->start).date());
    }
}

void CHistoryWindow::SplitCurrent() {
    const QTreeWidgetItem* item = m_periods->currentItem();
    if (item == nullptr || item->data(0, kIdRole).toLongLong() == 0 || !m_correct) {
        return;
    }
    const qint64 start = item->data(0, kStartRole).toLongLong();
    const qint64 end =
        item->data(0, kRunningRole).toBool() ? m_ledger.Now() : item->data(0, kEndRole).toLongLong();
    if (end - start < 2) {
        Tell(QStringLiteral("This period is too short to split."));
        return;
    }
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Split period"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(
        new QLabel(QStringLiteral("Split %1 at:").arg(Kelvra::QuotedName(item->text(2))), &dialog));
    auto* at = new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(start + (end - start) / 2), &dialog);
    at->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    at->setDateTimeRange(QDateTime::fromSecsSinceEpoch(start + 1), QDateTime::fromSecsSinceEpoch(end - 1));
    layout->addWidget(at);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (m_dialogHook) {
        m_dialogHook(dialog);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    PeriodSink::Correction correction;
    correction.kind = PeriodSink::Correction::Kind::Split;
    correction.period = item->data(0, kIdRole).toLongLong();
    correction.start = at->dateTime().toSecsSinceEpoch();
    Tell(Apply(correction, this));
}

void CHistoryWindow::DeleteCurrent() {
    const QTreeWidgetItem* item = m_periods->currentItem();
    if (item == nullptr || item->data(0, kIdRole).toLongLong() == 0 || !m_correct) {
        return;
    }
    // No question first: Undo takes it back.
    PeriodSink::Correction correction;
    correction.kind = PeriodSink::Correction::Kind::Delete;
    correction.period = item->data(0, kIdRole).toLongLong();
    Tell(Apply(correction, this));
}

void CHistoryWindow::Undo(bool bRedo) {
    if (!m_correct) {
        return;
    }
    PeriodSink::Correction correction;
    correction.kind = bRedo ? PeriodSink::Correction::Kind::Redo : PeriodSink::Correction::Kind::Undo;
    Tell(Apply(correction, this));
}

QString CHistoryWindow::Csv() const {
    const bool bDay = IsPeriodsView();
    const JournalReport::Request request{bDay ? JournalReport::Unit::Period : JournalReport::Unit::Day,
                                         Kelvra::ReportFormat::Csv, bDay ? m_day : m_monday,
                                         bDay ? m_day : m_monday.addDays(JournalWeek::kDays - 1),
                                         QTimeZone()}; // each period in the zone it was lived in, as shown
    return JournalReport::Render(request, m_shown);
}

QString CHistoryWindow::ExportCsv(const QString& path) const {
    QSaveFile file(path);
    const QByteArray bytes = Csv().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return file.errorString();
    }
    return {};
}

void CHistoryWindow::OnExport() {
    int year = 0;
    const int number = m_monday.weekNumber(&year);
    const QString name = IsPeriodsView()
                             ? m_day.toString(Qt::ISODate)
                             : QStringLiteral("%1-W%2").arg(year).arg(number, 2, 10, QLatin1Char('0'));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"),
                                                      QStringLiteral("kelvra-%1.csv").arg(name),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    const QString problem = ExportCsv(path);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Kelvra History"),
                             QStringLiteral("The CSV file %1 could not be written: %2.").arg(path, problem));
    }
}
