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
const std::vector<Accelerator>& MainAccelerators();

} // namespace Menus
