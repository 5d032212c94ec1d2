#include "dialogs/FieldNamesDlg.h"

#include "dialogs/FieldNamesTemplate.h"
#include "platform/DataExchange.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/resource.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

constexpr std::array<int, CFieldNamesDlg::kTimers> kEdits{IDC_FIELD_1, IDC_FIELD_2, IDC_FIELD_3, IDC_FIELD_4,
                                                          IDC_FIELD_5, IDC_FIELD_6, IDC_FIELD_7, IDC_FIELD_8,
                                                          IDC_FIELD_9, IDC_FIELD_10};
constexpr std::array<int, CFieldNamesDlg::kTimers> kResets{IDC_RESET_1, IDC_RESET_2, IDC_RESET_3, IDC_RESET_4,
                                                           IDC_RESET_5, IDC_RESET_6, IDC_RESET_7, IDC_RESET_8,
                                                           IDC_RESET_9, IDC_RESET_10};
// The order in which the members are exchanged: index 0, then 9, then 1 to 8.
constexpr std::array<int, CFieldNamesDlg::kTimers> kExchangeOrder{0, 9, 1, 2, 3, 4, 5, 6, 7, 8};

// On black the style's own frames are black too, so the edits and the Reset boxes get white outlines
// (twice as thick on the focused one) and a ticked box is filled white. A style sheet takes the place of
// the palette for the controls under it, so it carries their colours as well.
const QString kStyleSheet = QStringLiteral(
    "QLabel, QCheckBox { color: white; background: black; }"
    "QLineEdit { color: white; background: black; border: 1px solid white; padding: 1px; }"
    "QLineEdit:focus { border: 2px solid white; padding: 0px; }"
    "QCheckBox::indicator { width: 10px; height: 10px; border: 1px solid white; background: black; }"
    "QCheckBox::indicator:focus { border-width: 2px; width: 8px; height: 8px; }"
    "QCheckBox::indicator:checked { background: white; }");

} // namespace

CFieldNamesDlg::CFieldNamesDlg(Profile& profile, QWidget* parent) : QDialog(parent), m_profile(profile) {
    for (int i = 0; i < kTimers; ++i) {
        m_strField[i] = m_profile.GetProfileString(ProfileLayout::kTimerText, ProfileLayout::IndexEntry(i));
    }

    const DialogTemplate& t = Templates::FieldNames();
    setWindowTitle(t.caption);
    QPalette palette = this->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        palette.setColor(role, Qt::black);
    }
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, Qt::white);
    }
    setPalette(palette);
    setAutoFillBackground(true);

    m_form = DialogBuilder::Build(t, this);
    setFixedSize(m_form.pixelSize);
    setStyleSheet(kStyleSheet);
    for (int i = 0; i < kTimers; ++i) {
        auto* edit = qobject_cast<QLineEdit*>(m_form.Control(kEdits[i]));
        auto* reset = qobject_cast<QCheckBox*>(m_form.Control(kResets[i]));
        // The row numbers are separate labels and every box reads "Reset": the names say which timer.
        edit->setAccessibleName(QStringLiteral("Name of timer %1").arg(i + 1));
        reset->setAccessibleName(QStringLiteral("Reset timer %1").arg(i + 1));
        connect(edit, &QLineEdit::textChanged, this, [this, i] { OnFieldChanged(i); });
        connect(reset, &QCheckBox::clicked, this, [this] { UpdateData(true); });
    }
    UpdateData(false);
    // Filling leaves each cursor at the end, which scrolls a long name to its end: every name shows its
    // start, and the first one is selected (cursor at its start) to be overwritten, as the hint says.
    for (int id : kEdits) {
        qobject_cast<QLineEdit*>(m_form.Control(id))->setCursorPosition(0);
    }
    auto* first = qobject_cast<QLineEdit*>(m_form.Control(kEdits[0]));
    first->setSelection(static_cast<int>(first->text().size()), -static_cast<int>(first->text().size()));
}

void CFieldNamesDlg::DoDataExchange(const DataExchange& dx) {
    for (int i : kExchangeOrder) {
        dx.Text(kEdits[i], m_strField[i]);
    }
    for (int i : kExchangeOrder) {
        dx.Check(kResets[i], m_nReset[i]);
    }
}

void CFieldNamesDlg::UpdateData(bool saveAndValidate) {
    m_bExchanging = true;
    DoDataExchange(DataExchange(m_form, saveAndValidate));
    m_bExchanging = false;
}

void CFieldNamesDlg::OnFieldChanged(int index) {
    if (m_bExchanging) {
        return;
    }
    UpdateData(true);
    m_profile.WriteProfileString(ProfileLayout::kTimerText, ProfileLayout::IndexEntry(index),
                                 m_strField[index]);
}
