#pragma once

#include "platform/DialogBuilder.h"

#include <QDialog>

// "About Kelvra": two lines and OK.
class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    const BuiltDialog& Form() const { return m_form; }

private:
    BuiltDialog m_form;
};
