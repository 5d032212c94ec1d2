#include "platform/AfterFirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

// Lives as a child of the widget until it has run its action once.
class FirstPaintWatch final : public QObject {
public:
    FirstPaintWatch(QWidget* widget, std::function<void()> action, int fallbackMs)
        : QObject(widget), m_action(std::move(action)) {
        widget->installEventFilter(this);
        QTimer::singleShot(fallbackMs, this, [this] { Run(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            // Posted, so that the paint pass completes first.
            QMetaObject::invokeMethod(
                this, [this] { Run(); }, Qt::QueuedConnection);
            watched->removeEventFilter(this);
        }
        return false;
    }

private:
    void Run() {
        if (m_action) {
            std::exchange(m_action, nullptr)();
            deleteLater();
        }
    }

    std::function<void()> m_action;
};

} // namespace

void AfterFirstPaint(QWidget* widget, std::function<void()> action, int fallbackMs) {
    new FirstPaintWatch(widget, std::move(action), fallbackMs); // owned by the widget
}
