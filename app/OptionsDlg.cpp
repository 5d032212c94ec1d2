#include "app/OptionsDlg.h"

#include "board/AwayDetector.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

COptionsDlg::COptionsDlg(Profile& profile, QWidget* parent)
    : QDialog(parent), m_profile(profile), m_awayMinutes(new QSpinBox(this)),
      m_idleMinutes(new QSpinBox(this)) {
    setWindowTitle(QStringLiteral("Options"));
    m_awayMinutes->setRange(0, AwayDetector::kMaxMinutes);
    m_awayMinutes->setSpecialValueText(QStringLiteral("Off"));
    m_awayMinutes->setSuffix(QStringLiteral(" min"));
    m_awayMinutes->setValue(AwayDetector::Minutes(profile));
    m_idleMinutes->setRange(0, AwayDetector::kMaxMinutes);
    m_idleMinutes->setSpecialValueText(QStringLiteral("Off"));
    m_idleMinutes->setSuffix(QStringLiteral(" min"));
    m_idleMinutes->setValue(AwayDetector::IdleMinutes(profile));
    m_idleMinutes->setToolTip(QStringLiteral("Off (0): no input for a while is never asked about"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Ask about time away after:"), m_awayMinutes);
    layout->addRow(QStringLiteral("Count no input as away after:"), m_idleMinutes);
    auto* off = new QLabel(QStringLiteral("Off (0) never asks."), this);
    off->setEnabled(false);
    layout->addRow(QString(), off);
    layout->addRow(buttons);
}

void COptionsDlg::accept() {
    m_profile.WriteProfileInt(ProfileLayout::kOptions, ProfileLayout::kAwayMinutes, m_awayMinutes->value());
    m_profile.WriteProfileInt(ProfileLayout::kOptions, ProfileLayout::kIdleMinutes, m_idleMinutes->value());
    QDialog::accept();
}
