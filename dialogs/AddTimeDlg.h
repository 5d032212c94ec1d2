#pragma once

#include <QDate>
#include <QDialog>
#include <optional>

class QDateEdit;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// "Add or remove time...": a signed amount in h:mm for one timer, and the day it counts on (today unless
// the user picks another, up to today). OK is offered only for an amount that reads and keeps the timer
// within its limits; the result is shown as it is typed.
class CAddTimeDlg final : public QDialog {
    Q_OBJECT
public:
    // `shown` is the timer's time now; the amount must lie within lowest..highest seconds.
    CAddTimeDlg(const QString& name, qint64 shown, qint64 lowest, qint64 highest, QDate today,
                QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(CAddTimeDlg)

    // "1:30", "+1:30", "-0:05", "2" (hours) -> seconds; nothing for anything else.
    static std::optional<qint64> ParseAmount(const QString& text);

    // The amount accepted, after OK.
    qint64 Amount() const { return m_amount; }
    QLineEdit& AmountEdit() const { return *m_edit; }
    QDate Day() const;
    QDateEdit& DayEdit() const { return *m_day; }

private:
    void OnEdited();

    qint64 m_shown;
    qint64 m_lowest;
    qint64 m_highest;
    qint64 m_amount = 0;
    QLineEdit* m_edit = nullptr;           // owned by the dialog
    QDateEdit* m_day = nullptr;            // owned by the dialog
    QLabel* m_result = nullptr;            // owned by the dialog
    QDialogButtonBox* m_buttons = nullptr; // owned by the dialog
};
