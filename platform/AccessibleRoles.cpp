#include "platform/AccessibleRoles.h"

#include <QAccessibleWidget>
#include <QRadioButton>

namespace {

class RadioButton final : public QAccessibleWidget {
public:
    explicit RadioButton(QRadioButton* button) : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Button()->isChecked();
        return state;
    }
    QString text(QAccessible::Text kind) const override {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty()) {
            text = Button()->text().remove(QLatin1Char('&'));
        }
        return text;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && Button()->isEnabled()) {
            Button()->click();
        }
    }

private:
    QRadioButton* Button() const { return static_cast<QRadioButton*>(widget()); }
};

QAccessibleInterface* Interface(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) {
        return nullptr;
    }
    if (auto* radio = qobject_cast<QRadioButton*>(widget); radio && !radio->autoExclusive()) {
        return new RadioButton(radio);
    }
    // A window of the program's own that is neither a dialog nor a main window (they have their roles).
    if (widget->isWindow() && widget->metaObject()->superClass() == &QWidget::staticMetaObject) {
        return new QAccessibleWidget(widget, QAccessible::Window);
    }
    return nullptr;
}

} // namespace

namespace AccessibleRoles {

void Install() {
    QAccessible::installFactory(Interface);
}

} // namespace AccessibleRoles
