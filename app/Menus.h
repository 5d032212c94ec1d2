#pragma once

#include <QKeySequence>
#include <QString>
#include <vector>

// The main menu (128) and the accelerator table (128), as data.
namespace Menus {

struct MenuItem {
    QString menu;
    QString item; // empty: a separator
    int command = 0;
    QKeySequence shortcut = {}; // shown in the menu
};

struct Accelerator {
    QKeySequence keys;
    int command;
};

const std::vector<MenuItem>& MainMenu();
// A timer's name as (part of) a menu item's text: an '&' in it is shown, not a shortcut mark.
QString ItemText(const QString& name);
const std::vector<Accelerator>& MainAccelerators();

} // namespace Menus
