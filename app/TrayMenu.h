#pragma once

#include "board/BoardDisplay.h"

#include <QIcon>
#include <QObject>
#include <array>
#include <memory>

class CKelvraView;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// What the tray shows of the board: an icon that tells whether a timer runs (the program's icon, or its
// greyed rendering when stopped), the tooltip "<name> – h:mm:ss" or "Stopped", and a menu with Stop and
// the ten timers, the running one checked, where a choice is a normal switch. It follows the board's
// one-second tick and keeps no timer of its own.
//
// It is built without a tray, so that its menu and tooltip work anywhere; Attach hands it the tray icon
// where the desktop has a tray. It never keeps the program alive: closing the board ends it as before.
class TrayMenu final : public QObject {
    Q_OBJECT
public:
    // A child of `window`, the board's main window.
    TrayMenu(CKelvraView& view, QWidget& window);
    ~TrayMenu() override;
    Q_DISABLE_COPY_MOVE(TrayMenu)

    // Shows `icon` in the tray, with this menu; a left click shows the board.
    void Attach(std::unique_ptr<QSystemTrayIcon> icon);
    // Brings the board up: restored if minimised, raised, active.
    void ShowBoard();
    // The tray's own message; clicking it shows the board. False without a tray.
    bool ShowMessage(const QString& summary, const QString& body);
    // Names, check marks, tooltip and icon as the board is now.
    void Refresh();

    QMenu& Menu() const { return *m_menu; }
    // Row 0 is Stop, row k timer index k - 1.
    QAction* Row(int row) const { return m_rows.at(static_cast<size_t>(row)); }
    const QString& ToolTip() const { return m_toolTip; }
    // The icon shown now: Running() or Stopped().
    const QIcon& Icon() const { return m_bRunning ? m_running : m_stopped; }
    const QIcon& Running() const { return m_running; }
    const QIcon& Stopped() const { return m_stopped; }

private:
    CKelvraView& m_view;
    QWidget& m_window;
    std::unique_ptr<QMenu> m_menu;
    std::array<QAction*, BoardDisplay::kTimers + 1> m_rows{}; // owned by the menu
    std::unique_ptr<QSystemTrayIcon> m_icon; // after the menu: it goes first; nullptr without a tray
    QIcon m_running;
    QIcon m_stopped;
    QString m_toolTip;
    bool m_bRunning = false;
};
