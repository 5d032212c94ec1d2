#pragma once

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>

class CHistoryWindow;
class CKelvraDoc;
class CKelvraView;
class Clock;
class JournalSink;
class PeriodSink;
class Profile;
class QAction;

// The main window: fixed size (it shrinks to the board's form), minimisable but neither maximisable nor
// resizable, with the menu and the accelerators. Every command goes through OnCommand.
class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    // `sink` hears of every period and reset; nullptr records nothing.
    CMainFrame(std::shared_ptr<Profile> profile, const Clock& clock, CKelvraDoc& document,
               PeriodSink* sink = nullptr);
    ~CMainFrame() override;
    Q_DISABLE_COPY_MOVE(CMainFrame)

    CKelvraView* View() const { return m_view; }
    // The history window while it is open, else nullptr.
    CHistoryWindow* History() const;
    void OnCommand(int id);
    // The menu's action for a command; nullptr for one without a menu item.
    QAction* CommandAction(int id) const;
    // Opens a document (command line, Open): reads nothing and runs the board's initial update again.
    // The profile and the journal are refused, `problem` saying so.
    bool OpenDocument(const QString& path, QString* problem = nullptr);
    // Why `path` can be no document (it is the profile or the journal); empty when it can be one.
    QString NotADocument(const QString& path) const;
    // The journal the board records into: the history window reads it (and whether it records), Undo,
    // Redo and Resume ask it. Without one there is no history and they stay disabled.
    void SetJournal(JournalSink* journal) { m_journal = journal; }
    // Labels and enables Undo, Redo and Resume from the journal; the Edit menu does it when it opens.
    void UpdateEditMenu();
    // Edit > Undo (or Redo): takes back the last change (or makes again the one undone last); the
    // history window's Ctrl+Z and Ctrl+Shift+Z come here too.
    void UndoChange(bool bRedo);

private:
    void BuildMenu();
    void BuildAccelerators();
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnAppAbout();
    void OnEditHistory();
    void AddToRecentFileList(const QString& path);

    void OnResume();

    std::shared_ptr<Profile> m_profile;
    const Clock& m_clock;
    CKelvraDoc& m_document;
    JournalSink* m_journal = nullptr;
    QPointer<CHistoryWindow> m_history; // made at its first opening, deleted when closed
    CKelvraView* m_view = nullptr;      // central widget, owned by the window
    std::map<int, QAction*> m_commands; // the menu's actions, owned by their menus
};
