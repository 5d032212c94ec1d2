#include "app/AboutDlg.h"

#include "app/AboutTemplate.h"
#include "res/resource.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    const DialogTemplate& t = Templates::AboutBox();
    setWindowTitle(t.caption);
    m_form = DialogBuilder::Build(t, this);
    setFixedSize(m_form.pixelSize);
    auto* ok = qobject_cast<QPushButton*>(m_form.Control(IDOK));
    ok->setAutoDefault(true);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
