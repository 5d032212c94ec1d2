#pragma once

#include <QtGlobal>
#include <memory>

class CKelvraDoc;
struct CommandLine;
class CMainFrame;
class Clock;
class Profile;
class TerminationSignals;

// The application: reads the command line, opens the profile, builds the main window with the board and
// shows it. Ending by a signal or with the desktop session closes the window the normal way, so the
// open period is charged and stored.
class CKelvraApp final {
public:
    CKelvraApp();
    ~CKelvraApp();
    Q_DISABLE_COPY_MOVE(CKelvraApp)

    // Builds and shows the main window; false when the program must end (a document that cannot be
    // opened).
    bool InitInstance(const CommandLine& commandLine);

    CMainFrame* MainFrame() const { return m_frame.get(); }
    std::shared_ptr<Profile> GetProfile() const { return m_profile; }

private:
    std::shared_ptr<Profile> m_profile;
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<CKelvraDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<TerminationSignals> m_signals;
};
