#pragma once

#include <QString>

struct BuiltDialog;

// Moves values between member fields and a built dialog's controls, in the order the caller lists
// them: toward the controls when m_bSaveAndValidate is false, back into the fields when it is true.
class DataExchange final {
public:
    DataExchange(const BuiltDialog& dialog, bool saveAndValidate)
        : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate) {}

    // Text of a static, edit or button.
    void Text(int id, QString& value) const;
    // The radio group that starts at firstId: position of the checked button, or -1 when none is.
    void Radio(int firstId, int& value) const;
    // A check box: 1 checked, 0 not.
    void Check(int id, int& value) const;

private:
    const BuiltDialog& m_dialog;
    const bool m_bSaveAndValidate;
};
