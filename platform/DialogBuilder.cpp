#include "platform/DialogBuilder.h"

#include "platform/FormLabel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <mutex>

namespace {

// The template fonts have metric twins among the free fonts; "Arial Black" has none and becomes the
// black weight of the same family.
void InstallFontSubstitutes() {
    static std::once_flag once;
    std::call_once(once, [] {
        const QString twin = QStringLiteral("Liberation Sans");
        for (const char* family : {"Arial", "MS Sans Serif", "MS Shell Dlg", "Arial Black"}) {
            QFont::insertSubstitution(QString::fromLatin1(family), twin);
        }
    });
}

QWidget* MakeStandard(const ControlTemplate& c, QWidget* parent) {
    switch (c.kind) {
    case ControlKind::Static: {
        auto* label = new FormLabel(parent);
        label->setAlignment((c.styles & kStyleRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        label->SetFullText(c.text);
        return label;
    }
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(c.text, parent);
        radio->setAutoExclusive(false); // the group's QButtonGroup keeps it exclusive
        return radio;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(c.text, parent);
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(c.text, parent);
        button->setDefault(c.kind == ControlKind::DefPushButton);
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(c.text, parent);
        edit->setFrame((c.styles & kStyleBorder) != 0);
        return edit;
    }
    }
    return nullptr;
}

} // namespace

QWidget* BuiltDialog::Control(int id) const {
    const auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

QFont DialogBuilder::TemplateFont(const DialogTemplate& t) {
    InstallFontSubstitutes();
    QFont font(t.fontFamily, t.pointSize);
    font.setWeight(t.fontWeight >= 900 ? QFont::Black : QFont::Normal);
    return font;
}

QSize DialogBuilder::BaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {qRound(width / 52.0), metrics.height()};
}

QRect DialogBuilder::ToPixels(const QRect& r, const QSize& base) {
    const auto x = [&](int v) { return qRound(v * base.width() / 4.0); };
    const auto y = [&](int v) { return qRound(v * base.height() / 8.0); };
    return {x(r.x()), y(r.y()), x(r.width()), y(r.height())};
}

BuiltDialog DialogBuilder::Build(const DialogTemplate& t, QWidget* parent, const Factory& factory) {
    BuiltDialog built;
    built.font = TemplateFont(t);
    built.baseUnits = BaseUnits(built.font);
    built.pixelSize = ToPixels(QRect(QPoint(0, 0), t.size), built.baseUnits).size();
    parent->setFont(built.font);

    QButtonGroup* group = nullptr;
    for (const ControlTemplate& c : t.controls) {
        if (c.styles & kStyleGroup) {
            group = nullptr;
        }
        // A control made hidden is never shown and does nothing: left out, it stays out of the
        // accessible tree too, where a screen reader would still find it.
        if (c.styles & kStyleInvisible) {
            continue;
        }
        QWidget* w = factory ? factory(c, parent) : nullptr;
        if (w == nullptr) {
            w = MakeStandard(c, parent);
        }
        w->setGeometry(ToPixels(c.rect, built.baseUnits));
        if (c.kind == ControlKind::Static) {
            w->setFocusPolicy(Qt::NoFocus);
        } else if (!(c.styles & kStyleTabStop) && c.kind != ControlKind::RadioButton) {
            w->setFocusPolicy(Qt::ClickFocus);
        }
        if (c.styles & kStyleDisabled) {
            w->setEnabled(false);
        }
        if (c.kind == ControlKind::RadioButton) {
            if (group == nullptr) {
                group = new QButtonGroup(parent);
                built.radioGroups[c.id] = group;
            }
            group->addButton(static_cast<QAbstractButton*>(w), static_cast<int>(group->buttons().size()));
        }
        if (c.id >= 0) {
            built.controls[c.id] = w;
        }
    }
    return built;
}
