#include "dialogs/PeriodDlg.h"

#include "common/Vocabulary.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QDateTimeEdit* TimeEdit(qint64 utc, QWidget* parent) {
    auto* edit = new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(utc), parent);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

CPeriodDlg::CPeriodDlg(const QString& title, const QStringList& names, const Values& values, bool bRunning,
                       QWidget* parent)
    : QDialog(parent), m_bRunning(bRunning), m_runningEnd(values.end) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_timer = new QComboBox(this);
    for (int i = 0; i < names.size(); ++i) {
        m_timer->addItem(QStringLiteral("%1  %2").arg(i + 1).arg(names[i]));
    }
    m_timer->setCurrentIndex(values.index);
    m_timer->setEnabled(!bRunning);
    m_start = TimeEdit(values.start, this);
    m_end = TimeEdit(values.end, this);
    m_end->setEnabled(!bRunning);
    if (bRunning) {
        m_end->setToolTip(QStringLiteral("The running period ends when its timer stops."));
    }
    m_note = new QPlainTextEdit(values.note, this);
    m_note->setTabChangesFocus(true);
    m_note->setFixedHeight(m_note->fontMetrics().lineSpacing() * 4 + 12);
    m_length = new QLabel(this);
    form->addRow(QStringLiteral("&Timer:"), m_timer);
    form->addRow(QStringLiteral("&Start:"), m_start);
    form->addRow(QStringLiteral("&End:"), m_end);
    form->addRow(QStringLiteral("Length:"), m_length);
    form->addRow(QStringLiteral("&Note:"), m_note);
    layout->addLayout(form);
    m_impactText = new QLabel(this);
    m_impactText->setWordWrap(true);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: palette(link)"));
    layout->addWidget(m_impactText);
    layout->addWidget(m_message);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CPeriodDlg::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_timer, &QComboBox::currentIndexChanged, this, &CPeriodDlg::OnEdited);
    connect(m_start, &QDateTimeEdit::dateTimeChanged, this, &CPeriodDlg::OnEdited);
    connect(m_end, &QDateTimeEdit::dateTimeChanged, this, &CPeriodDlg::OnEdited);
    connect(m_note, &QPlainTextEdit::textChanged, this, &CPeriodDlg::OnEdited);
    OnEdited();
}

void CPeriodDlg::SetImpact(std::function<QString(const Values&)> impact) {
    m_impact = std::move(impact);
    OnEdited();
}

void CPeriodDlg::SetApply(std::function<QString(const Values&)> apply) {
    m_apply = std::move(apply);
}

CPeriodDlg::Values CPeriodDlg::Current() const {
    return {m_timer->currentIndex(), m_start->dateTime().toSecsSinceEpoch(),
            m_bRunning ? m_runningEnd : m_end->dateTime().toSecsSinceEpoch(),
            m_note->toPlainText().left(Kelvra::kNoteLength)};
}

void CPeriodDlg::OnEdited() {
    const Values values = Current();
    const bool bValid = values.end > values.start;
    m_length->setText(bValid ? Kelvra::FormatSeconds(values.end - values.start).trimmed()
                             : QStringLiteral("A period must end after it starts."));
    m_impactText->setText(bValid && m_impact ? m_impact(values) : QString());
    const qsizetype noteLength = m_note->toPlainText().size();
    m_message->setText(noteLength > Kelvra::kNoteLength
                           ? QStringLiteral("A note keeps %L1 characters: the last %L2 will be cut.")
                                 .arg(Kelvra::kNoteLength)
                                 .arg(noteLength - Kelvra::kNoteLength)
                           : QString());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(bValid);
}

void CPeriodDlg::accept() {
    const Values values = Current();
    if (values.end <= values.start) {
        return;
    }
    const QString problem = m_apply ? m_apply(values) : QString();
    if (!problem.isEmpty()) {
        m_message->setText(problem);
        return;
    }
    QDialog::accept();
}
