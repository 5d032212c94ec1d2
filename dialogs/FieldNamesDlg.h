#pragma once

#include "common/Vocabulary.h"
#include "platform/DialogBuilder.h"

#include <QDialog>
#include <array>

class DataExchange;
class Profile;

// "Edit Fields": renames the ten timers and marks single timers for reset. Every change of a name is
// written to the profile at once; the Reset flags are only collected, and the caller applies them after
// the dialog has ended, however it ended. Both template buttons are invisible, so the close box and
// Escape end it. White on black, the edits and the Reset boxes outlined in white.
//
// Names and flags are held by profile index: m_strField[i] and m_nReset[i] belong to timer index i.
class CFieldNamesDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CFieldNamesDlg(Profile& profile, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(CFieldNamesDlg)

    static constexpr int kTimers = Kelvra::kTimers;

    std::array<QString, kTimers> m_strField;
    std::array<int, kTimers> m_nReset{};

    const BuiltDialog& Form() const { return m_form; }

private:
    void DoDataExchange(const DataExchange& dx);
    void UpdateData(bool saveAndValidate);
    void OnFieldChanged(int index);

    Profile& m_profile;
    BuiltDialog m_form;
    bool m_bExchanging = false; // change notifications raised by the exchange itself are ignored
};
