#include "app/MainFrame.h"

#include "app/AboutDlg.h"
#include "app/KelvraDoc.h"
#include "app/Menus.h"
#include "app/OptionsDlg.h"
#include "board/KelvraView.h"
#include "board/PeriodSink.h"
#include "history/HistoryWindow.h"
#include "journal/JournalSink.h"
#include "platform/AccessibleRoles.h"
#include "platform/Profile.h"
#include "res/resource.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace {

const QString kRecentSection = QStringLiteral("Recent File List");
constexpr int kRecentFiles = 4;

} // namespace

CMainFrame::CMainFrame(std::shared_ptr<Profile> profile, const Clock& clock, CKelvraDoc& document,
                       PeriodSink* sink)
    : m_profile(std::move(profile)), m_clock(clock), m_document(document) {
    AccessibleRoles::Install(); // before any of the board's widgets is asked for its interface
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Kelvra v 1.0"));
    setGeometry(100, 100, 500, 500);
    BuildMenu();
    BuildAccelerators();
    m_view = new CKelvraView(m_profile, clock, this, sink != nullptr ? *sink : PeriodSink::None());
    setCentralWidget(m_view);
}

CMainFrame::~CMainFrame() {
    delete m_history; // a window of its own, which reads the board's ledger
}

void CMainFrame::BuildMenu() {
    QMenu* current = nullptr;
    QString currentTitle;
    for (const Menus::MenuItem& item : Menus::MainMenu()) {
        if (current == nullptr || item.menu != currentTitle) {
            current = menuBar()->addMenu(item.menu);
            currentTitle = item.menu;
            if (item.menu == QStringLiteral("&Edit")) {
                connect(current, &QMenu::aboutToShow, this, &CMainFrame::UpdateEditMenu);
            }
        }
        if (item.item.isEmpty()) {
            current->addSeparator();
            continue;
        }
        QAction* action = current->addAction(item.item);
        action->setShortcut(item.shortcut);
        const int id = item.command;
        m_commands[id] = action;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
}

QAction* CMainFrame::CommandAction(int id) const {
    const auto found = m_commands.find(id);
    return found != m_commands.end() ? found->second : nullptr;
}

void CMainFrame::BuildAccelerators() {
    for (const Menus::Accelerator& accelerator : Menus::MainAccelerators()) {
        auto* action = new QAction(this);
        action->setShortcut(accelerator.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const int id = accelerator.command;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        addAction(action);
    }
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
    case ID_APP_EXIT:
        close();
        break;
    case ID_APP_ABOUT:
        OnAppAbout();
        break;
    case ID_FILE_NEW:
        OnFileNew();
        break;
    case ID_FILE_OPEN:
        OnFileOpen();
        break;
    case ID_FILE_SAVE:
        OnFileSave();
        break;
    case ID_FILE_PRINT:
        m_view->OnFilePrint();
        break;
    case ID_EDIT_FIELDNAMES:
        m_view->EditFieldNames();
        break;
    case ID_EDIT_HISTORY:
        OnEditHistory();
        break;
    case ID_RESET_ALL:
        m_view->ResetAllTimers();
        break;
    case ID_EDIT_UNDO_RESET:
        UndoChange(false);
        break;
    case ID_EDIT_REDO_CHANGE:
        UndoChange(true);
        break;
    case ID_EDIT_RESUME:
        OnResume();
        break;
    case ID_EDIT_OPTIONS: {
        COptionsDlg options(*m_profile, this);
        options.exec();
        break;
    }
    default:
        // The GoTo and Donate pages; Undo, Cut, Copy, Paste and the pane keys have no handler and do
        // nothing.
        m_view->OpenWebPage(id);
        break;
    }
}

namespace {

// The label of a menu item names a timer in a few words.
QString ShortName(const QString& name) {
    constexpr int kMost = 32;
    return Menus::ItemText(name.size() <= kMost ? name : name.left(kMost - 1) + QChar(0x2026));
}

} // namespace

void CMainFrame::UpdateEditMenu() {
    const CTimerLedger& ledger = m_view->Ledger();
    for (const auto& [id, bRedo] : {std::pair{ID_EDIT_UNDO_RESET, false}, {ID_EDIT_REDO_CHANGE, true}}) {
        if (QAction* action = CommandAction(id)) {
            const std::optional<QString> label =
                m_journal != nullptr ? m_journal->UndoLabel(bRedo) : std::nullopt;
            const QString verb = bRedo ? QStringLiteral("Redo") : QStringLiteral("Undo");
            action->setText(label ? Menus::ItemText(verb + QLatin1Char(' ') + *label) : verb);
            action->setEnabled(label.has_value());
        }
    }
    if (QAction* resume = CommandAction(ID_EDIT_RESUME)) {
        std::optional<JournalQuery::LastPeriod> last;
        if (m_journal != nullptr && ledger.Running() == 0) {
            last = m_journal->LastClosedPeriod();
        }
        // A day's work resumed, not last week's: the last period must have ended within 12 hours.
        constexpr qint64 kResumeSeconds = 12 * 3600;
        const bool recent = last && last->index >= 0 && last->index < CTimerLedger::kTimers &&
                            ledger.Now() - last->end < kResumeSeconds;
        resume->setText(recent ? QStringLiteral("Resume %1").arg(ShortName(ledger.Name(last->index)))
                               : QStringLiteral("Resume"));
        resume->setEnabled(recent);
        resume->setData(recent ? last->index : -1);
    }
}

void CMainFrame::UndoChange(bool bRedo) {
    if (m_journal == nullptr) {
        return;
    }
    PeriodSink::Correction correction;
    correction.kind = bRedo ? PeriodSink::Correction::Kind::Redo : PeriodSink::Correction::Kind::Undo;
    const PeriodSink::Corrected result = m_view->Correct(correction);
    if (result.outcome != PeriodSink::Corrected::Outcome::Done && !result.problem.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("Kelvra"), result.problem);
    }
}

void CMainFrame::OnResume() {
    // Checked again: the menu may have been shown a while ago.
    UpdateEditMenu();
    const QAction* resume = CommandAction(ID_EDIT_RESUME);
    if (resume != nullptr && resume->isEnabled()) {
        m_view->SelectRow(resume->data().toInt() + 1);
    }
}

void CMainFrame::OnFileNew() {
    if (m_document.OnNewDocument()) {
        m_view->OnInitialUpdate();
    }
}

QString CMainFrame::NotADocument(const QString& path) const {
    const QString file = QFileInfo(path).canonicalFilePath();
    const auto same = [&file](const QString& other) {
        return !file.isEmpty() && file == QFileInfo(other).canonicalFilePath();
    };
    if (same(m_profile->Location())) {
        return QStringLiteral("%1 is the board's profile, not a document.")
            .arg(QDir::toNativeSeparators(path));
    }
    if (m_journal != nullptr && same(m_journal->Path())) {
        return QStringLiteral("%1 is the board's journal, not a document.")
            .arg(QDir::toNativeSeparators(path));
    }
    return {};
}

bool CMainFrame::OpenDocument(const QString& path, QString* problem) {
    if (const QString why = NotADocument(path); !why.isEmpty()) {
        if (problem != nullptr) {
            *problem = why;
        }
        return false;
    }
    if (!m_document.OnOpenDocument(path)) {
        return false;
    }
    AddToRecentFileList(path);
    m_view->OnInitialUpdate();
    return true;
}

void CMainFrame::OnFileOpen() {
    const QString path = QFileDialog::getOpenFileName(this);
    QString problem;
    if (!path.isEmpty() && !OpenDocument(path, &problem) && !problem.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Kelvra"), problem);
    }
}

void CMainFrame::OnFileSave() {
    // Save writes the empty file where the document was last saved or opened; until it has such a
    // path, Save asks for one (and the file dialog for leave to replace a file).
    QString path = m_document.PathName();
    const bool bChosen = path.isEmpty();
    if (bChosen) {
        path = QFileDialog::getSaveFileName(this);
    }
    if (path.isEmpty()) {
        return;
    }
    if (const QString why = NotADocument(path); !why.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Kelvra"),
                             why + QStringLiteral(" It is not written over."));
        return;
    }
    // The document holds nothing: a file with anything in it would be lost to an empty one.
    if (!bChosen && QFileInfo(path).size() > 0 &&
        QMessageBox::question(this, QStringLiteral("Kelvra"),
                              QStringLiteral("%1 is not empty. Saving writes an empty document over it.\n"
                                             "Write over it?")
                                  .arg(QDir::toNativeSeparators(path)),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    m_document.OnSaveDocument(path);
}

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
}

CHistoryWindow* CMainFrame::History() const {
    return m_history;
}

void CMainFrame::OnEditHistory() {
    if (m_journal == nullptr) {
        return;
    }
    // Built at its first opening only, so that start-up pays nothing for it; a top-level window of its
    // own that does not keep the program running once the board is closed.
    if (!m_history) {
        m_history = new CHistoryWindow(*m_journal, m_view->Ledger(), m_clock);
        m_history->setAttribute(Qt::WA_DeleteOnClose);
        m_history->setAttribute(Qt::WA_QuitOnClose, false);
        // A period's menu offers the corrections of its timer's row on the board.
        m_history->SetPeriodMenu([this](QMenu& menu, int index) { m_view->FillRowMenu(menu, index); });
        m_history->SetCorrector([this](const PeriodSink::Correction& c) { return m_view->Correct(c); });
    }
    m_history->showNormal();
    m_history->raise();
    m_history->activateWindow();
}

void CMainFrame::AddToRecentFileList(const QString& path) {
    QStringList files{path};
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString f = m_profile->GetProfileString(kRecentSection, QStringLiteral("File%1").arg(i));
        if (!f.isEmpty() && f != path && files.size() < kRecentFiles) {
            files << f;
        }
    }
    for (int i = 0; i < files.size(); ++i) {
        m_profile->WriteProfileString(kRecentSection, QStringLiteral("File%1").arg(i + 1), files[i]);
    }
}
