#include "platform/FormLabel.h"

#include <QMouseEvent>

FormLabel::FormLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void FormLabel::SetFullText(const QString& text) {
    // The tick pushes every field each second; unchanged texts must cost nothing.
    if (text == m_fullText) {
        return;
    }
    m_fullText = text;
    if (!isVisible()) {
        // Elided when it is shown: the resize that comes with showing recomputes it.
        setText(text);
        return;
    }
    UpdateShownText();
}

void FormLabel::UpdateShownText() {
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideRight, contentsRect().width());
    setText(shown);
    setToolTip(shown == m_fullText ? QString() : m_fullText);
}

void FormLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

void FormLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateShownText();
}
