#include "app/MainFrame.h"

#include "app/AboutDlg.h"
#include "app/KelvraDoc.h"
#include "app/OptionsDlg.h"
#include "board/KelvraView.h"
#include "board/PeriodSink.h"
#include "platform/Profile.h"
#include "res/Menus.h"
#include "res/resource.h"

#include <QAction>
#include <QFileDialog>
#include <QMenuBar>

namespace {

const QString kRecentSection = QStringLiteral("Recent File List");
constexpr int kRecentFiles = 4;

} // namespace

CMainFrame::CMainFrame(std::shared_ptr<Profile> profile, const Clock& clock, CKelvraDoc& document,
                       PeriodSink* sink)
    : m_profile(std::move(profile)), m_document(document) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Kelvra v 1.0"));
    setGeometry(100, 100, 500, 500);
    BuildMenu();
    BuildAccelerators();
    m_view = new CKelvraView(m_profile, clock, this, sink != nullptr ? *sink : PeriodSink::None());
    setCentralWidget(m_view);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::BuildMenu() {
    QMenu* current = nullptr;
    QString currentTitle;
    for (const Menus::MenuItem& item : Menus::MainMenu()) {
        if (current == nullptr || item.menu != currentTitle) {
            current = menuBar()->addMenu(item.menu);
            currentTitle = item.menu;
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
    case ID_RESET_ALL:
        m_view->ResetAllTimers();
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

void CMainFrame::OnFileNew() {
    if (m_document.OnNewDocument()) {
        m_view->OnInitialUpdate();
    }
}

bool CMainFrame::OpenDocument(const QString& path) {
    if (!m_document.OnOpenDocument(path)) {
        return false;
    }
    AddToRecentFileList(path);
    m_view->OnInitialUpdate();
    return true;
}

void CMainFrame::OnFileOpen() {
    const QString path = QFileDialog::getOpenFileName(this);
    if (!path.isEmpty()) {
        OpenDocument(path);
    }
}

void CMainFrame::OnFileSave() {
    // Save writes the empty file where the document was last saved or opened; until it has such a
    // path, Save asks for one.
    QString path = m_document.PathName();
    if (path.isEmpty()) {
        path = QFileDialog::getSaveFileName(this);
    }
    if (!path.isEmpty()) {
        m_document.OnSaveDocument(path);
    }
}

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
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
