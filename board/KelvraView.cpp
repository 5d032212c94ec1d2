#include "board/KelvraView.h"

#include "board/KelvraViewTemplate.h"
#include "board/TimerStore.h"
#include "controls/ShadeButton.h"
#include "dialogs/AddTimeDlg.h"
#include "dialogs/FieldNamesDlg.h"
#include "net/CountryLookup.h"
#include "net/WebPages.h"
#include "platform/Clock.h"
#include "platform/DataExchange.h"
#include "platform/FormLabel.h"
#include "platform/Profile.h"
#include "platform/Prompt.h"
#include "res/resource.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDateTime>
#include <QDir>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <limits>

namespace {

const QColor kBoardBlue(102, 102, 255); // 0xFF6666 as 0x00BBGGRR
const QColor kBoardText(255, 255, 255);

// Share field 1033 + i shows timer index i; the exchange visits them in this order.
constexpr std::array<int, BoardDisplay::kTimers> kShareOrder = {0, 1, 2, 3, 4, 5, 7, 8, 9, 6};

QString SaveNoticeText(const QString& problem) {
    return QStringLiteral("Kelvra %1.\nThe board keeps every second in memory and tries again at every "
                          "change; this notice goes away once saving works.")
        .arg(problem);
}

void SetAccessibleName(QWidget* widget, const QString& name) {
    if (widget->accessibleName() != name) {
        widget->setAccessibleName(name);
    }
}

} // namespace

CKelvraView::CKelvraView(std::shared_ptr<Profile> profile, const Clock& clock, QWidget* parent,
                         PeriodSink& sink)
    : QWidget(parent), m_profile(std::move(profile)), m_clock(clock), m_sink(sink),
      m_ledger(*m_profile, m_clock, *this, m_sink), m_timers([this](int id) { OnTimer(id); }) {
    // One palette for the form and every control: white on blue from the first paint on.
    QPalette palette = this->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button}) {
        palette.setColor(role, kBoardBlue);
    }
    // White text on the form and the buttons. Text is left dark: it is the dot of a checked radio
    // button, drawn on the indicator's light base.
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText}) {
        palette.setColor(role, kBoardText);
    }
    setPalette(palette);
    setAutoFillBackground(true);

    // The two buttons at the foot are shaded buttons; every other control is a standard one.
    m_form = DialogBuilder::Build(Templates::BoardForm(), this,
                                  [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                                      if (c.id != IDC_BUTTON_MANUAL && c.id != IDC_BUTTON_SPONSOR) {
                                          return nullptr;
                                      }
                                      auto* button = new CShadeButton(parent);
                                      button->setText(c.text);
                                      return button;
                                  });
    setFixedSize(m_form.pixelSize);
    m_btnManual = qobject_cast<CShadeButton*>(m_form.Control(IDC_BUTTON_MANUAL));
    m_btnSponsor = qobject_cast<CShadeButton*>(m_form.Control(IDC_BUTTON_SPONSOR));
    connect(m_btnManual, &QAbstractButton::clicked, this, &CKelvraView::OpenManualPage);
    connect(m_btnSponsor, &QAbstractButton::clicked, this, &CKelvraView::OpenSponsorPage);

    connect(m_form.radioGroups.at(IDC_RADIO_STOP), &QButtonGroup::idClicked, this,
            [this](int) { m_ledger.SwitchTimer(); });
    connect(qobject_cast<FormLabel*>(m_form.Control(IDC_STOP_LABEL)), &FormLabel::clicked, this,
            [this] { SelectRow(0); });
    for (int i = 0; i < kTimers; ++i) {
        auto* label = qobject_cast<FormLabel*>(m_form.Control(IDC_NAME_FIRST + i));
        connect(label, &FormLabel::clicked, this, [this, i] { SelectRow(i + 1); });
        // A right-click on the row's name or radio button, or the Menu key on the focused button.
        QAbstractButton* radio = m_form.radioGroups.at(IDC_RADIO_STOP)->button(i + 1);
        for (QWidget* row : {static_cast<QWidget*>(label), static_cast<QWidget*>(radio)}) {
            row->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(row, &QWidget::customContextMenuRequested, this,
                    [this, i, row](const QPoint& at) { ShowRowMenu(i, row, at); });
        }
        radio->installEventFilter(this);
    }
}

CKelvraView::~CKelvraView() {
    m_ledger.SaveRunningTimer();
}

void CKelvraView::DoDataExchange(const DataExchange& dx) {
    // Names longer than the board's 20 characters are not checked here: the labels show them elided
    // with the whole name as tooltip, so neither the tick nor a switch ever stops on them.
    for (int i = 0; i < kTimers; ++i) {
        dx.Text(IDC_NAME_FIRST + i, m_strShowName[i]);
    }
    dx.Text(IDC_STOP_LABEL, m_strStopLabel);
    dx.Radio(IDC_RADIO_STOP, m_nSelected);
    for (int i = 0; i < kTimers; ++i) {
        dx.Text(IDC_TIME_FIRST + i, m_strShowTime[i]);
    }
    for (int i : kShareOrder) {
        dx.Text(IDC_SHARE_FIRST + i, m_strShowPercent[i]);
    }
    dx.Text(IDC_TOTAL_TIME, m_strShowTotal);
}

void CKelvraView::UpdateData(bool saveAndValidate) {
    DoDataExchange(DataExchange(m_form, saveAndValidate));
}

void CKelvraView::PushFields() {
    UpdateData(false);
    // The radio buttons have no text of their own: a screen reader names each one by its row as shown.
    const QButtonGroup* rows = m_form.radioGroups.at(IDC_RADIO_STOP);
    SetAccessibleName(rows->button(0), m_strStopLabel);
    for (int i = 0; i < kTimers; ++i) {
        SetAccessibleName(rows->button(i + 1),
                          QStringLiteral("%1, %2, %3")
                              .arg(m_strShowName[i], m_strShowTime[i].trimmed(), m_strShowPercent[i]));
    }
}

void CKelvraView::ReadFields() {
    UpdateData(true);
}

void CKelvraView::ReloadTimers() {
    m_ledger.LoadTimers();
    m_ledger.ShowTimers();
}

std::optional<CTimerLedger::Reconciled> CKelvraView::Reconcile() {
    std::optional<CTimerLedger::Reconciled> reconciled = m_ledger.Reconcile();
    if (reconciled) {
        m_ledger.LoadTimers();
        m_ledger.ShowTimers();
        m_ledger.RefreshRunningTimer();
    }
    return reconciled;
}

void CKelvraView::ChargeOpenPeriod() {
    m_ledger.SaveRunningTimer();
}

void CKelvraView::SettleAway(qint64 left, qint64 back, bool keep) {
    UpdateData(true);
    m_ledger.SettleAway(left, back, keep);
    m_ledger.RefreshRunningTimer();
}

void CKelvraView::SelectRow(int selector) {
    m_nSelected = selector;
    UpdateData(false);
    m_ledger.SwitchTimer();
}

void CKelvraView::OnInitialUpdate() {
    // New and Open run this again: the open period is charged first so that no time is lost, and the
    // radio group goes back to Stop together with the ledger.
    if (m_bInitialised) {
        m_ledger.SaveRunningTimer();
        m_nSelected = 0;
    }
    m_bInitialised = true;

    UpdateData(false);
    ResizeParentToFit();
    // The profile is set up either way; the lookup only where the user lets it connect.
    if (TimerStore::InitProfile(*m_profile, m_clock, m_ledger) && CountryLookupWanted(*m_profile)) {
        m_timers.SetTimer(ID_TIMER_LOOKUP, LOOKUP_DELAY_MS);
    }
    m_ledger.StartStopped();
    m_ledger.LoadTimers();
    m_ledger.ShowTimers();
    m_timers.SetTimer(ID_TIMER_TICK, TICK_INTERVAL_MS);
    // Both buttons draw their texture before the generator is seeded, so their faces are the same at
    // every start; a later initial update shades them from the seeded sequence.
    for (CShadeButton* button : {m_btnManual, m_btnSponsor}) {
        button->BuildShading(CShadeButton::kBoardShading, m_random);
    }
    m_random.Seed(static_cast<std::uint32_t>(m_clock.Now()));
}

void CKelvraView::ResizeParentToFit() {
    QWidget* frame = window();
    if (frame == this) {
        return;
    }
    // The frame recomputes its layout around the fixed-size form (menu bar included) and shrinks to it.
    if (QLayout* layout = frame->layout()) {
        layout->invalidate();
        layout->activate();
        frame->setFixedSize(layout->totalSizeHint().boundedTo(frame->size()));
    }
}

void CKelvraView::OnTimer(int id) {
    if (id == ID_TIMER_LOOKUP) {
        m_timers.KillTimer(ID_TIMER_LOOKUP);
        StartCountryLookup();
    } else if (id == ID_TIMER_TICK) {
        UpdateData(true);
        m_ledger.RefreshRunningTimer();
        ShowSaving();
        Q_EMIT ticked();
    }
}

void CKelvraView::ShowSaving() {
    // The usual case costs one relaxed load per tick; the text is fetched only while saving fails.
    if (!m_profile->SavesFail() && !m_bSaveFailing && !m_saveNotice) {
        return;
    }
    const QString problem = m_profile->SaveProblem();
    if (problem.isEmpty()) {
        m_bSaveFailing = false;
        if (m_saveNotice) {
            m_saveNotice->close();
        }
    } else if (m_saveNotice) {
        m_saveNotice->setText(SaveNoticeText(problem));
    } else if (!m_bSaveFailing) {
        // Once per spell and not modal: the board goes on, and every later change tries to save again.
        m_bSaveFailing = true;
        m_saveNotice = new QMessageBox(QMessageBox::Warning, QStringLiteral("Kelvra"),
                                       SaveNoticeText(problem), QMessageBox::Ok, this);
        m_saveNotice->setAttribute(Qt::WA_DeleteOnClose);
        m_saveNotice->setWindowModality(Qt::NonModal);
        m_saveNotice->show();
    }
}

void CKelvraView::StartCountryLookup() {
    ::StartCountryLookup(m_profile);
    Q_EMIT countryLookupStarted();
}

void CKelvraView::OpenSponsorPage() {
    WebPages::OpenSponsorPage(*m_profile);
}

void CKelvraView::OpenManualPage() {
    WebPages::OpenManualPage();
}

bool CKelvraView::OpenWebPage(int id) {
    return WebPages::Open(id, *m_profile);
}

void CKelvraView::ResetAllTimers() {
    TimerStore::ResetAllTimers(
        m_ledger, *this, [this](const QString& question) { return Prompt::AskYesNo(window(), question); });
}

void CKelvraView::EditFieldNames() {
    std::array<int, kTimers> resets{};
    {
        CFieldNamesDlg dialog(*m_profile, window());
        const std::array<QString, kTimers> before = dialog.m_strField;
        dialog.exec();
        resets = dialog.m_nReset;
        // The dialog stores every keystroke; the history keeps one rename per row that changed.
        for (int i = 0; i < kTimers; ++i) {
            if (dialog.m_strField[i] != before[i]) {
                m_ledger.CommitName(i, dialog.m_strField[i]);
            }
        }
    }
    TimerStore::ApplyFieldResets(m_ledger, resets);
}

bool CKelvraView::eventFilter(QObject* watched, QEvent* event) {
    // The Menu key (or Shift+F10) on a focused row: not every platform turns it into a context menu
    // event for a button, so the board opens the row's menu itself.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool menuKey = key->key() == Qt::Key_Menu ||
                             (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
        const QButtonGroup* rows = m_form.radioGroups.at(IDC_RADIO_STOP);
        const int row = rows->id(qobject_cast<QAbstractButton*>(watched));
        if (menuKey && row >= 1 && row <= kTimers) {
            auto* button = static_cast<QWidget*>(watched);
            ShowRowMenu(row - 1, button, button->rect().center());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CKelvraView::ShowRowMenu(int index, QWidget* row, const QPoint& at) {
    QMenu menu(this);
    FillRowMenu(menu, index);
    menu.exec(row->mapToGlobal(at));
}

void CKelvraView::FillRowMenu(QMenu& menu, int index) {
    // While the board asks about time away, what would move the open period waits for the answer:
    // the question would go unanswered.
    const bool bAsking = IsAskingAway();
    // Only another timer's running period can be moved here.
    QAction* switched = menu.addAction(QStringLiteral("Switched here ... minutes ago"));
    switched->setEnabled(!bAsking && m_ledger.SwitchableMinutes(index) > 0);
    connect(switched, &QAction::triggered, this, [this, index] { AskSwitchedHere(index); });
    QAction* add = menu.addAction(QStringLiteral("Add or remove time..."));
    add->setEnabled(!(bAsking && m_ledger.Running() == index + 1));
    connect(add, &QAction::triggered, this, [this, index] { AskAddTime(index); });
}

void CKelvraView::AskSwitchedHere(int index) {
    const qint64 most = m_ledger.SwitchableMinutes(index);
    if (most <= 0) {
        return;
    }
    QInputDialog dialog(window());
    dialog.setWindowTitle(QStringLiteral("Switched here"));
    dialog.setLabelText(
        QStringLiteral("You switched to \"%1\" how many minutes ago?\n(The time moves from \"%2\".)")
            .arg(fontMetrics().elidedText(m_ledger.Name(index), Qt::ElideRight, 320),
                 fontMetrics().elidedText(m_ledger.Name(m_ledger.Running() - 1), Qt::ElideRight, 320)));
    dialog.setInputMode(QInputDialog::IntInput);
    const int limit = static_cast<int>(std::min<qint64>(most, std::numeric_limits<int>::max()));
    dialog.setIntRange(1, limit);
    dialog.setIntValue(std::min(5, limit));
    if (dialog.exec() == QDialog::Accepted) {
        // The period may have changed while the dialog was up: the ledger checks again.
        m_ledger.SwitchedEarlier(index, dialog.intValue());
    }
}

void CKelvraView::AskAddTime(int index) {
    const auto [lowest, highest] = m_ledger.AddTimeRange(index);
    const QDate today = QDateTime::fromSecsSinceEpoch(m_ledger.Now()).date();
    CAddTimeDlg dialog(m_ledger.Name(index), m_ledger.ShownSeconds(index), lowest, highest, today, window());
    if (dialog.exec() == QDialog::Accepted) {
        // Today's is recorded without a day, as adjustments always were: it counts on the day it was made.
        m_ledger.AddTime(index, dialog.Amount(), dialog.Day() == today ? QDate() : dialog.Day());
    }
}

void CKelvraView::SetAwayQuestion(std::function<bool()> asking) {
    m_askingAway = std::move(asking);
}

bool CKelvraView::IsAskingAway() const {
    return m_askingAway && m_askingAway();
}

PeriodSink::Corrected CKelvraView::Correct(const PeriodSink::Correction& correction) {
    // The question about time away is about the open period as it stands: nothing moves it meanwhile.
    if (IsAskingAway() && correction.kind != PeriodSink::Correction::Kind::Note) {
        PeriodSink::Corrected refused;
        refused.outcome = PeriodSink::Corrected::Outcome::Refused;
        refused.problem = QStringLiteral("Answer the question about time away on the board first.");
        return refused;
    }
    return m_ledger.Correct(correction);
}

void CKelvraView::OnFilePrint() {
    // The board prints as a single empty page.
    QPrinter printer;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // No printer: the dialog offers a PDF file, which needs a name before it is shown.
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QDir folder(!documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath());
        printer.setOutputFileName(folder.filePath(QStringLiteral("Kelvra.pdf")));
    }
    QPrintDialog dialog(&printer, window());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    QPainter painter;
    if (painter.begin(&printer)) {
        painter.end();
    }
}
