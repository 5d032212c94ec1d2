#include "../net/LoopbackServer.h"
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "controls/ShadeButton.h"
#include "dialogs/FieldNamesDlg.h"
#include "platform/Clock.h"
#include "platform/DialogBuilder.h"
#include "platform/FormLabel.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/Templates.h"
#include "res/config.h"
#include "res/resource.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <signal.h>

using namespace ProfileLayout;

namespace {

// Runs `act` on the next modal dialog once it is up; `act` must close it.
void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            WhenModal(act);
            return;
        }
        act(modal);
    });
}

QString KelvraExe() {
    return qEnvironmentVariable("KELVRA_EXE");
}

QByteArray FileBytes(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Waits until a board started on `file` holds its lock and has set up the profile.
bool WaitForBoard(const QString& file) {
    for (int i = 0; i < 200; ++i) {
        if (QFile::exists(file + QStringLiteral(".instance")) && FileBytes(file).contains("Init=1")) {
            return true;
        }
        QTest::qWait(50);
    }
    return false;
}

QByteArray RunKelvra(const QStringList& arguments, int* exitCode = nullptr) {
    QProcess p;
    p.start(KelvraExe(), arguments);
    p.waitForFinished(20000);
    if (exitCode != nullptr) {
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    return p.readAllStandardOutput();
}

// Stands in for the browser: records every address the desktop is asked to open.
class OpenedAddresses final : public QObject {
    Q_OBJECT
public:
    OpenedAddresses() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open"); }
    ~OpenedAddresses() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    Q_INVOKABLE void Open(const QUrl& url) { m_urls << url.toString(); }
    QString Last() const { return m_urls.value(m_urls.size() - 1); }
    QStringList m_urls;
};

// Points the lookup at a loopback server for the life of the object.
class MakerHostOverride final {
public:
    explicit MakerHostOverride(const LoopbackServer& server) {
        qputenv("KELVRA_MAKER_HOST", QByteArray::fromStdString(server.Address()));
    }
    ~MakerHostOverride() { qunsetenv("KELVRA_MAKER_HOST"); }
};

} // namespace

class TestApp : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<Profile> m_profile;
    SettableClock m_clock;
    CKelvraDoc m_document;
    std::unique_ptr<CMainFrame> m_frame;

    CKelvraView* View() const { return m_frame->View(); }
    template <typename T> T* Control(int id) const { return qobject_cast<T*>(View()->Form().Control(id)); }
    QString Text(int id) const { return Control<FormLabel>(id)->FullText(); }
    int Stored(int index) const { return m_profile->GetProfileInt(kTimerSec, IndexEntry(index), -1); }
    void ClickLabel(int id) { QTest::mouseClick(Control<FormLabel>(id), Qt::LeftButton); }
    void ClickRadio(int id) {
        QTest::mouseClick(Control<QRadioButton>(id), Qt::LeftButton, {}, QPoint(6, 10));
    }
    void Tick(int seconds = 1) {
        m_clock.Advance(seconds);
        View()->OnTimer(ID_TIMER_TICK);
    }
    void StartBoard() {
        m_frame = std::make_unique<CMainFrame>(m_profile, m_clock, m_document);
        View()->OnInitialUpdate();
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    }

    QTemporaryDir m_home;

private Q_SLOTS:
    void initTestCase() {
        // Nothing a test prints or saves may land in the real home folder.
        qputenv("HOME", QFile::encodeName(m_home.path()));
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_shared<Profile>(m_dir->filePath(QStringLiteral("Kelvra.conf")));
        StartBoard();
    }
    void cleanup() { m_frame.reset(); }

    void clickingRowsStartsSwitchesAndStopsTimers() {
        QCOMPARE(Text(IDC_NAME_FIRST), QStringLiteral("My Project Text 1"));
        QVERIFY(Control<QRadioButton>(IDC_RADIO_STOP)->isChecked());

        ClickLabel(IDC_NAME_FIRST + 2); // third row: radio 1001
        QVERIFY(Control<QRadioButton>(IDC_RADIO_3)->isChecked());
        QCOMPARE(View()->Ledger().m_nRunning, 3);
        Tick();
        Tick();
        QCOMPARE(Text(IDC_TIME_FIRST + 2), QStringLiteral("  0:00:02"));
        QCOMPARE(Text(IDC_TOTAL_TIME), QStringLiteral("  0:00:02"));
        QCOMPARE(Text(IDC_SHARE_FIRST + 2), QStringLiteral("100.0 %"));
        QCOMPARE(Text(IDC_SHARE_FIRST), QStringLiteral("0.0 %"));

        ClickRadio(IDC_RADIO_1); // switching charges and stores the third timer
        QCOMPARE(Stored(2), 2);
        QCOMPARE(View()->Ledger().m_nRunning, 1);
        Tick(2);
        QCOMPARE(Text(IDC_SHARE_FIRST), QStringLiteral("50.0 %"));
        QCOMPARE(Text(IDC_SHARE_FIRST + 2), QStringLiteral("50.0 %"));

        ClickLabel(IDC_STOP_LABEL);
        QVERIFY(Control<QRadioButton>(IDC_RADIO_STOP)->isChecked());
        QCOMPARE(Stored(0), 2);
        QCOMPARE(View()->Ledger().m_nRunning, 0);
        ClickLabel(IDC_TOTAL_LABEL); // reports clicks, nothing handles them
        QCOMPARE(View()->Ledger().m_nRunning, 0);
    }

    void closingTheWindowChargesTheOpenPeriod() {
        ClickLabel(IDC_NAME_FIRST + 9);
        m_clock.Advance(42);
        m_frame.reset();
        QCOMPARE(Stored(9), 42);
    }

    void newChargesTheRunningTimerAndShowsStop() {
        ClickLabel(IDC_NAME_FIRST + 4);
        m_clock.Advance(9);
        m_frame->OnCommand(ID_FILE_NEW);
        QCOMPARE(Stored(4), 9);
        QCOMPARE(View()->Ledger().m_nRunning, 0);
        QVERIFY(Control<QRadioButton>(IDC_RADIO_STOP)->isChecked());
        m_clock.Advance(9);
        m_frame.reset();
        QCOMPARE(Stored(4), 9);
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
        QCOMPARE(asked, QStringLiteral("Do you really want to reset ALL Timers?\nAre you sure ?"));
        QCOMPARE(View()->Ledger().m_nRunning, 2);
        QCOMPARE(Stored(1), 0);

        WhenModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click(); });
        m_frame->OnCommand(ID_RESET_ALL);
        QCOMPARE(View()->Ledger().m_nRunning, 0);
        QVERIFY(Control<QRadioButton>(IDC_RADIO_STOP)->isChecked());
        QCOMPARE(Stored(1), 0);
        QCOMPARE(Text(IDC_TIME_FIRST + 1), QStringLiteral("  0:00:00"));
        QCOMPARE(Text(IDC_SHARE_FIRST + 1), QStringLiteral("0.0%"));
    }

    void namesDialogWritesEveryKeystrokeAndEscapeKeepsResets() {
        m_profile->WriteProfileInt(kTimerSec, IndexEntry(9), 500);
        m_profile->WriteProfileInt(kTimerSec, IndexEntry(0), 400);
        QStringList written;
        WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<CFieldNamesDlg*>(w);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit Fields"));
            auto* edit = qobject_cast<QLineEdit*>(dialog->Form().Control(IDC_FIELD_3));
            QCOMPARE(edit->text(), QStringLiteral("My Project Text 3"));
            edit->clear();
            for (const char* key : {"a", "b", "c"}) {
                QTest::keyClicks(edit, QString::fromLatin1(key));
                written << m_profile->GetProfileString(kTimerText, IndexEntry(2));
            }
            QTest::mouseClick(qobject_cast<QCheckBox*>(dialog->Form().Control(IDC_RESET_10)), Qt::LeftButton,
                              {}, QPoint(6, 10));
            auto* reset1 = qobject_cast<QCheckBox*>(dialog->Form().Control(IDC_RESET_1));
            QTest::mouseClick(reset1, Qt::LeftButton, {}, QPoint(6, 10));
            QTest::mouseClick(reset1, Qt::LeftButton, {}, QPoint(6, 10));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        m_frame->OnCommand(ID_EDIT_FIELDNAMES);
        QCOMPARE(written, QStringList({QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("abc")}));
        QCOMPARE(Stored(9), 0);
        QCOMPARE(Stored(0), 400);
        QCOMPARE(Text(IDC_NAME_FIRST + 2), QStringLiteral("abc"));
        QCOMPARE(Text(IDC_TIME_FIRST + 9), QStringLiteral("  0:00:00"));
    }

    void openingTheNamesDialogWritesNothing() {
        const QString before = m_profile->GetProfileString(kTimerText, IndexEntry(0));
        m_profile->WriteProfileString(kTimerText, IndexEntry(0), QStringLiteral("kept"));
        WhenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
        m_frame->OnCommand(ID_EDIT_FIELDNAMES);
        QCOMPARE(m_profile->GetProfileString(kTimerText, IndexEntry(0)), QStringLiteral("kept"));
        QVERIFY(before != QStringLiteral("kept"));
    }

    void saveWritesAnEmptyFileAndPrintAnEmptyPage() {
        const QString saved = m_dir->filePath(QStringLiteral("board.kel"));
        WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            dialog->selectFile(saved);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        m_frame->OnCommand(ID_FILE_SAVE);
        QVERIFY(QFileInfo::exists(saved));
        QCOMPARE(QFileInfo(saved).size(), 0);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("Kelvra v 1.0"));

        // Without a printer the page goes to a PDF file in the (test's own) home folder.
        const QString pdf = QDir::home().filePath(QStringLiteral("Kelvra.pdf"));
        WhenModal([&](QWidget* w) { qobject_cast<QPrintDialog*>(w)->accept(); });
        m_frame->OnCommand(ID_FILE_PRINT);
        const QByteArray document = FileBytes(pdf);
        QVERIFY(document.startsWith("%PDF"));
        QVERIFY(document.contains("/Count 1"));
    }

    void longNamesNeverPromptAndSwitchingStillWorks() {
        const QString longName = QStringLiteral("A project name that is far longer than twenty characters");
        m_profile->WriteProfileString(kTimerText, IndexEntry(5), longName);
        m_frame->OnCommand(ID_FILE_NEW);
        auto* label = Control<FormLabel>(IDC_NAME_FIRST + 5);
        QCOMPARE(label->FullText(), longName);
        QCOMPARE(label->toolTip(), longName);
        QVERIFY(label->text().size() < longName.size());
        ClickRadio(IDC_RADIO_6);
        Tick();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(View()->Ledger().m_nRunning, 6);
        ClickRadio(IDC_RADIO_STOP);
        QCOMPARE(Stored(5), 1);
    }

    void secondStartKeepsTheProfileAndLookupFollowsTheCode() {
        const int id = m_profile->GetProfileInt(kTimer, kRandomId, 0);
        QVERIFY(id % 100 == 10);
        // Without a stored code every initial update arms the one-shot lookup timer.
        QSignalSpy started(View(), &CKelvraView::countryLookupStarted);
        m_frame->OnCommand(ID_FILE_NEW);
        QVERIFY(View()->IsTimerActive(ID_TIMER_LOOKUP));
        QVERIFY(started.wait(3000));
        QTest::qWait(400);
        QCOMPARE(started.count(), 1);
        QVERIFY(!View()->IsTimerActive(ID_TIMER_LOOKUP));

        m_profile->WriteProfileString(kTimerText, IndexEntry(0), QStringLiteral("Renamed"));
        m_profile->WriteProfileInt(kTimer, kCc, 1);
        m_frame.reset();
        m_clock.Advance(100000);
        StartBoard();
        QCOMPARE(m_profile->GetProfileInt(kTimer, kRandomId, 0), id);
        QCOMPARE(Text(IDC_NAME_FIRST), QStringLiteral("Renamed"));
        QVERIFY(!View()->IsTimerActive(ID_TIMER_LOOKUP));
        QVERIFY(View()->IsTimerActive(ID_TIMER_TICK));
    }

    void formFollowsItsTemplate() {
        const BuiltDialog& form = View()->Form();
        const QSize base = form.baseUnits;
        QCOMPARE(base, DialogBuilder::BaseUnits(DialogBuilder::TemplateFont(Templates::BoardForm())));
        const auto dlu = [&](int x, int y, int w, int h) {
            return DialogBuilder::ToPixels(QRect(x, y, w, h), base);
        };
        QCOMPARE(form.Control(IDC_RADIO_2)->geometry(), dlu(5, 21, 8, 10));
        QCOMPARE(form.Control(IDC_NAME_FIRST + 9)->geometry(), dlu(13, 94, 65, 8));
        QCOMPARE(form.Control(IDC_SHARE_FIRST + 6)->geometry(), dlu(113, 67, 26, 8));
        QCOMPARE(form.Control(IDC_BUTTON_SPONSOR)->geometry(), dlu(83, 117, 56, 9));
        QCOMPARE(View()->size(), dlu(0, 0, 144, 131).size());
        // The frame is the form plus its menu bar, and can be neither resized nor maximised.
        QCOMPARE(m_frame->width(), View()->width());
        QCOMPARE(m_frame->minimumSize(), m_frame->maximumSize());
        QVERIFY(!(m_frame->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(m_frame->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("Kelvra v 1.0"));
    }

    void buttonFacesAreTheSameAtEveryStart() {
        const auto bytes = [](const CDibSurface& s) {
            return QByteArray(reinterpret_cast<const char*>(s.GetBits()),
                              static_cast<int>(s.GetTotalSize() - 40 - s.GetPaletteSize()));
        };
        const QByteArray manual = bytes(View()->ManualButton().FaceNormal());
        const QByteArray sponsor = bytes(View()->SponsorButton().FaceNormal());
        QVERIFY(!manual.isEmpty());
        QVERIFY(manual != sponsor); // the second button continues the sequence
        QCOMPARE(View()->ManualButton().FaceNormal().GetWidth(), View()->ManualButton().width());
        m_frame.reset();
        StartBoard();
        QCOMPARE(bytes(View()->ManualButton().FaceNormal()), manual);
        QCOMPARE(bytes(View()->SponsorButton().FaceNormal()), sponsor);
        m_frame->OnCommand(ID_FILE_NEW); // shaded again from the seeded generator
        QVERIFY(bytes(View()->ManualButton().FaceNormal()) != manual);
    }

    void boardIsWhiteOnBlue() {
        const QImage image = View()->grab().toImage();
        QCOMPARE(image.pixelColor(2, 2), QColor(102, 102, 255));
        const QRect name = Control<FormLabel>(IDC_NAME_FIRST)->geometry();
        int white = 0;
        for (int x = name.left(); x <= name.right(); ++x) {
            for (int y = name.top(); y <= name.bottom(); ++y) {
                white +=
                    image.pixelColor(x * image.devicePixelRatio(), y * image.devicePixelRatio()) == Qt::white;
            }
        }
        QVERIFY(white > 20);
        QCOMPARE(Control<QRadioButton>(IDC_RADIO_5)->palette().color(QPalette::Window),
                 QColor(102, 102, 255));
    }

    void oneBoardPerProfileAndAKilledBoardBlocksNothing() {
        const QString file = m_dir->filePath(QStringLiteral("shared.conf"));
        QProcess first;
        first.start(KelvraExe(), {QStringLiteral("--profile"), file});
        QVERIFY(WaitForBoard(file));
        const QByteArray before = FileBytes(file);

        int code = -1;
        RunKelvra({QStringLiteral("--profile"), file}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(FileBytes(file), before); // the second start wrote nothing

        // The report reads the profile of a running board without touching it.
        const QJsonDocument json = QJsonDocument::fromJson(
            RunKelvra({QStringLiteral("--report=json"), QStringLiteral("--profile"), file}, &code));
        QCOMPARE(code, 0);
        QCOMPARE(json[QStringLiteral("timers")][0][QStringLiteral("name")].toString(),
                 QStringLiteral("My Project Text 1"));

        // Another profile is another board.
        const QString other = m_dir->filePath(QStringLiteral("other.conf"));
        QProcess second;
        second.start(KelvraExe(), {QStringLiteral("--profile"), other});
        QVERIFY(WaitForBoard(other));
        ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);

        // A board killed outright leaves its lock behind; the next start takes it over.
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(QFile::exists(file + QStringLiteral(".instance")));
        QProcess third;
        third.start(KelvraExe(), {QStringLiteral("--profile"), file});
        QVERIFY(third.waitForStarted());
        QVERIFY(!third.waitForFinished(1500));
        ::kill(static_cast<pid_t>(third.processId()), SIGTERM);
        QVERIFY(third.waitForFinished(10000));
        QCOMPARE(third.exitCode(), 0);
    }

    void reportShowsTheBoardInThreeForms() {
        const QString file = m_dir->filePath(QStringLiteral("report.conf"));
        const QStringList names{QStringLiteral("Smith, \"Ace\" & Co"), QStringLiteral("Zürich Ω 東京"),
                                QStringLiteral("A name of exactly forty characters, yes!"),
                                QStringLiteral(" padded ")};
        QCOMPARE(names[2].size(), 40);
        {
            Profile profile(file);
            for (int i = 0; i < 10; ++i) {
                profile.WriteProfileString(kTimerText, IndexEntry(i),
                                           names.value(i, QStringLiteral("T%1").arg(i)));
                profile.WriteProfileInt(kTimerSec, IndexEntry(i), i == 0 ? 3661 : i == 1 ? 7322 : 0);
            }
        }
        const QByteArray before = FileBytes(file);
        int code = -1;

        const QString text = QString::fromUtf8(
            RunKelvra({QStringLiteral("--report"), QStringLiteral("--profile"), file}, &code));
        QCOMPARE(code, 0);
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 11);
        QVERIFY(lines[0].startsWith(names[0]) && lines[0].endsWith(QStringLiteral("  1:01:01   33.3 %")));
        QVERIFY(lines[1].startsWith(names[1]) && lines[1].endsWith(QStringLiteral("  2:02:02   66.7 %")));
        QVERIFY(lines[2].startsWith(names[2]) && lines[2].endsWith(QStringLiteral("  0:00:00    0.0 %")));
        QVERIFY(lines[10].startsWith(QStringLiteral("Total")) &&
                lines[10].endsWith(QStringLiteral("  3:03:03")));

        // RFC 4180: fields with commas, quotes or edge blanks are quoted, quotes doubled.
        const QStringList csv =
            QString::fromUtf8(
                RunKelvra({QStringLiteral("--report=csv"), QStringLiteral("--profile"), file}, &code))
                .split(QStringLiteral("\r\n"));
        QCOMPARE(code, 0);
        QCOMPARE(csv.size(), 13); // header, ten timers, total, and the empty rest after the last line end
        QCOMPARE(csv[0], QStringLiteral("index,name,seconds,time,share"));
        QCOMPARE(csv[1], QStringLiteral("0,\"Smith, \"\"Ace\"\" & Co\",3661,\"  1:01:01\",33.3 %"));
        QCOMPARE(csv[2], QStringLiteral("1,Zürich Ω 東京,7322,\"  2:02:02\",66.7 %"));
        QCOMPARE(csv[3],
                 QStringLiteral("2,\"A name of exactly forty characters, yes!\",0,\"  0:00:00\",0.0 %"));
        QCOMPARE(csv[4], QStringLiteral("3,\" padded \",0,\"  0:00:00\",0.0 %"));
        QCOMPARE(csv[11], QStringLiteral(",Total,10983,\"  3:03:03\","));

        const QJsonDocument json = QJsonDocument::fromJson(
            RunKelvra({QStringLiteral("--report=json"), QStringLiteral("--profile"), file}, &code));
        QCOMPARE(code, 0);
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(json[QStringLiteral("timers")][i][QStringLiteral("name")].toString(), names[i]);
        }
        QCOMPARE(json[QStringLiteral("timers")][1][QStringLiteral("share")].toString(),
                 QStringLiteral("66.7 %"));
        QCOMPARE(json[QStringLiteral("total")][QStringLiteral("time")].toString(),
                 QStringLiteral("  3:03:03"));

        QCOMPARE(FileBytes(file), before);
        QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("report.conf*")}),
                 QStringList({QStringLiteral("report.conf")}));
    }

    void webPagesFollowTheirCommandsAndTheStoredCode() {
        OpenedAddresses opened;
        const QString maker = QStringLiteral("http://" KELVRA_MAKER_HOST);
        const QString salesLog =
            QStringLiteral("http://" KELVRA_SPONSOR_HOST "/saleslog.php?coupon=&userid=52204&from=Kelvra");
        QTest::mouseClick(&View()->ManualButton(), Qt::LeftButton);
        QCOMPARE(opened.Last(), maker + QStringLiteral("/Kelvra/manual.php"));
        m_frame->OnCommand(ID_GOTO_MANUAL);
        QCOMPARE(opened.m_urls.size(), 2);
        QCOMPARE(opened.Last(), opened.m_urls.first());

        const std::pair<const char*, QString> codes[] = {
            {"", maker + QStringLiteral("/Kelvra/sponsor.php")},
            {"US", salesLog},
            {"us", maker + QStringLiteral("/Kelvra/sponsor.php")},
            {"USA", maker + QStringLiteral("/Kelvra/sponsor.php")}};
        for (const auto& [code, page] : codes) {
            m_profile->WriteProfileString(kTimer, kCountryCode, QString::fromLatin1(code));
            QTest::mouseClick(&View()->SponsorButton(), Qt::LeftButton);
            QCOMPARE(opened.Last(), page);
            m_frame->OnCommand(ID_GOTO_SPONSOR);
            QCOMPARE(opened.Last(), page);
        }
        m_frame->OnCommand(ID_GOTO_SITE);
        QCOMPARE(opened.Last(), maker + QStringLiteral("/Kelvra/index.php"));
        m_frame->OnCommand(ID_DONATE);
        QCOMPARE(opened.Last(), maker + QStringLiteral("/Kelvra/donate.php"));
        m_frame->OnCommand(ID_GOTO_ARTICLES);
        QVERIFY(opened.Last().endsWith(
            QStringLiteral("/Self_Improvement_and_Motivation/time_management_tips_for_solo__7698.html")));
        const qsizetype count = opened.m_urls.size();
        m_frame->OnCommand(ID_EDIT_UNDO); // no handler: nothing happens
        QCOMPARE(opened.m_urls.size(), count);
    }

    void lookupFromTheBoardStoresTheCodeOnce() {
        LoopbackServer server(
            ScriptedReply{{"HTTP/1.1 200 OK\r\nContent-Length: 22\r\n\r\n<x><CountryCode>DE</x>"}});
        const MakerHostOverride host(server);
        QTRY_COMPARE_WITH_TIMEOUT(m_profile->GetProfileInt(kTimer, kCc, 0), 1, 10000);
        QCOMPARE(m_profile->GetProfileString(kTimer, kCountryCode), QStringLiteral("DE"));
        QVERIFY(QString::fromStdString(server.WaitForRequest())
                    .contains(QStringLiteral("User-Agent: KelvraV10.")));
        m_frame->OnCommand(ID_FILE_NEW);
        QVERIFY(!View()->IsTimerActive(ID_TIMER_LOOKUP));
    }

    void theWindowNeverWaitsForTheLookup() {
        LoopbackServer silent(ScriptedReply{.bHoldOpen = true});
        const MakerHostOverride host(silent);
        QSignalSpy started(View(), &CKelvraView::countryLookupStarted);
        m_frame->OnCommand(ID_FILE_NEW);
        QVERIFY(started.wait(5000));
        QVERIFY(!silent.WaitForRequest().empty()); // the worker is now waiting for an answer
        for (int row : {3, 7, 0}) {
            QElapsedTimer latency;
            latency.start();
            bool delivered = false;
            QTimer::singleShot(0, [&] { delivered = true; });
            QTRY_VERIFY_WITH_TIMEOUT(delivered, 1000);
            QVERIFY(latency.elapsed() < 250);
            ClickLabel(row == 0 ? IDC_STOP_LABEL : IDC_NAME_FIRST + row - 1);
            QCOMPARE(View()->Ledger().m_nRunning, row);
        }
        QCOMPARE(m_profile->GetProfileInt(kTimer, kCc, 0), 0);
    }

    void terminationSignalStoresTheOpenPeriod() {
        const QString file = m_dir->filePath(QStringLiteral("child.conf"));
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(qEnvironmentVariable("KELVRA_TEST_BIN") + QStringLiteral("/board_child"), {file});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("running"));
        QTest::qWait(2100);
        ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        Profile after(file);
        QVERIFY(after.GetProfileInt(kTimerSec, IndexEntry(2), 0) >= 2);
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"
