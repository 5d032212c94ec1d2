#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QComboBox;
class QDateTimeEdit;
class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;

// "Edit period" and "Add period": a period's timer, start, end and note. The running period keeps its
// timer and its open end; only its start and note can change. OK is offered for a period that ends after
// it starts; what the change does to the board is said below the fields before OK, and the caller's
// apply step may refuse it, which keeps the dialog open with the reason shown.
class CPeriodDlg final : public QDialog {
    Q_OBJECT
public:
    struct Values {
        int index = 0;
        qint64 start = 0;
        qint64 end = 0; // for the running period: now
        QString note;
    };

    // `names`: the timers' names, in row order.
    CPeriodDlg(const QString& title, const QStringList& names, const Values& values, bool bRunning,
               QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(CPeriodDlg)

    // What the values would do to the board ("only the history changes"), shown as they are edited.
    void SetImpact(std::function<QString(const Values&)> impact);
    // Makes the change on OK: empty when done (the dialog closes), else why not (it stays open).
    void SetApply(std::function<QString(const Values&)> apply);

    Values Current() const;
    QComboBox& TimerBox() const { return *m_timer; }
    QDateTimeEdit& StartEdit() const { return *m_start; }
    QDateTimeEdit& EndEdit() const { return *m_end; }
    QPlainTextEdit& NoteEdit() const { return *m_note; }
    const QLabel& Message() const { return *m_message; }
    const QLabel& ImpactText() const { return *m_impactText; }

    void accept() override;

private:
    void OnEdited();

    const bool m_bRunning;
    const qint64 m_runningEnd;
    std::function<QString(const Values&)> m_impact;
    std::function<QString(const Values&)> m_apply;
    QComboBox* m_timer = nullptr; // every widget is owned by the dialog
    QDateTimeEdit* m_start = nullptr;
    QDateTimeEdit* m_end = nullptr;
    QPlainTextEdit* m_note = nullptr;
    QLabel* m_length = nullptr;
    QLabel* m_impactText = nullptr;
    QLabel* m_message = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};
