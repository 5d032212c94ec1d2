#pragma once

#include <QRect>
#include <QString>
#include <vector>

// A dialog or form as data: the font, the size and every control with its id, kind, text, styles and
// rectangle, all in dialog units. DialogBuilder turns it into widgets.
enum class ControlKind {
    Static,      // text label; left-aligned unless kStyleRight
    RadioButton, // automatic radio button
    CheckBox,    // automatic check box
    PushButton,
    DefPushButton,
    Edit,
};

enum ControlStyle : unsigned {
    kStyleNone = 0,
    kStyleGroup = 1u << 0, // starts a group (radio groups run to the next group start)
    kStyleTabStop = 1u << 1,
    kStyleNotify = 1u << 2, // a static text that reports clicks
    kStyleRight = 1u << 3,  // right-aligned static text
    kStyleBorder = 1u << 4,
    kStyleAutoHScroll = 1u << 5,
    kStyleInvisible = 1u << 6, // hidden: not built at all
    kStyleDisabled = 1u << 7,
};

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    QString text;
    QRect rect; // dialog units
    unsigned styles = kStyleNone;
};

struct DialogTemplate {
    int id = 0;
    QString caption;
    QString fontFamily;
    int pointSize = 8;
    int fontWeight = 400; // 400 normal, 900 black
    QSize size;           // dialog units
    std::vector<ControlTemplate> controls;
};
