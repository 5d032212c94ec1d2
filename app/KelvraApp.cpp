#include "app/KelvraApp.h"

#include "app/CommandLine.h"
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <cstdio>

CKelvraApp::CKelvraApp() = default;

CKelvraApp::~CKelvraApp() {
    // The window goes first: destroying the board charges the open period into the profile.
    m_frame.reset();
}

bool CKelvraApp::InitInstance(const CommandLine& commandLine) {
    m_profile = commandLine.profileFile.isEmpty() ? std::make_shared<Profile>()
                                                  : std::make_shared<Profile>(commandLine.profileFile);
    m_clock = std::make_unique<SystemClock>();
    m_document = std::make_unique<CKelvraDoc>();
    m_frame = std::make_unique<CMainFrame>(m_profile, *m_clock, *m_document);

    if (commandLine.document.isEmpty()) {
        m_document->OnNewDocument();
        m_frame->View()->OnInitialUpdate();
    } else if (!m_frame->OpenDocument(commandLine.document)) {
        std::fprintf(stderr, "kelvra: cannot open %s\n", qPrintable(commandLine.document));
        m_frame.reset();
        return false;
    }

    CMainFrame* frame = m_frame.get();
    m_signals = std::make_unique<TerminationSignals>([frame] { frame->close(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, frame, [frame] { frame->close(); });
    m_frame->show();
    return true;
}
