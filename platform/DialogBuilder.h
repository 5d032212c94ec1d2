#pragma once

#include "platform/DialogTemplate.h"

#include <QFont>
#include <QSize>
#include <functional>
#include <map>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QWidget;

// The widgets a template became, by control id, and its radio groups by the id of their first button.
struct BuiltDialog {
    std::map<int, QWidget*> controls;
    std::map<int, QButtonGroup*> radioGroups; // buttons carry their position in the group as group id
    QFont font;
    QSize baseUnits;
    QSize pixelSize;

    QWidget* Control(int id) const;
};

// Lays a template out on a parent widget. Pixels come from the template font's dialog base units
// (average width of A-Z a-z / 52, and the line height), so a form keeps its proportions at every DPI.
class DialogBuilder final {
public:
    // Returns a widget for a control that needs its own class, or nullptr for the standard one.
    using Factory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

    static QFont TemplateFont(const DialogTemplate& t);
    static QSize BaseUnits(const QFont& font);
    static QRect ToPixels(const QRect& dialogUnits, const QSize& baseUnits);
    static BuiltDialog Build(const DialogTemplate& t, QWidget* parent, const Factory& factory = {});
};
