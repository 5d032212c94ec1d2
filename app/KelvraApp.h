#pragma once

#include "board/PeriodSink.h"

#include <QPointer>
#include <QtGlobal>
#include <memory>
#include <vector>

class AwayPrompt;
class CKelvraDoc;
class ControlServer;
struct CommandLine;
class CMainFrame;
class Clock;
class Profile;
class ExitHook;
class InstanceGuard;
class JournalSink;
class SignalBridge;

// The application: opens the profile, makes sure it is the only board on it, builds the main window with
// the board and shows it. Ending by a signal or with the desktop session closes the window the normal way, so
// the open period is charged and stored.
class CKelvraApp final {
public:
    CKelvraApp();
    ~CKelvraApp();
    Q_DISABLE_COPY_MOVE(CKelvraApp)

    enum class Start {
        Running,        // the board is up; run the event loop
        AlreadyRunning, // another board has this profile and was asked to come to the front
        Failed, // a document that cannot be opened, or a board that holds the profile and cannot be reached
    };

    // Builds and shows the main window.
    Start InitInstance(const CommandLine& commandLine);

    CMainFrame* MainFrame() const { return m_frame.get(); }
    std::shared_ptr<Profile> GetProfile() const { return m_profile; }

    JournalSink* Journal() const { return m_journal.get(); }

private:
    // Non-modal, so that neither start-up nor the tick waits on the user.
    void ShowNotice(const QString& text, bool toStderr = true);
    void ShowRecovered(int index, const QString& name, qint64 start, qint64 end);
    // The journal and the profile brought into agreement, and the user told what that found.
    void Reconcile();
    void ShowBalances(const std::vector<PeriodSink::Dated>& balances);
    // Away detection and the tray indicator: after the first paint, so that start-up does not pay.
    void StartAwayAndTray();

    std::shared_ptr<Profile> m_profile;
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<JournalSink> m_journal; // outlives the frame, whose board records into it
    std::unique_ptr<CKelvraDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<ExitHook> m_exitHook;
    bool m_bEndedByRequest = false; // by a signal or the end of the desktop session, not by the user
    std::unique_ptr<InstanceGuard> m_guard;
    std::unique_ptr<SignalBridge> m_signals;
    // --start, --stop, --status and second starts reach the board here.
    std::unique_ptr<ControlServer> m_control;
    QPointer<AwayPrompt> m_away; // a child of the view, made after the first paint
};
