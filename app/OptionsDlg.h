#pragma once

#include <QDialog>

class Profile;
class QCheckBox;
class QSpinBox;

// "Options": after how many minutes away the board asks about the time a running timer went on
// through (0: never), after how many minutes without input that counts as away (0: never), and the
// reminders' minutes (0: none), and whether to look the country up at start. Stored in
// "Options"/"AwayMinutes", "IdleMinutes", "RemindStoppedMinutes", "RemindLongMinutes" and
// "CountryLookup" when accepted. The next spell away and the next stop or period read them;
// the desktop's inactivity watch takes a new threshold at the next start.
class COptionsDlg final : public QDialog {
    Q_OBJECT
public:
    COptionsDlg(Profile& profile, QWidget* parent);
    Q_DISABLE_COPY_MOVE(COptionsDlg)

    QSpinBox& AwayMinutes() const { return *m_awayMinutes; }
    QSpinBox& IdleMinutes() const { return *m_idleMinutes; }
    QSpinBox& RemindStopped() const { return *m_remindStopped; }
    QSpinBox& RemindLong() const { return *m_remindLong; }
    QCheckBox& CountryLookup() const { return *m_lookup; }
    void accept() override;

private:
    Profile& m_profile;
    QSpinBox* m_awayMinutes = nullptr; // owned by the dialog
    QSpinBox* m_idleMinutes = nullptr; // owned by the dialog, as the rest
    QSpinBox* m_remindStopped = nullptr;
    QSpinBox* m_remindLong = nullptr;
    QCheckBox* m_lookup = nullptr;
};
