#pragma once

#include <QDialog>

class Profile;
class QSpinBox;

// "Options": after how many minutes away the board asks about the time a running timer went on
// through (0: never), and after how many minutes without input that counts as away (0: never). Stored
// in "Options"/"AwayMinutes" and "Options"/"IdleMinutes" when accepted; the next spell away reads them.
class COptionsDlg final : public QDialog {
    Q_OBJECT
public:
    COptionsDlg(Profile& profile, QWidget* parent);
    Q_DISABLE_COPY_MOVE(COptionsDlg)

    QSpinBox& AwayMinutes() const { return *m_awayMinutes; }
    QSpinBox& IdleMinutes() const { return *m_idleMinutes; }
    void accept() override;

private:
    Profile& m_profile;
    QSpinBox* m_awayMinutes = nullptr; // owned by the dialog
    QSpinBox* m_idleMinutes = nullptr; // owned by the dialog
};
