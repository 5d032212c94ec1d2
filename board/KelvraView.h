#pragma once

#include "board/BoardDisplay.h"
#include "board/TimerLedger.h"
#include "platform/DialogBuilder.h"
#include "platform/Random15.h"
#include "platform/WindowTimers.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class Clock;
class DataExchange;
class Profile;
class CShadeButton;
class QMenu;
class QMessageBox;

// The board: the form of ten timer rows between a Stop row and a Total row, white on blue. It owns the
// ledger, turns clicks into selections, drives the one-second refresh, arms the delayed country-code
// lookup, and routes the board's commands.
class CKelvraView final : public QWidget, public BoardDisplay {
    Q_OBJECT
public:
    CKelvraView(std::shared_ptr<Profile> profile, const Clock& clock, QWidget* parent = nullptr,
                PeriodSink& sink = PeriodSink::None());
    ~CKelvraView() override;
    Q_DISABLE_COPY_MOVE(CKelvraView)

    // Runs at start-up and again for New and Open.
    void OnInitialUpdate();

    void PushFields() override;
    void ReadFields() override;

    void OnTimer(int id);
    // Checks the row of `selector` (0 = Stop) and switches to it, as a click on its name does.
    void SelectRow(int selector);
    // Shows what the profile holds now (another part of the program changed it); a running timer runs on.
    void ReloadTimers();
    // Once the journal is open: the profile and the journal agree, periods a board that died left open
    // are charged, and the board shows the result. What the user must hear of, the first time only.
    std::optional<CTimerLedger::Reconciled> Reconcile();
    // Charges and stores the open period now (the process is ending without closing the window).
    void ChargeOpenPeriod();
    // The user's answer about a spell away while the timer ran (CTimerLedger::SettleAway).
    void SettleAway(qint64 left, qint64 back, bool keep);
    void ResetAllTimers();
    void EditFieldNames();
    // The corrections of one timer row, for its context menu here and in the history's periods.
    void FillRowMenu(QMenu& menu, int index);
    void AskSwitchedHere(int index);
    void AskAddTime(int index);
    // A correction of the past (CTimerLedger::Correct); refused while the board asks about time away.
    PeriodSink::Corrected Correct(const PeriodSink::Correction& correction);
    bool IsAskingAway() const;
    // Whether the question about time away is up, told by the prompt that asks it when it is made. The
    // board knows nothing else of the prompt, which is built on it.
    void SetAwayQuestion(std::function<bool()> asking);
    void OnFilePrint();
    void OpenSponsorPage();
    void OpenManualPage();
    // The GoTo and Donate commands; false for any other id.
    bool OpenWebPage(int id);

    const CTimerLedger& Ledger() const { return m_ledger; }
    const BuiltDialog& Form() const { return m_form; }
    bool IsTimerActive(int id) const { return m_timers.IsActive(id); }
    CShadeButton& ManualButton() const { return *m_btnManual; }
    CShadeButton& SponsorButton() const { return *m_btnSponsor; }

Q_SIGNALS:
    // The lookup worker was started; it reports only through the profile.
    void countryLookupStarted();
    // The one-second tick has refreshed the board: others that follow the running timer refresh with
    // it instead of keeping a timer of their own.
    void ticked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DoDataExchange(const DataExchange& dx);
    void UpdateData(bool saveAndValidate);
    void ResizeParentToFit();
    void StartCountryLookup();
    // Shows, once per spell, that the profile cannot be saved, and takes the notice down when it can.
    void ShowSaving();
    void ShowRowMenu(int index, QWidget* row, const QPoint& at);

    std::shared_ptr<Profile> m_profile;
    const Clock& m_clock;
    PeriodSink& m_sink;
    CTimerLedger m_ledger;
    BuiltDialog m_form;
    CShadeButton* m_btnManual = nullptr;  // owned by the form
    CShadeButton* m_btnSponsor = nullptr; // owned by the form
    WindowTimers m_timers;
    Random15 m_random; // the shading's generator, seeded once the buttons are built
    bool m_bInitialised = false;
    std::function<bool()> m_askingAway;
    bool m_bSaveFailing = false;        // told once until saving works again
    QPointer<QMessageBox> m_saveNotice; // up while saving fails, unless closed; owned by the view
};
