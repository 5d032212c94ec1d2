#include "app/TrayMenu.h"

#include "app/Menus.h"
#include "board/KelvraView.h"

#include <QActionGroup>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

TrayMenu::TrayMenu(CKelvraView& view, QWidget& window)
    : QObject(&window), m_view(view), m_window(window), m_menu(std::make_unique<QMenu>()) {
    for (int size : {16, 32, 48}) {
        const QPixmap pixmap(QStringLiteral(":/icons/kelvra-%1.png").arg(size));
        m_running.addPixmap(pixmap);
        // Derived rather than drawn: the same picture greyed, as the style renders a disabled icon.
        m_stopped.addPixmap(QIcon(pixmap).pixmap(pixmap.size(), QIcon::Disabled));
    }
    auto* group = new QActionGroup(m_menu.get());
    for (int row = 0; row <= BoardDisplay::kTimers; ++row) {
        QAction* action = m_menu->addAction(row == 0 ? QStringLiteral("Stop") : QString());
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, row] {
            m_view.SelectRow(row);
            Refresh();
        });
        m_rows[static_cast<size_t>(row)] = action;
        if (row == 0) {
            m_menu->addSeparator();
        }
    }
    connect(&view, &CKelvraView::ticked, this, &TrayMenu::Refresh);
    Refresh();
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::Attach(std::unique_ptr<QSystemTrayIcon> icon) {
    m_icon = std::move(icon);
    m_icon->setContextMenu(m_menu.get());
    m_icon->setIcon(Icon());
    m_icon->setToolTip(m_toolTip);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    ShowBoard();
                }
            });
    connect(m_icon.get(), &QSystemTrayIcon::messageClicked, this, &TrayMenu::ShowBoard);
    m_icon->show();
}

bool TrayMenu::ShowMessage(const QString& summary, const QString& body) {
    if (!m_icon) {
        return false;
    }
    m_icon->showMessage(summary, body, m_running);
    return true;
}

void TrayMenu::ShowBoard() {
    m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
}

void TrayMenu::Refresh() {
    const CTimerLedger& ledger = m_view.Ledger();
    const int running = ledger.Running();
    for (int i = 0; i < BoardDisplay::kTimers; ++i) {
        m_rows[static_cast<size_t>(i + 1)]->setText(Menus::ItemText(ledger.Name(i)));
    }
    m_rows[static_cast<size_t>(running)]->setChecked(true);
    const QString toolTip =
        running == 0 ? QStringLiteral("Stopped")
                     : QStringLiteral("%1 \u2013 %2")
                           .arg(ledger.Name(running - 1), m_view.m_strShowTime[running - 1].trimmed());
    // The tray is told only of a change: some trays pass every update over D-Bus, even an unchanged one.
    const bool toolTipChanged = toolTip != m_toolTip;
    m_toolTip = toolTip;
    const bool iconChanged = m_bRunning != (running != 0);
    m_bRunning = running != 0;
    if (m_icon) {
        if (toolTipChanged) {
            m_icon->setToolTip(m_toolTip);
        }
        if (iconChanged) {
            m_icon->setIcon(Icon());
        }
    }
}
