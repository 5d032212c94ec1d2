#include "app/KelvraApp.h"

#include "app/CommandLine.h"
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "app/Reminders.h"
#include "app/TrayMenu.h"
#include "away/AwayDetector.h"
#include "away/AwayPrompt.h"
#include "away/PresenceSources.h"
#include "away/SuspendWatch.h"
#include "board/KelvraView.h"
#include "board/KelvraViewTemplate.h"
#include "board/TimerLedger.h"
#include "control/ControlServer.h"
#include "control/RemoteControl.h"
#include "journal/JournalHealth.h"
#include "journal/JournalSink.h"
#include "platform/AfterFirstPaint.h"
#include "platform/Clock.h"
#include "platform/DialogBuilder.h"
#include "platform/ExitHook.h"
#include "platform/InstanceGuard.h"
#include "platform/Profile.h"
#include "platform/SignalBridge.h"

#include <QApplication>
#include <QDateTime>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTimer>
#include <csignal>
#include <cstdio>

CKelvraApp::CKelvraApp() = default;

CKelvraApp::~CKelvraApp() {
    // The order matters and is spelt out here rather than left to the members' order. The window goes
    // first: destroying the board charges the open period into the profile and the journal. Signals
    // stay caught until then, so none can end the process halfway. The journal is closed before the
    // guard lets go, so that a second board never finds it still in use. The control socket goes before
    // anything else, and its file with it, while the guard still keeps a second board from making its own.
    m_control.reset();
    m_exitHook.reset();
    m_frame.reset();
    m_signals.reset();
    m_journal.reset();
    // The charge at closing could not be stored: say so before the process ends. The box waits for the
    // user only when the user closed the board; a signal or the session's end must not hang on it.
    const QString problem = m_profile ? m_profile->SaveProblem() : QString();
    if (!problem.isEmpty()) {
        std::fprintf(
            stderr, "%s\n",
            qPrintable(Kelvra::StderrLine(problem + QStringLiteral("; the times of this session are lost"))));
        if (!m_bEndedByRequest) {
            QMessageBox::warning(
                nullptr, QStringLiteral("Kelvra"),
                QStringLiteral("Kelvra %1.\nThe times of this session could not be saved.").arg(problem));
        }
    }
    m_guard.reset(); // last: no second board starts before all of the above is stored
}

CKelvraApp::Start CKelvraApp::InitInstance(const CommandLine& commandLine) {
    // The handlers run from the event loop, by when the window exists. On Windows the signals are the
    // console's control events.
    const auto close = [this] {
        m_bEndedByRequest = true;
        if (m_frame) {
            m_frame->close();
        }
    };
    std::map<int, std::function<void()>> handlers{{SIGTERM, close}, {SIGINT, close}};
#ifdef SIGHUP
    handlers.emplace(SIGHUP, close);
#endif
    m_signals = std::make_unique<SignalBridge>(std::move(handlers));
    m_profile = commandLine.profileFile.isEmpty() ? std::make_shared<Profile>()
                                                  : std::make_shared<Profile>(commandLine.profileFile);
    m_guard = std::make_unique<InstanceGuard>(m_profile->Location());
    QString startProblem;
    switch (m_guard->TryAcquire()) {
    case InstanceGuard::Result::Acquired:
        break;
    case InstanceGuard::Result::Held: {
        QString problem;
        bool bFree = false;
        // A board that was closing lets go of the profile: this one starts in its place.
        const auto profileFree = [this, &bFree] {
            return bFree = m_guard->TryAcquire() == InstanceGuard::Result::Acquired;
        };
        if (RemoteControl::AskToTheFront(m_profile->Location(), qgetenv("XDG_ACTIVATION_TOKEN"), profileFree,
                                         problem)) {
            return Start::AlreadyRunning;
        }
        if (bFree || profileFree()) {
            break;
        }
        // Nothing came to the front: a failure, whatever kept the board from answering.
        std::fprintf(stderr, "%s\n",
                     qPrintable(Kelvra::StderrLine(
                         QStringLiteral("A board runs on %1 but does not answer%2.")
                             .arg(m_profile->Location(),
                                  problem.isEmpty() ? QString() : QStringLiteral(": ") + problem))));
        return Start::Failed;
    }
    case InstanceGuard::Result::Unavailable:
        // Only a live board means "already running"; anything else must not keep the user from working.
        startProblem =
            QStringLiteral("Times cannot be saved to %1: %2.").arg(m_profile->Location(), m_guard->Problem());
        std::fprintf(stderr, "%s\n", qPrintable(Kelvra::StderrLine(startProblem)));
        break;
    }
    m_clock = std::make_unique<SystemClock>();
    // Requests are served from the event loop, by when the window exists. Only the holder of the lock
    // may take over a socket that a dead board left.
    m_control = RemoteControl::Listen(
        m_profile->Location(), startProblem.isEmpty(), [this](const ControlMessage::Request& request) {
            return m_frame ? RemoteControl::Answer(request, *m_frame, *m_frame->View(), m_away, *m_clock)
                           : ControlServer::Response{ControlMessage::Refusal("no board")};
        });
    // Opened after the first paint (or by the first thing the board records, if that comes earlier): the
    // board is on the screen a few milliseconds sooner.
    m_journal = std::make_unique<JournalSink>(commandLine.journalFile.isEmpty()
                                                  ? JournalSink::PathFor(commandLine.profileFile)
                                                  : commandLine.journalFile,
                                              *m_clock, *m_profile);
    m_journal->SetProblemHandler([this](const QString& problem) { ShowNotice(problem); });
    m_document = std::make_unique<CKelvraDoc>();
    // The menu takes the form's font family: one face to load instead of two, and a board that looks
    // of a piece.
    QFont font = QApplication::font();
    font.setFamily(DialogBuilder::TemplateFont(Templates::BoardForm()).family());
    QApplication::setFont(font);
    m_frame = std::make_unique<CMainFrame>(m_profile, *m_clock, *m_document, m_journal.get());
    m_frame->SetJournal(m_journal.get());

    if (commandLine.document.isEmpty()) {
        m_document->OnNewDocument();
        m_frame->View()->OnInitialUpdate();
    } else if (QString problem; !m_frame->OpenDocument(commandLine.document, &problem)) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(problem.isEmpty()
                                    ? QStringLiteral("kelvra: cannot open ") + commandLine.document
                                    : Kelvra::StderrLine(problem)));
        m_frame.reset();
        return Start::Failed;
    }

    CMainFrame* frame = m_frame.get();
    // The open period is stored at once: the session may end the process before the close is carried out
    // (Windows does right after its end-session messages).
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, frame, [this, frame] {
        frame->View()->ChargeOpenPeriod();
        m_bEndedByRequest = true;
        frame->close();
    });
#ifdef Q_OS_WIN
    // At logoff or shutdown Windows ends the process right after Qt has told aboutToQuit, before any
    // window is destroyed: the open period is stored then.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, frame,
                     [frame] { frame->View()->ChargeOpenPeriod(); });
#endif
    // A process ended by exit() from inside the event loop (a broken display connection) still stores
    // its open period.
    m_exitHook = std::make_unique<ExitHook>([frame] { frame->View()->ChargeOpenPeriod(); });
    m_frame->show();
    AfterFirstPaint(frame->View(), [this, startProblem] {
        if (!startProblem.isEmpty()) {
            ShowNotice(startProblem, false);
        }
        const JournalSink::Attached& attached = m_journal->Attach();
        if (!attached.problem.isEmpty()) {
            ShowNotice(attached.problem);
        }
        // A journal repaired as it was opened is reconciled once it is open again.
        m_journal->SetReopenedHandler([this] { Reconcile(); });
        Reconcile();
        // Pages the board never reads may be damaged too: a check off the window thread finds them.
        if (m_journal->IsRecording()) {
            JournalHealth::CheckAsync(m_journal->Path(), m_frame.get(),
                                      [this](const JournalHealth::Verdict& verdict) {
                                          if (verdict.state == JournalHealth::Verdict::State::Damaged) {
                                              m_journal->SalvageDamaged(verdict.detail);
                                          }
                                      });
        }
        StartAwayAndTray();
    });
    // Decoding the icons can wait until the board is on the screen.
    QTimer::singleShot(0, frame, [frame] {
        QIcon icon;
        for (int size : {16, 32, 48}) {
            icon.addFile(QStringLiteral(":/icons/kelvra-%1.png").arg(size));
        }
        frame->setWindowIcon(icon);
    });
    return Start::Running;
}

void CKelvraApp::StartAwayAndTray() {
    // Children of the window: they go with it, and neither keeps the program alive.
    CKelvraView* view = m_frame->View();
    auto* away = new AwayPrompt(*view, *m_profile, SuspendWatch::ForThisSystem());
    m_away = away;
    WatchPresence(*away, AwayDetector::IdleMinutes(*m_profile));
    auto* reminders = new Reminders(*m_frame, *m_profile, *away);
    reminders->Notifier().Start();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        auto* tray = new TrayMenu(*view, *m_frame);
        tray->Attach(std::make_unique<QSystemTrayIcon>());
        reminders->SetTray(tray);
    }
}

void CKelvraApp::ShowNotice(const QString& text, bool toStderr) {
    if (toStderr) {
        std::fprintf(stderr, "%s\n", qPrintable(Kelvra::StderrLine(text)));
    }
    auto* box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Kelvra"), text, QMessageBox::Ok, m_frame.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void CKelvraApp::Reconcile() {
    if (const auto reconciled = m_frame->View()->Reconcile()) {
        // The time a dead board left open is in the profile now and shown.
        for (const PeriodSink::Period& r : reconciled->recovered) {
            ShowRecovered(r.index, r.name, r.start, r.end);
        }
        if (!reconciled->balances.empty()) {
            ShowBalances(reconciled->balances);
        }
    }
}

void CKelvraApp::ShowBalances(const std::vector<PeriodSink::Dated>& balances) {
    QStringList lines;
    for (const PeriodSink::Dated& balance : balances) {
        const QString amount = Kelvra::FormatSeconds(balance.seconds).trimmed();
        lines << QStringLiteral("\"%1\": %2%3")
                     .arg(m_frame->View()->Ledger().Name(balance.index),
                          balance.seconds > 0 ? QStringLiteral("+") : QString(), amount);
    }
    ShowNotice(
        QStringLiteral("The profile holds times the history journal had not recorded (changed by hand, or "
                       "charged while the journal could not be written). The profile is kept as it is; "
                       "the history records the difference as a balance:\n%1")
            .arg(lines.join(QLatin1Char('\n'))),
        false);
}

void CKelvraApp::ShowRecovered(int index, const QString& name, qint64 start, qint64 end) {
    const auto local = [](qint64 t) {
        return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    const QString text =
        QStringLiteral("Kelvra did not close properly last time. \"%1\" was running; it was "
                       "charged %2, from %3 to %4, when it was last seen.")
            .arg(name, Kelvra::FormatSeconds(end - start).trimmed(), local(start), local(end));
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Kelvra"), text,
                                QMessageBox::NoButton, m_frame.get());
    QPushButton* resume = box->addButton(QStringLiteral("Resume \"%1\"").arg(name), QMessageBox::AcceptRole);
    box->setDefaultButton(box->addButton(QMessageBox::Close));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    CKelvraView* view = m_frame->View();
    QObject::connect(resume, &QPushButton::clicked, view, [view, index] { view->SelectRow(index + 1); });
    box->show();
}
