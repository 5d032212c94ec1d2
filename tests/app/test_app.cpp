#include "../FileBytes.h"
#include "../net/LoopbackServer.h"
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "control/ControlChannel.h"
#include "control/ControlServer.h"
#include "controls/ShadeButton.h"
#include "dialogs/FieldNamesDlg.h"
#include "platform/Clock.h"
#include "platform/DialogBuilder.h"
#include "platform/FormLabel.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/config.h"
#include "res/resource.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QLocalSocket>
#include <QLockFile>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <signal.h>
#include <sys/stat.h>

using namespace ProfileLayout;
using namespace Qt::Literals::StringLiterals;

namespace {

// Runs `act` on the next modal dialog once it is up; `act` must close it.
void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            act(modal);
        } else {
            WhenModal(act);
        }
    });
}

// Runs `act` on the next popup menu once it is up; `act` must close it.
void WhenPopup(std::function<void(QMenu*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            act(menu);
        } else {
            WhenPopup(act);
        }
    });
}

// Without a display: as from a console outside any desktop session.
void StartKelvra(QProcess& process, const QStringList& arguments, bool display = true) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& variable :
         display ? QStringList() : QStringList{u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s}) {
        environment.remove(variable);
    }
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("KELVRA_EXE"), arguments);
}

// What the program printed when it ends normally with 0; "<failed>" otherwise.
QByteArray RunKelvra(const QStringList& arguments) {
    QProcess p;
    StartKelvra(p, arguments);
    const bool ok = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return ok ? p.readAllStandardOutput() : QByteArray("<failed>");
}

// Whether the board in `process` holds the lock of `file` and has set the profile up.
bool BoardIsUp(const QProcess& process, const QString& file) {
    return QTest::qWaitFor(
        [&] {
            QLockFile lock(file + u".instance"_s);
            qint64 owner = 0;
            return lock.getLockInfo(&owner, nullptr, nullptr) && owner == process.processId() &&
                   FileBytes(file).contains("Init=1");
        },
        10000);
}

bool Terminated(QProcess& process) {
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Stands in for the browser: records every address the desktop is asked to open.
class OpenedAddresses final : public QObject {
    Q_OBJECT
public:
    OpenedAddresses() { QDesktopServices::setUrlHandler(u"http"_s, this, "Open"); }
    ~OpenedAddresses() override { QDesktopServices::unsetUrlHandler(u"http"_s); }
    Q_INVOKABLE void Open(const QUrl& url) { m_urls << url.toString(); }
    QStringList m_urls;
};

} // namespace

class TestApp : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<Profile> m_profile;
    SettableClock m_clock;
    CKelvraDoc m_document;
    std::unique_ptr<CMainFrame> m_frame;

    CKelvraView* View() const { return m_frame->View(); }
    template <typename T> T* Control(int id) const { return qobject_cast<T*>(View()->Form().Control(id)); }
    QString Text(int id) const { return Control<FormLabel>(id)->FullText(); }
    static QString AccessibleName(QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    }
    int Stored(int index) const { return m_profile->GetProfileInt(kTimerSec, IndexEntry(index), -1); }
    int Running() const { return View()->Ledger().Running(); }
    void ClickLabel(int id) { QTest::mouseClick(Control<FormLabel>(id), Qt::LeftButton); }
    void ClickRadio(int id) {
        QTest::mouseClick(Control<QRadioButton>(id), Qt::LeftButton, {}, QPoint(6, 10));
    }
    void Tick(int seconds) {
        m_clock.Advance(seconds);
        View()->OnTimer(ID_TIMER_TICK);
    }
    void StartBoard() {
        m_frame = std::make_unique<CMainFrame>(m_profile, m_clock, m_document);
        View()->OnInitialUpdate();
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    }

private Q_SLOTS:
    void initTestCase() {
        // Nothing a test prints or saves may land in the real home folder.
        qputenv("HOME", QFile::encodeName(m_home.path()));
    }
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_shared<Profile>(m_dir->filePath(u"Kelvra.conf"_s));
        StartBoard();
    }
    void cleanup() {
        m_frame.reset();
        qunsetenv("KELVRA_MAKER_HOST");
    }

    void clickingRowsStartsSwitchesAndStopsTimersAndNewOrClosingCharges() {
        // A name longer than the board's twenty characters shows elided and never stops a tick or a switch.
        const QString longName = u"A project name that is far longer than twenty characters"_s;
        m_profile->WriteProfileString(kTimerText, IndexEntry(2), longName);
        m_frame->OnCommand(ID_FILE_NEW);
        QCOMPARE(Control<FormLabel>(IDC_NAME_FIRST + 2)->toolTip(), longName);
        QVERIFY(Control<FormLabel>(IDC_NAME_FIRST + 2)->text().size() < longName.size());

        ClickLabel(IDC_NAME_FIRST + 2); // third row: radio 1001
        QVERIFY(Control<QRadioButton>(IDC_RADIO_3)->isChecked());
        Tick(1);
        Tick(1);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(Text(IDC_TIME_FIRST + 2), u"  0:00:02"_s);
        QCOMPARE(Text(IDC_TOTAL_TIME), u"  0:00:02"_s);
        QCOMPARE(Text(IDC_SHARE_FIRST + 2), u"100.0 %"_s);
        // Each radio button is named by its row, kept current by every push of the fields.
        QCOMPARE(AccessibleName(Control<QRadioButton>(IDC_RADIO_3)), longName + u", 0:00:02, 100.0 %"_s);
        QCOMPARE(AccessibleName(Control<QRadioButton>(IDC_RADIO_10)),
                 u"My Project Text 10, 0:00:00, 0.0 %"_s);
        QCOMPARE(AccessibleName(Control<QRadioButton>(IDC_RADIO_STOP)), u"Stop"_s);
        // ... and told as a radio button, the running one checked.
        QAccessibleInterface* radio =
            QAccessible::queryAccessibleInterface(Control<QRadioButton>(IDC_RADIO_3));
        QVERIFY(radio->role() == QAccessible::RadioButton && radio->state().checked);
        QVERIFY(!QAccessible::queryAccessibleInterface(Control<QRadioButton>(IDC_RADIO_1))->state().checked);

        ClickRadio(IDC_RADIO_1); // switching charges and stores the third timer
        QCOMPARE(Stored(2), 2);
        Tick(2);
        QCOMPARE(Text(IDC_SHARE_FIRST), u"50.0 %"_s); // of the stored and the running time alike

        ClickLabel(IDC_STOP_LABEL);
        QVERIFY(Control<QRadioButton>(IDC_RADIO_STOP)->isChecked());
        QCOMPARE(Stored(0), 2);

        // New and closing the window charge the open period, once.
        ClickLabel(IDC_NAME_FIRST + 4);
        m_clock.Advance(9);
        m_frame->OnCommand(ID_FILE_NEW);
        QCOMPARE(Stored(4), 9);
        QVERIFY(Control<QRadioButton>(IDC_RADIO_STOP)->isChecked());
        m_clock.Advance(9);
        ClickLabel(IDC_NAME_FIRST + 9);
        m_clock.Advance(42);
        m_frame.reset();
        QCOMPARE(Stored(4), 9);
        QCOMPARE(Stored(9), 42);
    }

    // A right-click on a row's name and the Menu key on its radio button open the row's corrections.
    void rowMenuCorrectsThroughRealEvents() {
        ClickLabel(IDC_NAME_FIRST);
        Tick(1200);
        QStringList shown;
        WhenPopup([&shown](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                shown << action->text() + (action->isEnabled() ? u""_s : u" (off)"_s);
            }
            WhenModal([](QWidget* modal) {
                auto* dialog = qobject_cast<QInputDialog*>(modal);
                QCOMPARE(dialog->intMaximum(), 20);
                dialog->setIntValue(10);
                dialog->accept();
            });
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        // What a right-click delivers to the widget under the pointer.
        auto* label = Control<FormLabel>(IDC_NAME_FIRST + 2);
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(4, 4), label->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(label, &click);
        QTRY_COMPARE(Running(), 3);
        QCOMPARE(shown, QStringList({u"Switched here ... minutes ago"_s, u"Add or remove time..."_s}));
        QCOMPARE(Stored(0), 600);
        QVERIFY(Control<QRadioButton>(IDC_RADIO_3)->isChecked());

        bool refused = false;
        WhenPopup([&shown, &refused](QMenu* menu) {
            shown = {menu->actions()[0]->isEnabled() ? u"on"_s : u"off"_s};
            WhenModal([&refused](QWidget* dialog) {
                auto* edit = dialog->findChild<QLineEdit*>();
                auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
                refused = true;
                for (const QString& text : {u"-0:11"_s /* more than its 10 minutes */, u"0:75"_s, u"1h"_s}) {
                    edit->setText(text);
                    refused = refused && !ok->isEnabled();
                }
                edit->setText(u"-0:05"_s);
                QTest::mouseClick(ok, Qt::LeftButton);
            });
            QTest::keyClick(menu, Qt::Key_Up);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keyClick(Control<QRadioButton>(IDC_RADIO_3), Qt::Key_Menu);
        QTRY_COMPARE(Stored(2), 300);
        QCOMPARE(shown, QStringList(u"off"_s)); // it runs already
        QVERIFY(refused);
        QCOMPARE(Running(), 3);
    }

    void resetAllAnsweredNoThenYes() {
        ClickLabel(IDC_NAME_FIRST + 1);
        m_clock.Advance(30);
        QString asked;
        WhenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            asked = box->text();
            QVERIFY(box->defaultButton() == box->button(QMessageBox::No));
            box->button(QMessageBox::No)->click();
        });
        m_frame->OnCommand(ID_RESET_ALL);
        QCOMPARE(asked, u"Do you really want to reset ALL Timers?\nAre you sure ?"_s);
        QCOMPARE(Running(), 2);
        QCOMPARE(Stored(1), 0);

        WhenModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click(); });
        m_frame->OnCommand(ID_RESET_ALL);
        QCOMPARE(Running(), 0);
        QVERIFY(Control<QRadioButton>(IDC_RADIO_STOP)->isChecked());
        QCOMPARE(Stored(1), 0);
        QCOMPARE(Text(IDC_TIME_FIRST + 1), u"  0:00:00"_s);
        QCOMPARE(Text(IDC_SHARE_FIRST + 1), u"0.0%"_s);
    }

    // What the names dialog leaves behind reaches the board when it closes: new names, and resets
    // applied whichever way it ended. A reset timer runs on and is charged its whole open period.
    void namesDialogResetsAndRenamesReachTheBoard() {
        m_profile->WriteProfileInt(kTimerSec, IndexEntry(9), 500);
        m_profile->WriteProfileInt(kTimerSec, IndexEntry(0), 400);
        ClickLabel(IDC_NAME_FIRST + 9);
        m_clock.Advance(30);
        WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<CFieldNamesDlg*>(w);
            // Its hidden buttons are not in the accessible tree.
            QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(dialog);
            for (int i = 0; i < tree->childCount(); ++i) {
                QVERIFY(!QStringList({u"OK"_s, u"Abbrechen"_s})
                             .contains(tree->child(i)->text(QAccessible::Name)));
            }
            auto* edit = qobject_cast<QLineEdit*>(dialog->Form().Control(IDC_FIELD_3));
            edit->clear();
            QTest::keyClicks(edit, u"abc"_s);
            qobject_cast<QCheckBox*>(dialog->Form().Control(IDC_RESET_10))->click();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        m_frame->OnCommand(ID_EDIT_FIELDNAMES);
        QCOMPARE(Stored(9), 0);
        QCOMPARE(Stored(0), 400);
        QCOMPARE(Text(IDC_NAME_FIRST + 2), u"abc"_s);
        QCOMPARE(Text(IDC_TIME_FIRST + 9), u"  0:00:00"_s);
        ClickLabel(IDC_STOP_LABEL);
        QCOMPARE(Stored(9), 30);
    }

    void saveWritesAnEmptyFileAndPrintAnEmptyPage() {
        const QString saved = m_dir->filePath(u"board.kel"_s);
        WhenModal([&](QWidget* w) {
            qobject_cast<QFileDialog*>(w)->selectFile(saved);
            QMetaObject::invokeMethod(w, "accept");
        });
        m_frame->OnCommand(ID_FILE_SAVE);
        // From now on Ctrl+S saves to the same file; one that is not empty is written over only if the
        // user says so (No is the default: a question turned down keeps it).
        QVERIFY(WriteBytes(saved, "x"));
        m_frame->activateWindow(); // the accelerators work in the active window
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
        QString asked;
        const auto answer = [&asked](QMessageBox::StandardButton button) {
            WhenModal([&asked, button](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                asked = box->text();
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
                box->button(button)->click();
            });
        };
        answer(QMessageBox::No);
        QTest::keyClick(m_frame.get(), Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(asked.contains(u"is not empty"_s));
        QCOMPARE(FileBytes(saved), QByteArray("x"));
        answer(QMessageBox::Yes);
        m_frame->OnCommand(ID_FILE_SAVE);
        QCOMPARE(FileBytes(saved), QByteArray(""));
        // The board's own profile is no document: never opened as one, never written over.
        const QByteArray profile = FileBytes(m_profile->Location());
        QString problem;
        QVERIFY(!m_frame->OpenDocument(m_profile->Location(), &problem));
        QVERIFY2(problem.contains(u"the board's profile"_s), qPrintable(problem));
        QVERIFY(m_document.OnOpenDocument(m_profile->Location())); // as if it had come through
        WhenModal([&asked](QWidget* box) {
            asked = qobject_cast<QMessageBox*>(box)->text();
            qobject_cast<QMessageBox*>(box)->accept();
        });
        m_frame->OnCommand(ID_FILE_SAVE);
        QVERIFY2(asked.contains(u"not written over"_s), qPrintable(asked));
        QCOMPARE(FileBytes(m_profile->Location()), profile);

        // Without a printer the page goes to a PDF file in the (test's own) home folder.
        WhenModal([&](QWidget* w) { qobject_cast<QPrintDialog*>(w)->accept(); });
        m_frame->OnCommand(ID_FILE_PRINT);
        const QByteArray document = FileBytes(QDir::home().filePath(u"Kelvra.pdf"_s));
        QVERIFY(document.startsWith("%PDF") && document.contains("/Count 1"));
    }

    // The button faces are shaded from a seeded generator: the same at every start, new at every New.
    void lookupStoresTheCodeOnceAndARestartKeepsTheProfileAndTheButtonFaces() {
        LoopbackServer server(
            {.chunks = {"HTTP/1.1 200 OK\r\nContent-Length: 22\r\n\r\n<x><CountryCode>DE</x>"}});
        qputenv("KELVRA_MAKER_HOST", QByteArray::fromStdString(server.Address()));
        const int id = m_profile->GetProfileInt(kTimer, kRandomId, 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_profile->GetProfileInt(kTimer, kCc, 0), 1, 10000);
        QCOMPARE(m_profile->GetProfileString(kTimer, kCountryCode), u"DE"_s);
        QVERIFY(QString::fromStdString(server.WaitForRequest())
                    .contains(u"User-Agent: KelvraV10.%1\r\n"_s.arg(id)));
        const auto face = [](const CShadeButton& b) {
            const CDibSurface& s = b.FaceNormal();
            return QByteArray(reinterpret_cast<const char*>(s.GetBits()),
                              static_cast<int>(s.GetTotalSize() - 40 - s.GetPaletteSize()));
        };
        const QByteArray manual = face(View()->ManualButton());
        const QByteArray sponsor = face(View()->SponsorButton());
        QVERIFY(manual != sponsor); // the second button continues the sequence

        m_profile->WriteProfileString(kTimerText, IndexEntry(0), u"Renamed"_s);
        m_frame.reset();
        m_clock.Advance(100000);
        StartBoard();
        QCOMPARE(m_profile->GetProfileInt(kTimer, kRandomId, 0), id);
        QCOMPARE(Text(IDC_NAME_FIRST), u"Renamed"_s);
        QVERIFY(!View()->IsTimerActive(ID_TIMER_LOOKUP));
        QCOMPARE(face(View()->ManualButton()), manual);
        QCOMPARE(face(View()->SponsorButton()), sponsor);
        m_frame->OnCommand(ID_FILE_NEW);
        QVERIFY(!View()->IsTimerActive(ID_TIMER_LOOKUP));
        QVERIFY(face(View()->ManualButton()) != manual);

        // Turned off in the Options, a board without a code never looks it up.
        m_frame.reset();
        m_profile = std::make_shared<Profile>(m_dir->filePath(u"quiet.conf"_s));
        m_profile->WriteProfileInt(kOptions, kCountryLookup, 0);
        StartBoard();
        QVERIFY(!View()->IsTimerActive(ID_TIMER_LOOKUP) && m_profile->GetProfileInt(kTimer, kCc, 0) == 0);
    }

    // A fixed-size white-on-blue form laid out in dialog units from its template.
    void formFollowsItsTemplate() {
        const auto dlu = [&](int x, int y, int w, int h) {
            return DialogBuilder::ToPixels(QRect(x, y, w, h), View()->Form().baseUnits);
        };
        QCOMPARE(Control<FormLabel>(IDC_NAME_FIRST + 9)->geometry(), dlu(13, 94, 65, 8));
        QCOMPARE(View()->Form().Control(IDC_BUTTON_SPONSOR)->geometry(), dlu(83, 117, 56, 9));
        QCOMPARE(View()->size(), dlu(0, 0, 144, 131).size());
        QCOMPARE(m_frame->width(), View()->width()); // the frame is the form plus its menu bar
        QCOMPARE(m_frame->minimumSize(), m_frame->maximumSize());
        QVERIFY(!(m_frame->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(m_frame->windowTitle(), u"Kelvra v 1.0"_s);

        const QImage image = View()->grab().toImage();
        QCOMPARE(image.pixelColor(2, 2), QColor(102, 102, 255));
        const QRect name = Control<FormLabel>(IDC_NAME_FIRST)->geometry();
        const qreal ratio = image.devicePixelRatio();
        int white = 0;
        for (int x = name.left(); x <= name.right(); ++x) {
            for (int y = name.top(); y <= name.bottom(); ++y) {
                white += image.pixelColor(x * ratio, y * ratio) == Qt::white;
            }
        }
        QVERIFY(white > 20);
    }

    // Another profile is another board; Qt takes its own options before a board starts, and -platform
    // still names a display where none is set.
    void oneBoardPerProfileAndQtOptionsReachIt() {
        const QString file = m_dir->filePath(u"shared.conf"_s);
        QProcess first;
        StartKelvra(first, {u"-session"_s, u"1a2b3c"_s, u"--profile"_s, file});
        QVERIFY(BoardIsUp(first, file));
        const QByteArray before = FileBytes(file);
        QCOMPARE(RunKelvra({u"--profile"_s, file}), QByteArray()); // a second start ends at once
        // A board slow to answer (held still for two seconds, as a cold start on a slow disk may be) is
        // waited for, and comes to the front; no second board starts.
        QVERIFY(::kill(static_cast<pid_t>(first.processId()), SIGSTOP) == 0);
        QProcess waiting;
        waiting.start(qEnvironmentVariable("KELVRA_EXE"), {u"--profile"_s, file});
        QTest::qWait(2000);
        QVERIFY(::kill(static_cast<pid_t>(first.processId()), SIGCONT) == 0);
        QVERIFY(waiting.waitForFinished(10000));
        QCOMPARE(waiting.readAllStandardError(), QByteArray());
        QCOMPARE(waiting.exitCode(), 0);
        // So does one that reaches the same file through a symbolic link.
        QVERIFY(QFile::link(file, m_dir->filePath(u"link.conf"_s)));
        QCOMPARE(RunKelvra({u"--profile"_s, m_dir->filePath(u"link.conf"_s)}), QByteArray());
        // One that finds the control folder open to others does not trust it: it says why, and fails.
        QTemporaryDir runtime;
        const QString folder = runtime.filePath(u"kelvra"_s);
        QVERIFY(QDir().mkdir(folder) && ::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
        QProcess refused;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        refused.setProcessEnvironment(environment);
        refused.start(qEnvironmentVariable("KELVRA_EXE"), {u"--profile"_s, file});
        QVERIFY(refused.waitForFinished(20000));
        QCOMPARE(refused.exitCode(), 1);
        QVERIFY2(refused.readAllStandardError().contains("has mode 0777"), "says why");
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(FileBytes(file), before);

        // The report reads the profile of a running board without touching it.
        const QJsonDocument json =
            QJsonDocument::fromJson(RunKelvra({u"--report=json"_s, u"--profile"_s, file}));
        QCOMPARE(json["timers"_L1][0]["name"_L1].toString(), u"My Project Text 1"_s);

        for (const auto& [options, display] : {std::pair{QStringList{u"-style"_s, u"Fusion"_s}, true},
                                               {QStringList{u"-platform"_s, u"offscreen"_s}, false}}) {
            const QString other = m_dir->filePath(options[0] + u".conf"_s);
            QProcess board;
            StartKelvra(board, options + QStringList{u"--profile"_s, other}, display);
            QVERIFY(BoardIsUp(board, other));
            QVERIFY(Terminated(board));
        }
        QVERIFY(Terminated(first));
    }

    // A profile that stops taking writes: the board keeps every second it charged, says once that saving
    // fails, and takes the notice down when a write works again.
    void failingSavesAreShownAndNothingVanishes() {
        const QString file = m_dir->filePath(u"Kelvra.conf"_s);
        ClickLabel(IDC_NAME_FIRST + 1);
        if (QProcess::execute(u"chattr"_s, {u"+i"_s, file}) != 0) {
            QSKIP("needs chattr");
        }
        m_clock.Advance(30);
        ClickLabel(IDC_NAME_FIRST + 2);
        Tick(1);
        QProcess::execute(u"chattr"_s, {u"-i"_s, file});
        QCOMPARE(Text(IDC_TIME_FIRST + 1), u"  0:00:30"_s); // still shown after the reload
        auto* notice = m_frame->findChild<QMessageBox*>();
        QVERIFY(notice != nullptr && notice->isVisible() && !notice->isModal());
        QVERIFY2(notice->text().contains(u"cannot save to "_s + file), qPrintable(notice->text()));
        ClickLabel(IDC_STOP_LABEL); // the next write works and carries the 30 s with it
        Tick(1);
        QTRY_VERIFY(m_frame->findChild<QMessageBox*>() == nullptr);
        QCOMPARE(Profile(file, Profile::Access::ReadOnly).GetProfileInt(kTimerSec, IndexEntry(1), 0), 30);
    }

    // A folder the user may not write takes no lock: the board starts all the same and says why.
    void unwritableFolderStillStartsTheBoard() {
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (setpriv.isEmpty()) {
            QSKIP("needs setpriv");
        }
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                         QFileDevice::ExeOther));
        QProcess child;
        child.setEnvironment(QProcess::systemEnvironment() << u"HOME=/tmp"_s); // the last HOME wins
        const QString file = m_dir->filePath(u"p.conf"_s);
        child.start(setpriv, {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                              qEnvironmentVariable("KELVRA_EXE"), u"--profile"_s, file});
        QByteArray error;
        QVERIFY(QTest::qWaitFor(
            [&] { return (error += child.readAllStandardError()).contains("history journal"); }, 10000));
        QVERIFY2(error.contains("times cannot be saved to " + file.toUtf8() + ": cannot create"),
                 error.constData());
        QCOMPARE(child.state(), QProcess::Running);
        QVERIFY(Terminated(child));
        error += child.readAllStandardError();
        QVERIFY(error.contains("the history journal " + file.toUtf8() + ".journal cannot be used"));
        QVERIFY(error.contains("cannot save to " + file.toUtf8())); // said again at the end
    }

    // A wrong option ends with 2 and one line; without a display the board says so and ends with 1, while
    // what needs no window still works, even with Qt's options. None of it writes, and the report keeps
    // a NUL inside a name whole in every form (the forms themselves are test_boardreport's).
    void commandLinesEndAsTheySay() {
        const QString file = m_dir->filePath(u"shown.conf"_s);
        const QByteArray nul = "nul\0inside"_ba;
        Profile(file).WriteProfileString(kTimerText, IndexEntry(4), QString::fromUtf8(nul));
        const QByteArray before = FileBytes(file);
        const struct {
            QStringList arguments;
            bool display;
            int code;
            QByteArray out; // contained in what it prints
            QByteArray err;
        } rows[] = {
            {{u"--report"_s, u"--by=year"_s},
             true,
             2,
             {},
             "kelvra: unknown unit 'year' for --by (day, week or month); try 'kelvra --help'\n"},
            {{},
             false,
             1,
             {},
             "kelvra: no display available (DISPLAY/WAYLAND_DISPLAY not set); --report works without one\n"},
            {{u"--help"_s}, false, 0, "Usage: kelvra", {}},
            {{u"--version"_s, u"-style"_s, u"Fusion"_s}, false, 0, "Kelvra ", {}},
            {{u"--report"_s}, false, 0, nul, {}},
            {{u"--report=csv"_s}, false, 0, nul, {}},
            {{u"--report=json"_s}, false, 0, "\"nul\\u0000inside\"", {}},
        };
        for (const auto& row : rows) {
            QProcess p;
            StartKelvra(p, row.arguments + QStringList{u"--profile"_s, file}, row.display);
            QVERIFY(p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit);
            QCOMPARE(p.readAllStandardError(), row.err);
            QCOMPARE(p.exitCode(), row.code);
            const QByteArray printed = p.readAllStandardOutput();
            QVERIFY2(row.out.isEmpty() ? printed.isEmpty() : printed.contains(row.out), printed.constData());
        }
        QCOMPARE(FileBytes(file), before);
        QCOMPARE(QDir(m_dir->path()).entryList({u"shown.conf*"_s}), QStringList({u"shown.conf"_s}));
    }

    // A profile that cannot be read is a failure that names it, never a board of zeros.
    void anUnreadableProfileFailsTheReport() {
        QDir(m_dir->path()).mkdir(u"folder.conf"_s);
        QVERIFY(WriteBytes(m_dir->filePath(u"damaged.conf"_s), "\x01\x02[[[\n\xff\xfe"));
        for (const QString& bad : {u"missing.conf"_s, u"folder.conf"_s, u"damaged.conf"_s}) {
            QProcess p;
            StartKelvra(p, {u"--report"_s, u"--profile"_s, m_dir->filePath(bad)});
            QVERIFY(p.waitForFinished(20000));
            QCOMPARE(p.exitCode(), 1);
            QVERIFY(p.readAllStandardError().startsWith("kelvra: cannot read the profile " +
                                                        m_dir->filePath(bad).toUtf8()));
        }
    }

    void webPagesFollowTheirCommandsAndTheStoredCode() {
        OpenedAddresses opened;
        const QString maker = u"http://" KELVRA_MAKER_HOST "/Kelvra/"_s;
        const QString sponsor = maker + u"sponsor.php"_s;
        const QString salesLog =
            u"http://" KELVRA_SPONSOR_HOST "/saleslog.php?coupon=&userid=52204&from=Kelvra"_s;
        QStringList expected;
        for (const auto& [code, page] :
             {std::pair{u""_s, sponsor}, {u"US"_s, salesLog}, {u"us"_s, sponsor}, {u"USA"_s, sponsor}}) {
            m_profile->WriteProfileString(kTimer, kCountryCode, code);
            QTest::mouseClick(&View()->SponsorButton(), Qt::LeftButton);
            m_frame->OnCommand(ID_GOTO_SPONSOR);
            expected << page << page;
        }
        QTest::mouseClick(&View()->ManualButton(), Qt::LeftButton);
        for (int command : {ID_GOTO_MANUAL, ID_GOTO_SITE, ID_DONATE, ID_EDIT_UNDO, ID_GOTO_ARTICLES}) {
            m_frame->OnCommand(command); // Undo has no handler: it opens nothing
        }
        expected << maker + u"manual.php"_s << maker + u"manual.php"_s << maker + u"index.php"_s
                 << maker + u"donate.php"_s
                 << u"http://" KELVRA_ARTICLES_HOST
                    "/Self_Improvement_and_Motivation/time_management_tips_for_solo__7698.html"_s;
        QCOMPARE(opened.m_urls, expected);
    }

    void theWindowNeverWaitsForTheLookup() {
        LoopbackServer silent({.bHoldOpen = true});
        qputenv("KELVRA_MAKER_HOST", QByteArray::fromStdString(silent.Address()));
        QSignalSpy started(View(), &CKelvraView::countryLookupStarted);
        m_frame->OnCommand(ID_FILE_NEW); // without a stored code every initial update arms the lookup
        QVERIFY(started.wait(5000));
        QVERIFY(!silent.WaitForRequest().empty()); // the worker now waits for an answer that never comes
        bool delivered = false;
        QTimer::singleShot(0, [&] { delivered = true; });
        QTRY_VERIFY_WITH_TIMEOUT(delivered, 5000);
        ClickLabel(IDC_NAME_FIRST + 6);
        QCOMPARE(Running(), 7);
        QVERIFY(silent.Serving()); // all of it while the lookup still holds its connection
    }

    // Other processes reach the running board without a display: switches by row, exact name and unique
    // prefix, Stop, the status, reports that match the board, a second start that brings it to the front.
    // A wrong name ends with 2 and lists the candidates; no board, 3, and none is started; a hostile
    // client gets an error and changes nothing; a dead board's socket is taken over by the next.
    void commandsReachTheRunningBoard() {
        const QString file = m_dir->filePath(u"remote.conf"_s);
        struct Ran {
            int code = -1;
            QByteArray out;
            QByteArray err;
        };
        const auto kelvra = [&](const QStringList& arguments) {
            QProcess p;
            StartKelvra(p, arguments + QStringList{u"--profile"_s, file}, false);
            p.waitForFinished(20000);
            return Ran{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
        };
        const auto status = [&] { return QJsonDocument::fromJson(kelvra({u"--status=json"_s}).out); };
        const Ran none = kelvra({u"--start"_s, u"2"_s});
        QCOMPARE(none.code, 3);
        QCOMPARE(none.err, "kelvra: no board is running for the profile " + file.toUtf8() + "\n");
        QVERIFY(!QFile::exists(file));

        Profile setUp(file);
        setUp.WriteProfileInt(kTimer, kInit, 1);
        setUp.WriteProfileInt(kTimer, kCc, 1);
        for (int i = 0; i < 10; ++i) {
            const QStringList names{u"Writing"_s, u"Mail"_s, u"Mailing"_s, u"Review"_s};
            setUp.WriteProfileString(kTimerText, IndexEntry(i), names.value(i, u"P%1"_s.arg(i + 1)));
        }
        QProcess board;
        board.start(qEnvironmentVariable("KELVRA_TEST_BIN") + u"/board_child"_s, {file});
        QVERIFY(board.waitForReadyRead(20000));
        QCOMPARE(board.readLine(), QByteArray("running\n"));
        const struct {
            QStringList arguments;
            int code;
            int row;        // running afterwards
            QByteArray err; // contained in what it says
        } rows[] = {
            {{u"--start"_s, u"2"_s}, 0, 2, {}},
            {{u"--start"_s, u"Writing"_s}, 0, 1, {}},
            {{u"--start"_s, u"rEV"_s}, 0, 4, {}},
            {{u"--start"_s, u"Mail"_s}, 0, 2, {}}, // exactly before a prefix
            {{u"--start"_s, u"Writing"_s}, 0, 1, {}},
            {{u"--start"_s, u"MAIL"_s}, 0, 2, {}}, // in another case, still before a prefix
            {{u"--start"_s, u"mai"_s},
             2,
             2,
             "kelvra: 'mai' begins more than one timer's name:\n   2  Mail\n   3  Mailing\n"},
            {{u"--start"_s, u"Mails"_s},
             2,
             2,
             "the timers are:\n   1  Writing\n   2  Mail\n   3  Mailing\n   4  Review\n   5  P5\n"},
            {{u"--stop"_s}, 0, 0, {}},
            {{u"--start"_s, u"3"_s}, 0, 3, {}},
        };
        for (const auto& row : rows) {
            const Ran ran = kelvra(row.arguments);
            QCOMPARE(ran.code, row.code);
            QVERIFY2(row.err.isEmpty() ? ran.err.isEmpty() : ran.err.contains(row.err), ran.err.constData());
            QCOMPARE(status()["row"_L1].toInt(), row.row);
        }
        QTRY_VERIFY_WITH_TIMEOUT(status()["seconds"_L1].toInt() >= 1, 5000);
        const QString text = QString::fromUtf8(kelvra({u"--status"_s}).out);
        QVERIFY2(QRegularExpression(u"^Mailing \u2013 0:00:0\\d\n$"_s).match(text).hasMatch(),
                 qPrintable(text));
        // Each report takes the board's period as it is when asked, between the two statuses.
        const QJsonDocument before = status();
        const QJsonDocument totals = QJsonDocument::fromJson(kelvra({u"--report=json"_s}).out);
        const QJsonDocument periods =
            QJsonDocument::fromJson(kelvra({u"--report=json"_s, u"--periods"_s}).out);
        const QJsonDocument after = status();
        QVERIFY(before["running"_L1].toBool() && before["name"_L1] == u"Mailing"_s);
        const int shown = totals["timers"_L1][2]["seconds"_L1].toInt();
        QVERIFY(before["seconds"_L1].toInt() <= shown && shown <= after["seconds"_L1].toInt());
        const QJsonValue open = periods["periods"_L1].toArray().last();
        QVERIFY(open["running"_L1].toBool() && open["row"_L1].toInt() == 3);
        QVERIFY(before["period_seconds"_L1].toInt() <= open["seconds"_L1].toInt() &&
                open["seconds"_L1].toInt() <= after["period_seconds"_L1].toInt());
        // A switch is on disk once the command returns: a report right after it sees it, every time.
        for (int i = 0; i < 5; ++i) {
            for (const bool bStop : {true, false}) {
                QCOMPARE(kelvra(bStop ? QStringList{u"--stop"_s} : QStringList{u"--start"_s, u"3"_s}).code,
                         0);
                const QJsonValue last =
                    QJsonDocument::fromJson(kelvra({u"--report=json"_s, u"--periods"_s}).out)["periods"_L1]
                        .toArray()
                        .last();
                QCOMPARE(last["running"_L1].toBool(), !bStop);
            }
        }

        QString problem;
        const QString socket = ControlChannel::ServerName(file, false, problem);
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(socket).constData(), &info) == 0 && (info.st_mode & 07777) == 0600);
        QVERIFY(::stat(QFile::encodeName(QFileInfo(socket).path()).constData(), &info) == 0 &&
                (info.st_mode & 07777) == 0700);
        const QByteArray profile = FileBytes(file);
        for (const QByteArray& hostile : {"kelvra/1 start 11\n"_ba, "GET / HTTP/1.1\r\n\r\n"_ba,
                                          "kelvra/9 stop\n"_ba, QByteArray(65536, 's'), QByteArray()}) {
            QLocalSocket client;
            client.connectToServer(socket);
            QVERIFY(client.waitForConnected(5000));
            client.write(hostile);
            QVERIFY(client.waitForDisconnected(5000)); // the silent one at its deadline
            const QByteArray reply = client.readAll();
            QVERIFY2(hostile.isEmpty() ? reply.isEmpty() : reply.startsWith("kelvra/1 error "),
                     qPrintable(hostile.left(20) + " -> " + reply + " / " + client.errorString().toUtf8()));
        }
        // Connections that never send a request cannot keep a command out, nor slow it much.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(kelvra({u"--status"_s}).code, 0);
        const qint64 idleMs = timer.restart();
        std::vector<std::unique_ptr<QLocalSocket>> silent;
        for (int i = 0; i < 200; ++i) {
            silent.push_back(std::make_unique<QLocalSocket>());
            silent.back()->connectToServer(socket);
            QVERIFY(silent.back()->waitForConnected(5000));
        }
        timer.restart();
        const Ran crowded = kelvra({u"--status"_s});
        const qint64 crowdedMs = timer.elapsed();
        QCOMPARE(crowded.code, 0);
        QVERIFY2(crowdedMs < 2 * idleMs + 50, qPrintable(u"%1 ms, %2 ms idle"_s.arg(crowdedMs).arg(idleMs)));
        silent.clear();
        ControlServer intruder([](const ControlMessage::Request&) { return ControlServer::Response{}; });
        QVERIFY(!intruder.Listen(socket, false)); // a live board's socket is never replaced
        QCOMPARE(status()["row"_L1].toInt(), 3);
        QCOMPARE(FileBytes(file), profile);

        QCOMPARE(RunKelvra({u"--profile"_s, file}), QByteArray());
        QVERIFY(QTest::qWaitFor([&] { return board.readAll().contains("raised"); }, 10000));
        board.kill();
        QVERIFY(board.waitForFinished(10000) && QFile::exists(socket));
        QCOMPARE(kelvra({u"--stop"_s}).code, 3);
        QProcess next;
        StartKelvra(next, {u"--profile"_s, file});
        QVERIFY(BoardIsUp(next, file));
        QCOMPARE(kelvra({u"--status"_s}).out, QByteArray("Stopped\n"));
        QVERIFY(Terminated(next));
        QVERIFY(!QFile::exists(socket));
    }

    void terminationSignalStoresTheOpenPeriod() {
        const QString file = m_dir->filePath(u"child.conf"_s);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(qEnvironmentVariable("KELVRA_TEST_BIN") + u"/board_child"_s, {file});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("running"));
        // The child's board charges elapsed time in whole seconds: let more than one pass after the click.
        QTest::qWait(1100);
        QVERIFY(Terminated(child));
        QVERIFY(Profile(file).GetProfileInt(kTimerSec, IndexEntry(2), 0) >= 1);
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"
