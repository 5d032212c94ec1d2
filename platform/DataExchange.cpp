#include "platform/DataExchange.h"

#include "platform/DialogBuilder.h"
#include "platform/FormLabel.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>

void DataExchange::Text(int id, QString& value) const {
    QWidget* w = m_dialog.Control(id);
    if (auto* label = qobject_cast<FormLabel*>(w)) {
        if (m_bSaveAndValidate) {
            value = label->FullText();
        } else {
            label->SetFullText(value);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (m_bSaveAndValidate) {
            value = edit->text();
        } else if (edit->text() != value) {
            edit->setText(value);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (m_bSaveAndValidate) {
            value = button->text();
        } else {
            button->setText(value);
        }
    }
}

void DataExchange::Radio(int firstId, int& value) const {
    const auto it = m_dialog.radioGroups.find(firstId);
    if (it == m_dialog.radioGroups.end()) {
        return;
    }
    QButtonGroup* group = it->second;
    if (m_bSaveAndValidate) {
        value = group->checkedId();
        return;
    }
    QAbstractButton* target = group->button(value);
    if (target != nullptr) {
        target->setChecked(true);
        return;
    }
    // No such position: no button stays checked.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) {
        b->setChecked(false);
    }
    group->setExclusive(true);
}

void DataExchange::Check(int id, int& value) const {
    auto* box = qobject_cast<QAbstractButton*>(m_dialog.Control(id));
    if (box == nullptr) {
        return;
    }
    if (m_bSaveAndValidate) {
        value = box->isChecked() ? 1 : 0;
    } else {
        box->setChecked(value != 0);
    }
}
