// The history window on real journal files written as the board writes them, driven through its widgets.
#include "../FileBytes.h"
#include "../journal/BoardOnFiles.h"
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "dialogs/PeriodDlg.h"
#include "history/HistoryWindow.h"
#include "history/WeekChart.h"
#include "journal/JournalReport.h"
#include "platform/AccessibleRoles.h"
#include "res/resource.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <ctime>
#include <set>

namespace {

qint64 Utc(const char* isoWithOffset) {
    return QDateTime::fromString(QLatin1String(isoWithOffset), Qt::ISODate).toSecsSinceEpoch();
}

// A board on real files, on a settable clock in the week the tests look at.
struct Board : BoardOnFiles {
    explicit Board(const QString& folder) : BoardOnFiles(folder, Utc("2026-03-25T12:00:00+01:00")) {}
};

// Closed periods written through the journal's own calls, before the board attaches.
void Write(const QString& path, const QList<std::tuple<int, QString, qint64, qint64>>& periods) {
    Journal journal(path);
    QVERIFY(journal.OpenForWriting().status.Ok());
    for (const auto& [index, name, start, end] : periods) {
        QVERIFY(journal.EndPeriod(index, name, start, end).Ok());
    }
}

QStringList Rows(const QTableWidget& table) {
    QStringList rows;
    for (int row = 0; row < table.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table.columnCount(); ++column) {
            cells << table.item(row, column)->text();
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// A right-click at the centre of a row of the list.
void RightClick(QTreeWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &click);
}

QString ReportCsv(const QString& journalPath, JournalReport::Unit unit, QDate from, QDate to) {
    Journal journal(journalPath);
    QString out;
    JournalQuery query(journal);
    return journal.OpenForReading().Ok() &&
                   JournalReport::Render(query, {unit, Kelvra::ReportFormat::Csv, from, to, {}}, to, out).Ok()
               ? out
               : QStringLiteral("failed");
}

} // namespace

class TestHistory final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // Central European time: summer time begins on Sunday 2026-03-29 at 02:00. Under wine it is the
        // zone wine started with (ctest names it), which Windows' C library follows only without TZ.
#ifdef Q_OS_WIN
        _putenv("TZ=");
#else
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
#endif
        tzset();
    }

    // The week of the spring change: a period across midnight, one from the week before, and a Sunday of
    // 23 hours; the table, the export's bytes, the periods of a day and moving between weeks.
    void weekAcrossMidnightAndSummerTime() {
        QTemporaryDir dir;
        Board board(dir.path());
        Write(
            board.sink.Path(),
            {{2, QStringLiteral("Gamma"), Utc("2026-03-22T23:00:00+01:00"), Utc("2026-03-23T00:30:00+01:00")},
             {0, QStringLiteral("Alpha"), Utc("2026-03-23T09:00:00+01:00"), Utc("2026-03-23T11:30:00+01:00")},
             {1, QStringLiteral("Beta"), Utc("2026-03-24T22:00:00+01:00"), Utc("2026-03-25T01:00:00+01:00")},
             {0, QStringLiteral("Alpha"), Utc("2026-03-28T22:00:00+01:00"),
              Utc("2026-03-30T00:00:00+02:00")}});
        board.Start();
        AccessibleRoles::Install();
        CHistoryWindow window(board.sink, board.ledger, board.clock);
        window.show();
        QCOMPARE(QAccessible::queryAccessibleInterface(&window)->role(), QAccessible::Window); // a frame
        auto* table = &window.WeekTable();
        QCOMPARE(window.Monday(), QDate(2026, 3, 23));
        QCOMPARE(Rows(*table),
                 QStringList({"Alpha|2:30|||||2:00|23:00|27:30", "Beta||2:00|1:00|||||3:00",
                              "Gamma|0:30|||||||0:30", "Total|3:00|2:00|1:00|0:00|0:00|2:00|23:00|31:00"}));
        QCOMPARE(table->horizontalHeaderItem(1)->text(),
                 QStringLiteral("%1 23").arg(QLocale().dayName(1, QLocale::ShortFormat)));

        const QString csv = window.Csv();
        QCOMPARE(csv, ReportCsv(board.sink.Path(), JournalReport::Unit::Day, {2026, 3, 23}, {2026, 3, 29}));
        const QString file = dir.filePath(QStringLiteral("week.csv"));
        QCOMPARE(window.ExportCsv(file), QString());
        QCOMPARE(FileBytes(file), csv.toUtf8());
        QVERIFY(!window.ExportCsv(dir.path()).isEmpty()); // a folder cannot be written as a file

        // The day summer time begins: times carry their offsets, or 00:00 -> 00:00 would read as nothing.
        window.ShowDay({2026, 3, 29});
        QCOMPARE(window.PeriodsList().topLevelItem(0)->text(0), QStringLiteral("00:00:00 +01:00"));
        QCOMPARE(window.PeriodsList().topLevelItem(0)->text(1), QStringLiteral("00:00:00 +02:00"));
        QCOMPARE(window.DayTotal().text(), QStringLiteral("Total 23:00:00"));

        window.ShowDay({2026, 3, 25}); // the periods view: Beta's part after midnight
        QVERIFY(window.IsPeriodsView());
        auto* periods = window.findChild<QTreeWidget*>();
        QCOMPARE(periods->topLevelItemCount(), 1);
        QStringList cells;
        for (int column = 0; column < 4; ++column) {
            cells << periods->topLevelItem(0)->text(column);
        }
        QCOMPARE(cells, QStringList({"00:00:00", "01:00:00", "Beta", "1:00:00"}));
        QCOMPARE(window.Csv(),
                 ReportCsv(board.sink.Path(), JournalReport::Unit::Period, {2026, 3, 25}, {2026, 3, 25}));

        // Page Up and Page Down move by a week, wherever the focus is; the selected weekday stays. Nothing
        // lies past the week of today.
        QApplication::setActiveWindow(&window);
        periods->setFocus();
        QTest::keyClick(periods, Qt::Key_PageDown);
        QCOMPARE(window.SelectedDay(), QDate(2026, 3, 25));
        const QList<QPushButton*> buttons = window.findChildren<QPushButton*>();
        QVERIFY(std::any_of(buttons.begin(), buttons.end(), [](const QPushButton* button) {
            return button->text() == QLatin1String("Next >") && !button->isEnabled();
        }));
        QTest::keyClick(periods, Qt::Key_PageUp);
        QCOMPARE(window.Monday(), QDate(2026, 3, 16));
        QCOMPARE(Rows(*table).join(QLatin1Char('/')),
                 QStringLiteral("Gamma|||||||1:00|1:00/Total|0:00|0:00|0:00|0:00|0:00|0:00|1:00|1:00"));
        QTest::keyClick(periods, Qt::Key_PageUp);
        QCOMPARE(window.SelectedDay(), QDate(2026, 3, 11));
        QLabel* empty = nullptr;
        for (QLabel* label : window.findChildren<QLabel*>()) {
            empty = label->text() == QLatin1String("Nothing recorded this week") ? label : empty;
        }
        QVERIFY(empty != nullptr && !empty->isHidden() && table->isHidden());
        QVERIFY(window.findChild<CWeekChart*>()->LegendLabels().isEmpty());
    }

    // A renamed timer is one row when grouped by timer row, with its names as the tooltip; cells are
    // rounded to the minute with the exact time as their tooltip; the month view shows each day's total
    // and each row's month, leads to a day's periods, and goes no further than this month.
    void monthAndGrouping() {
        QTemporaryDir dir;
        Board board(dir.path());
        Write(board.sink.Path(), {{0, QStringLiteral("Alpha"), Utc("2026-03-02T09:00:00+01:00"),
                                   Utc("2026-03-02T09:29:40+01:00")},
                                  {0, QStringLiteral("Alpha 2"), Utc("2026-03-03T09:00:00+01:00"),
                                   Utc("2026-03-03T10:00:00+01:00")},
                                  {1, QStringLiteral("Beta"), Utc("2026-03-20T09:00:00+01:00"),
                                   Utc("2026-03-20T10:00:00+01:00")}});
        board.Start();
        CHistoryWindow window(board.sink, board.ledger, board.clock);
        window.show();
        window.ShowWeek({2026, 3, 2});
        QTableWidget& table = window.WeekTable();
        QCOMPARE(Rows(table).join(QLatin1Char('/')),
                 QStringLiteral("Alpha 2||1:00||||||1:00/Alpha|0:30|||||||0:30/"
                                "Total|0:30|1:00|0:00|0:00|0:00|0:00|0:00|1:30"));
        QCOMPARE(table.item(1, 1)->toolTip(), QStringLiteral("0:29:40"));
        window.findChild<QComboBox*>()->setCurrentIndex(1); // by timer row
        QCOMPARE(Rows(table).join(QLatin1Char('/')),
                 QStringLiteral("My Project Text 1|0:30|1:00||||||1:30/"
                                "Total|0:30|1:00|0:00|0:00|0:00|0:00|0:00|1:30"));
        QCOMPARE(table.item(0, 0)->toolTip(), QStringLiteral("Alpha\nAlpha 2"));

        window.ShowMonth({2026, 3, 15});
        QVERIFY(window.IsMonthView());
        auto tables = window.findChildren<QTableWidget*>();
        const auto calendar = std::find_if(tables.begin(), tables.end(),
                                           [](const QTableWidget* t) { return t->rowCount() == 6; });
        QVERIFY(calendar != tables.end());
        // 2026-03-01 is a Sunday: the first row starts on Monday 2026-02-23.
        QCOMPARE((*calendar)->item(1, 0)->text(), QStringLiteral("2\n0:30"));
        QCOMPARE((*calendar)->item(1, 0)->toolTip(), QStringLiteral("0:29:40  My Project Text 1"));
        QCOMPARE((*calendar)->item(0, 0)->text(), QString()); // February
        QCOMPARE((*calendar)->item(3, 4)->text(), QStringLiteral("20\n1:00"));
        const QList<QPushButton*> buttons = window.findChildren<QPushButton*>();
        QVERIFY(std::any_of(buttons.begin(), buttons.end(), [](const QPushButton* button) {
            return button->text() == QLatin1String("Next >") && !button->isEnabled();
        }));
        QTest::mouseClick((*calendar)->viewport(), Qt::LeftButton, {},
                          (*calendar)->visualItemRect((*calendar)->item(3, 4)).center());
        QVERIFY(window.IsPeriodsView());
        QCOMPARE(window.SelectedDay(), QDate(2026, 3, 20));
        QCOMPARE(window.DayTotal().text(), QStringLiteral("Total 1:00:00"));
    }

    // With more names than colours the chart sums the smallest as "Other", in grey even when it holds one
    // name; a very long name is cut.
    void manyNamesAndLongOnes() {
        for (const int count : {10, 11}) {
            QTemporaryDir dir;
            Board board(dir.path());
            QList<std::tuple<int, QString, qint64, qint64>> periods;
            const QString longName(10000, QLatin1Char('W'));
            for (int n = 0; n < count; ++n) { // n minutes more each: the order is known
                const qint64 start = Utc("2026-03-24T08:00:00+01:00") + n * 3600;
                periods.append({n % 10, n == count - 1 ? longName : QStringLiteral("Name %1").arg(n), start,
                                start + 600 + n * 60});
            }
            Write(board.sink.Path(), periods);
            board.Start();
            CHistoryWindow window(board.sink, board.ledger, board.clock);
            window.show();
            const auto* chart = window.findChild<CWeekChart*>();
            const QStringList legend = chart->LegendLabels();
            QCOMPARE(legend.size(), 10);
            QCOMPARE(legend.mid(1, 1) + legend.mid(9),
                     QStringList({QStringLiteral("Name %1").arg(count - 2), "Other"}));
            QCOMPARE(chart->Colours().back(), CWeekChart::Colour(0, true));
            std::set<QRgb> distinct;
            for (const QColor& colour : chart->Colours()) {
                distinct.insert(colour.rgb());
            }
            QCOMPARE(distinct.size(), size_t{10});
            auto* table = &window.WeekTable();
            QCOMPARE(table->rowCount(), count + 1);
            // At the window's own size, ten names and the total row need no scrolling.
            QVERIFY(table->viewport()->height() >= 11 * table->verticalHeader()->defaultSectionSize());
            QVERIFY(count > 10 || !table->verticalScrollBar()->isVisible());
            const auto cutTo = [](const QString& text, const QFontMetrics& metrics, int width) {
                return text.startsWith(QLatin1String("WWW")) && text.endsWith(QChar(0x2026)) &&
                       metrics.horizontalAdvance(text) <= width;
            };
            QVERIFY(cutTo(legend.first(), chart->fontMetrics(), CWeekChart::kLegendTextWidth));
            QVERIFY(cutTo(table->item(0, 0)->text(), table->fontMetrics(), CHistoryWindow::kNameWidth));
            QCOMPARE(table->item(0, 8)->text(), QStringLiteral("0:%1").arg(10 + count - 1));
        }
    }

    // The running period grows once a second while the window shows, not while it is hidden; a period the
    // board closes appears; its row's menu names its timer.
    void livePeriodAndItsMenu() {
        QTemporaryDir dir;
        Board board(dir.path());
        board.Start();
        board.Switch(4); // timer 3 from 12:00
        CHistoryWindow window(board.sink, board.ledger, board.clock);
        int menuFor = -1;
        window.SetPeriodMenu([&](QMenu&, int index) { menuFor = index; });
        window.show();
        window.ShowDay({2026, 3, 25});
        auto* periods = window.findChild<QTreeWidget*>();
        QCOMPARE(periods->topLevelItem(0)->text(3), QStringLiteral("0:00:00 (running)"));
        board.clock.Advance(125);
        QTRY_COMPARE(periods->topLevelItem(0)->text(3), QStringLiteral("0:02:05 (running)"));
        window.hide();
        board.clock.Advance(60);
        QTest::qWait(1300);
        QCOMPARE(periods->topLevelItem(0)->text(3), QStringLiteral("0:02:05 (running)"));
        window.show();
        QCOMPARE(periods->topLevelItem(0)->text(3), QStringLiteral("0:03:05 (running)"));

        board.Charge(2, 10); // closes timer 3's period in the journal
        QTRY_COMPARE(periods->topLevelItemCount(), 2);
        QCOMPARE(periods->topLevelItem(0)->text(3), QStringLiteral("0:03:05"));
        QCOMPARE(periods->topLevelItem(1)->text(3), QStringLiteral("0:00:10 (running)"));

        RightClick(periods, 0);
        QCOMPARE(menuFor, 3);
        periods->setCurrentItem(periods->topLevelItem(1));
        // The Menu key: the window system sends the focus widget a keyboard context menu event.
        QContextMenuEvent key(QContextMenuEvent::Keyboard, {}, {});
        QApplication::sendEvent(periods, &key);
        QCOMPARE(menuFor, 1);
        // A menu with an action is shown, and closed here.
        window.SetPeriodMenu([&](QMenu& menu, int index) {
            menu.addAction(QStringLiteral("Correct %1").arg(index));
            QTimer::singleShot(0, &menu, [&] {
                menuFor = menu.actions().size() * 10;
                menu.close();
            });
        });
        RightClick(periods, 0);
        QCOMPARE(menuFor, 10);
    }

    // Each correction through the periods view's own events, undone and done again with the window's keys;
    // the board's seconds follow, and an overlap is cut back once the user agrees.
    void editsInThePeriodsView() {
        QTemporaryDir dir;
        Board board(dir.path());
        board.Start();
        board.Charge(1, 3600); // 12:00 to 13:00
        board.Charge(2, 1800); // 13:00 to 13:30
        board.Charge(0, 3600);
        CHistoryWindow window(board.sink, board.ledger, board.clock);
        window.SetCorrector([&](const PeriodSink::Correction& c) { return board.ledger.Correct(c); });
        // Each dialog, once shown, gets what `fill` does to it.
        std::function<void(QDialog&)> fill;
        QString impact;
        window.SetDialogHook([&](QDialog& dialog) {
            QTimer::singleShot(0, &dialog, [&] {
                if (auto* period = qobject_cast<CPeriodDlg*>(&dialog)) {
                    impact = period->ImpactText().text();
                }
                fill(dialog);
            });
        });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window)); // its shortcuts work only then
        window.ShowDay({2026, 3, 25});
        QTreeWidget& periods = window.PeriodsList();
        QCOMPARE(periods.topLevelItemCount(), 2);
        const auto at = [](int hour, int minute) {
            return QDateTime(QDate(2026, 3, 25), QTime(hour, minute));
        };

        // A double-click opens the edit: the end moves to 12:45.
        fill = [&](QDialog& dialog) {
            auto& period = static_cast<CPeriodDlg&>(dialog);
            period.EndEdit().setDateTime(at(12, 45));
            period.NoteEdit().setPlainText(QStringLiteral("Review \"Q1\"\nwith \u05e9\u05dc\u05d5\u05dd"));
            period.accept();
        };
        const QRect first = periods.visualItemRect(periods.topLevelItem(0));
        // As a window system sends it: a press and release, then the second press as a double-click.
        QTest::mouseClick(periods.viewport(), Qt::LeftButton, {}, first.center());
        QTest::mouseDClick(periods.viewport(), Qt::LeftButton, {}, first.center());
        QVERIFY2(impact.contains(QLatin1String("the board's time changes too")), qPrintable(impact));
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 2700);
        QCOMPARE(periods.topLevelItem(0)->text(1), QStringLiteral("12:45:00"));
        QCOMPARE(periods.topLevelItem(0)->text(4),
                 QStringLiteral("Review \"Q1\" with \u05e9\u05dc\u05d5\u05dd"));
        QVERIFY(periods.topLevelItem(0)->toolTip(4).contains(QLatin1String("Review &quot;Q1&quot;")));
        QCOMPARE(board.ledger.Seconds(0), 2700);
        QApplication::setActiveWindow(&window); // back from the dialog
        QTest::keyClick(&periods, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 3600);
        QCOMPARE(periods.topLevelItem(0)->text(1), QStringLiteral("13:00:00"));
        QTest::keyClick(&periods, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 2700);

        // The Delete key removes the current period; Ctrl+Z brings it back.
        periods.setCurrentItem(periods.topLevelItem(1));
        QTest::keyClick(&periods, Qt::Key_Delete);
        QCOMPARE(periods.topLevelItemCount(), 1);
        QCOMPARE(ProfileSeconds(board.profileFile)[1], 0);
        QCOMPARE(window.DayTotal().text(), QStringLiteral("Total 0:45:00"));
        QTest::keyClick(&periods, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(periods.topLevelItemCount(), 2);
        QCOMPARE(ProfileSeconds(board.profileFile)[1], 1800);

        // Split at 12:30.
        periods.setCurrentItem(periods.topLevelItem(0));
        fill = [&](QDialog& dialog) {
            dialog.findChild<QDateTimeEdit*>()->setDateTime(at(12, 30));
            dialog.accept();
        };
        window.SplitCurrent();
        QCOMPARE(periods.topLevelItemCount(), 3);
        QCOMPARE(periods.topLevelItem(1)->text(0), QStringLiteral("12:30:00"));

        // An added period that overlaps: refused first (the dialog stays open), then cut back.
        int asked = 0;
        fill = [&](QDialog& dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                box->button(++asked == 1 ? QMessageBox::No : QMessageBox::Yes)->click();
                return;
            }
            auto& period = static_cast<CPeriodDlg&>(dialog);
            period.TimerBox().setCurrentIndex(4);
            period.StartEdit().setDateTime(at(12, 40));
            period.EndEdit().setDateTime(at(13, 10));
            period.accept();
            QVERIFY(period.isVisible() && period.Message().text().contains(QLatin1String("overlap")));
            period.accept();
        };
        window.AddOnDay({2026, 3, 25});
        QCOMPARE(asked, 2);
        QCOMPARE(ProfileSeconds(board.profileFile),
                 (std::array<qint64, 10>{1800 + 600, 1200, 0, 0, 1800, 0, 0, 0, 0, 0}));
        QCOMPARE(periods.topLevelItemCount(), 4);
        QCOMPARE(JournalSeconds(board.journalFile), ProfileSeconds(board.profileFile));

        // The running period keeps its timer and open end; it cannot be deleted.
        board.Charge(3, 600);
        window.Refresh();
        periods.setCurrentItem(periods.topLevelItem(periods.topLevelItemCount() - 1));
        fill = [&](QDialog& dialog) {
            auto& period = static_cast<CPeriodDlg&>(dialog);
            QVERIFY(!period.TimerBox().isEnabled() && !period.EndEdit().isEnabled());
            period.StartEdit().setDateTime(period.StartEdit().dateTime().addSecs(300));
            period.accept();
        };
        window.EditCurrent();
        QCOMPARE(board.ledger.ShownSeconds(2), 600 - 300);
        fill = [](QDialog& box) { box.accept(); };
        QTest::keyClick(&periods, Qt::Key_Delete);
        QVERIFY(window.LastProblem().contains(QLatin1String("cannot be deleted")));
    }

    // A journal the board cannot write (a newer version) is shown but offers no menu; one that cannot be
    // read says so and offers no export. The frame opens one window, from its item with Ctrl+H.
    void notRecordingAndTheFrame() {
        QTemporaryDir dir;
        Board board(dir.path());
        Write(board.sink.Path(), {{0, QStringLiteral("Alpha"), Utc("2026-03-24T09:00:00+01:00"),
                                   Utc("2026-03-24T10:00:00+01:00")}});
        {
            Journal newer(board.sink.Path());
            QVERIFY(newer.OpenForWriting().status.Ok() &&
                    newer.Database().Exec("PRAGMA user_version = 99").Ok());
        }
        board.Start();
        QVERIFY(!board.sink.IsRecording());
        CHistoryWindow window(board.sink, board.ledger, board.clock);
        bool bAsked = false;
        window.SetPeriodMenu([&](QMenu&, int) { bAsked = true; });
        window.show();
        window.ShowDay({2026, 3, 24});
        auto* periods = window.findChild<QTreeWidget*>();
        QCOMPARE(periods->topLevelItemCount(), 1);
        RightClick(periods, 0);
        QVERIFY(!bAsked);
        QVERIFY(window.findChild<QLabel*>()->text().contains(QLatin1String("is not being recorded")));

        auto profile = std::make_shared<Profile>(dir.filePath(QStringLiteral("q.conf")));
        JournalSink missing(dir.filePath(QStringLiteral("none/missing.journal")), board.clock, *profile);
        CKelvraDoc document;
        CMainFrame frame(profile, board.clock, document, &missing);
        frame.SetJournal(&missing);
        QCOMPARE(frame.CommandAction(ID_EDIT_HISTORY)->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
        frame.CommandAction(ID_EDIT_HISTORY)->trigger();
        CHistoryWindow* opened = frame.History();
        QVERIFY(opened != nullptr && opened->isVisible());
        QCOMPARE(opened->windowTitle(), QStringLiteral("Kelvra History"));
        frame.OnCommand(ID_EDIT_HISTORY);
        QCOMPARE(frame.History(), opened);
        QVERIFY(opened->findChild<QLabel*>()->text().contains(QLatin1String("cannot be read: no such file")));
        QVERIFY(opened->WeekTable().isHidden());
        const QList<QPushButton*> buttons = opened->findChildren<QPushButton*>();
        QVERIFY(std::any_of(buttons.begin(), buttons.end(), [](const QPushButton* button) {
            return button->text() == QLatin1String("Export CSV...") && !button->isEnabled();
        }));
    }
};

QTEST_MAIN(TestHistory)
#include "test_history.moc"
