#include "app/KelvraApp.h"

#include "app/CommandLine.h"
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "platform/Clock.h"
#include "platform/DialogBuilder.h"
#include "platform/InstanceGuard.h"
#include "platform/Profile.h"
#include "platform/SignalBridge.h"
#include "res/Templates.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <csignal>
#include <cstdio>

CKelvraApp::CKelvraApp() = default;

CKelvraApp::~CKelvraApp() {
    // The window goes first: destroying the board charges the open period into the profile. Signals
    // stay caught until then, so none can end the process halfway; the guard goes last, so that no
    // second board starts before the charge is stored.
    m_frame.reset();
    m_signals.reset();
}

CKelvraApp::Start CKelvraApp::InitInstance(const CommandLine& commandLine) {
    // Caught before the instance lock is taken: a second start may ask this board to come to the front
    // at once, and an uncaught SIGUSR1 would end it. The handlers run from the event loop, by when the
    // window exists.
    const auto close = [this] {
        if (m_frame) {
            m_frame->close();
        }
    };
    const auto raise = [this] {
        if (m_frame) {
            m_frame->showNormal();
            m_frame->raise();
            m_frame->activateWindow();
        }
    };
#ifdef Q_OS_UNIX
    m_signals = std::make_unique<SignalBridge>(std::map<int, std::function<void()>>{
        {SIGTERM, close}, {SIGINT, close}, {SIGHUP, close}, {SIGUSR1, raise}});
#endif
    m_profile = commandLine.profileFile.isEmpty() ? std::make_shared<Profile>()
                                                  : std::make_shared<Profile>(commandLine.profileFile);
    m_guard = std::make_unique<InstanceGuard>(m_profile->Location());
    if (!m_guard->TryAcquire()) {
        m_guard->NotifyOwner();
        return Start::AlreadyRunning;
    }
    m_clock = std::make_unique<SystemClock>();
    m_document = std::make_unique<CKelvraDoc>();
    // The menu takes the form's font family: one face to load instead of two, and a board that looks
    // of a piece.
    QFont font = QApplication::font();
    font.setFamily(DialogBuilder::TemplateFont(Templates::BoardForm()).family());
    QApplication::setFont(font);
    m_frame = std::make_unique<CMainFrame>(m_profile, *m_clock, *m_document);

    if (commandLine.document.isEmpty()) {
        m_document->OnNewDocument();
        m_frame->View()->OnInitialUpdate();
    } else if (!m_frame->OpenDocument(commandLine.document)) {
        std::fprintf(stderr, "kelvra: cannot open %s\n", qPrintable(commandLine.document));
        m_frame.reset();
        return Start::Failed;
    }

    CMainFrame* frame = m_frame.get();
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, frame, [frame] { frame->close(); });
    m_frame->show();
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
