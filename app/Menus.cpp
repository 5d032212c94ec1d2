#include "app/Menus.h"

#include "res/resource.h"

namespace Menus {

const std::vector<MenuItem>& MainMenu() {
    static const std::vector<MenuItem> items = {
        {QStringLiteral("&File"), QStringLiteral("E&xit"), ID_APP_EXIT},
        {QStringLiteral("&Edit"), QStringLiteral("Field names"), ID_EDIT_FIELDNAMES},
        {QStringLiteral("&Edit"), QStringLiteral("Undo"), ID_EDIT_UNDO_RESET},
        {QStringLiteral("&Edit"), QStringLiteral("Redo"), ID_EDIT_REDO_CHANGE},
        {QStringLiteral("&Edit"), QStringLiteral("Resume"), ID_EDIT_RESUME},
        {QStringLiteral("&Edit"), {}},
        {QStringLiteral("&Edit"), QStringLiteral("History..."), ID_EDIT_HISTORY,
         QKeySequence(Qt::CTRL | Qt::Key_H)},
        {QStringLiteral("&Edit"), QStringLiteral("Options..."), ID_EDIT_OPTIONS},
        {QStringLiteral("&Reset"), QStringLiteral("Reset All Timers"), ID_RESET_ALL},
        {QStringLiteral("&GoTo"), QStringLiteral("Sponsor Website"), ID_GOTO_SPONSOR},
        {QStringLiteral("&GoTo"), QStringLiteral("Online Manual"), ID_GOTO_MANUAL},
        {QStringLiteral("&GoTo"), QStringLiteral("Kelvra Site"), ID_GOTO_SITE},
        {QStringLiteral("&GoTo"), QStringLiteral("The Online Articles"), ID_GOTO_ARTICLES},
        {QStringLiteral("&Donate"), QStringLiteral("Support this utilty"), ID_DONATE},
        {QStringLiteral("&About"), QStringLiteral("&About Kelvra..."), ID_APP_ABOUT},
    };
    return items;
}

const std::vector<Accelerator>& MainAccelerators() {
    static const std::vector<Accelerator> keys = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
    };
    return keys;
}

QString ItemText(const QString& name) {
    return QString(name).replace(u'&', QStringLiteral("&&"));
}

} // namespace Menus
