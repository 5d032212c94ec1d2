#include "app/OptionsDlg.h"

#include "app/Reminders.h"
#include "away/AwayDetector.h"
#include "net/CountryLookup.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/config.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

namespace {

QSpinBox* Minutes(QWidget* parent, int value, const QString& off) {
    auto* box = new QSpinBox(parent);
    box->setRange(0, AwayDetector::kMaxMinutes);
    box->setSpecialValueText(QStringLiteral("Off"));
    box->setSuffix(QStringLiteral(" min"));
    box->setValue(value);
    box->setToolTip(QStringLiteral("Off (0): ") + off);
    return box;
}

} // namespace

COptionsDlg::COptionsDlg(Profile& profile, QWidget* parent)
    : QDialog(parent), m_profile(profile),
      m_awayMinutes(
          Minutes(this, AwayDetector::Minutes(profile), QStringLiteral("time away is never asked about"))),
      m_idleMinutes(Minutes(this, AwayDetector::IdleMinutes(profile),
                            QStringLiteral("no input for a while is never asked about"))),
      m_remindStopped(Minutes(this, Reminders::StoppedMinutes(profile), QStringLiteral("never reminds"))),
      m_remindLong(Minutes(this, Reminders::LongMinutes(profile), QStringLiteral("never reminds"))),
      m_lookup(new QCheckBox(QStringLiteral("Look up my country at start"), this)) {
    setWindowTitle(QStringLiteral("Options"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Ask about time away after:"), m_awayMinutes);
    layout->addRow(QStringLiteral("Count no input as away after:"), m_idleMinutes);
    layout->addRow(QStringLiteral("Remind when no timer runs after:"), m_remindStopped);
    layout->addRow(QStringLiteral("Remind when one period runs:"), m_remindLong);
    // What the lookup sends is in the README's "Network" section.
    m_lookup->setChecked(CountryLookupWanted(profile));
    m_lookup->setEnabled(KELVRA_COUNTRY_LOOKUP != 0);
    m_lookup->setToolTip(
        KELVRA_COUNTRY_LOOKUP != 0
            ? QStringLiteral("Once, until it is known: the maker's server is asked over HTTP, "
                             "with this profile's random identifier")
            : QStringLiteral("This build never looks it up"));
    layout->addRow(QString(), m_lookup);
    auto* off = new QLabel(QStringLiteral("Off (0) never asks or reminds."), this);
    off->setEnabled(false);
    layout->addRow(QString(), off);
    layout->addRow(buttons);
}

void COptionsDlg::accept() {
    m_profile.WriteProfileInt(ProfileLayout::kOptions, ProfileLayout::kAwayMinutes, m_awayMinutes->value());
    m_profile.WriteProfileInt(ProfileLayout::kOptions, ProfileLayout::kIdleMinutes, m_idleMinutes->value());
    m_profile.WriteProfileInt(ProfileLayout::kOptions, ProfileLayout::kRemindStoppedMinutes,
                              m_remindStopped->value());
    m_profile.WriteProfileInt(ProfileLayout::kOptions, ProfileLayout::kRemindLongMinutes,
                              m_remindLong->value());
    if (m_lookup->isEnabled()) {
        m_profile.WriteProfileInt(ProfileLayout::kOptions, ProfileLayout::kCountryLookup,
                                  m_lookup->isChecked() ? 1 : 0);
    }
    QDialog::accept();
}
