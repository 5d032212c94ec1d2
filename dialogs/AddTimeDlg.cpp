#include "dialogs/AddTimeDlg.h"

#include "common/Vocabulary.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

CAddTimeDlg::CAddTimeDlg(const QString& name, qint64 shown, qint64 lowest, qint64 highest, QDate today,
                         QWidget* parent)
    : QDialog(parent), m_shown(shown), m_lowest(lowest), m_highest(highest) {
    setWindowTitle(QStringLiteral("Add or remove time"));
    auto* layout = new QVBoxLayout(this);
    auto* question =
        new QLabel(QStringLiteral("Time to add to \"%1\" (h:mm), or to remove with a minus sign:")
                       .arg(fontMetrics().elidedText(name, Qt::ElideRight, 320)),
                   this);
    m_edit = new QLineEdit(this);
    m_edit->setPlaceholderText(QStringLiteral("+1:30 or -0:15"));
    m_edit->setAccessibleName(QStringLiteral("Time to add or remove"));
    m_day = new QDateEdit(today, this);
    m_day->setCalendarPopup(true);
    m_day->setMaximumDate(today);
    m_day->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_day->setAccessibleName(QStringLiteral("The day it counts on"));
    auto* dayRow = new QFormLayout;
    dayRow->addRow(QStringLiteral("Counted on:"), m_day);
    m_result = new QLabel(this);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(question);
    layout->addWidget(m_edit);
    layout->addLayout(dayRow);
    layout->addWidget(m_result);
    layout->addWidget(m_buttons);
    connect(m_edit, &QLineEdit::textChanged, this, &CAddTimeDlg::OnEdited);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    OnEdited();
}

QDate CAddTimeDlg::Day() const {
    return m_day->date();
}

std::optional<qint64> CAddTimeDlg::ParseAmount(const QString& text) {
    static const QRegularExpression kAmount(
        QStringLiteral("^\\s*([+-]?)\\s*(\\d{1,7})(?::([0-5]\\d))?\\s*$"));
    const QRegularExpressionMatch match = kAmount.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const qint64 seconds = match.captured(2).toLongLong() * 3600 + match.captured(3).toLongLong() * 60;
    return match.captured(1) == QStringLiteral("-") ? -seconds : seconds;
}

void CAddTimeDlg::OnEdited() {
    const std::optional<qint64> amount = ParseAmount(m_edit->text());
    QString result;
    bool ok = false;
    if (!amount || *amount == 0) {
        result = QStringLiteral("Now %1.").arg(Kelvra::FormatSeconds(m_shown).trimmed());
    } else if (*amount < m_lowest) {
        result = QStringLiteral("A timer cannot go below 0:00:00.");
    } else if (*amount > m_highest) {
        result = QStringLiteral("A timer cannot hold more than %1.")
                     .arg(Kelvra::FormatSeconds(m_shown + m_highest).trimmed());
    } else {
        ok = true;
        m_amount = *amount;
        result = QStringLiteral("Now %1, then %2.")
                     .arg(Kelvra::FormatSeconds(m_shown).trimmed(),
                          Kelvra::FormatSeconds(m_shown + *amount).trimmed());
    }
    m_result->setText(result);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(ok);
}
