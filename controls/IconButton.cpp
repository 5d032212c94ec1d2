#include "controls/IconButton.h"

#include "platform/SystemColours.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <utility>

namespace {

// Word-wrapped and centred across; the vertical centring is done by CentreCaption.
constexpr int kCaptionFlags = Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop;

} // namespace

CIconButton::CIconButton(QWidget* parent) : QAbstractButton(parent) {
    const SystemColours system;
    m_colors[FaceHot] = m_colors[FaceNormal] = m_colors[FaceFocused] = system.ButtonFace();
    m_colors[TextHot] = m_colors[TextNormal] = m_colors[TextFocused] = system.ButtonText();
    setFocusPolicy(Qt::StrongFocus);
    // Moves without a pressed button are what light the button.
    setMouseTracking(true);
    // Connected before any owner's handler, so the focus has moved when those run.
    connect(this, &QAbstractButton::clicked, this, &CIconButton::OnClicked);
}

CIconButton::~CIconButton() = default;

QRect CIconButton::CentreCaption(const QRect& captionRect, const QSize& textSize) {
    const QRect laidOut(captionRect.topLeft(), textSize);
    return laidOut.translated((captionRect.width() - textSize.width()) / 2,
                              (captionRect.height() - textSize.height()) / 2);
}

void CIconButton::DrawFace(QPainter& painter, const QRect& rect) {
    const ColourSlot slot = m_hover || m_pressed ? FaceHot : (m_focused ? FaceFocused : FaceNormal);
    painter.fillRect(rect, SystemColours::ToColor(m_colors[slot]));
}

void CIconButton::DrawFrame(QPainter& painter, const QRect& rect) {
    const SystemColours system;
    const QColor highlight = SystemColours::ToColor(system.ButtonHighlight());
    const QColor shadow = SystemColours::ToColor(system.ButtonShadow());
    const QColor& topLeft = m_pressed ? shadow : highlight;
    const QColor& bottomRight = m_pressed ? highlight : shadow;
    // Top and left edges stop one short of the far corners, which belong to the right and bottom edges.
    const int x = rect.x();
    const int y = rect.y();
    const int w = rect.width();
    const int h = rect.height();
    painter.fillRect(QRect(x, y, w - 1, 1), topLeft);
    painter.fillRect(QRect(x, y, 1, h - 1), topLeft);
    painter.fillRect(QRect(x + w - 1, y, 1, h), bottomRight);
    painter.fillRect(QRect(x, y + h - 1, w, 1), bottomRight);
}

bool CIconButton::event(QEvent* event) {
    const bool result = QAbstractButton::event(event);
    switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
        // Another window is active, or a modal one takes over: the pointer no longer lights this one.
        ClearHover();
        break;
    default:
        break;
    }
    return result;
}

void CIconButton::paintEvent(QPaintEvent*) {
    m_pressed = isDown();
    m_focused = hasFocus();
    m_disabled = !isEnabled();

    QPainter painter(this);
    const QRect itemRect = rect();
    DrawFace(painter, itemRect);
    if (m_pressed || m_hover) {
        DrawFrame(painter, itemRect);
    }
    DrawCaption(painter);
    // Focus from the keyboard also lights the face as hover does; the dotted mark inside the edge says
    // which it is.
    if (m_keyboardFocus) {
        painter.setPen(QPen(SystemColours::ToColor(m_colors[TextFocused]), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(itemRect.adjusted(3, 3, -4, -4));
    }
}

void CIconButton::DrawCaption(QPainter& painter) {
    const QString caption = text();
    if (caption.isEmpty()) {
        return;
    }
    QRect captionRect = rect();
    if (m_pressed) {
        captionRect.translate(1, 1);
    }
    const QSize textSize = fontMetrics().boundingRect(captionRect, kCaptionFlags, caption).size();
    captionRect = CentreCaption(captionRect, textSize);

    constexpr int kDrawFlags = kCaptionFlags | Qt::TextDontClip;
    if (m_disabled) {
        const SystemColours system;
        painter.setPen(SystemColours::ToColor(system.ButtonHighlight()));
        painter.drawText(captionRect.translated(1, 1), kDrawFlags, caption);
        painter.setPen(SystemColours::ToColor(system.ButtonShadow()));
        painter.drawText(captionRect, kDrawFlags, caption);
        return;
    }
    painter.setPen(SystemColours::ToColor(m_colors[m_hover || m_pressed ? TextHot : TextNormal]));
    painter.drawText(captionRect, kDrawFlags, caption);
}

void CIconButton::mouseMoveEvent(QMouseEvent* event) {
    QAbstractButton::mouseMoveEvent(event);
    if ((event->buttons() & Qt::LeftButton) && !m_hover) {
        return;
    }
    if (!IsUnderPointer(event->position().toPoint())) {
        ClearHover();
    } else if (!m_hover) {
        m_hover = true;
        update();
    }
}

void CIconButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    ClearHover();
}

void CIconButton::focusInEvent(QFocusEvent* event) {
    QAbstractButton::focusInEvent(event);
    // A click focuses too, but then the pointer is already there to light the button.
    const Qt::FocusReason reason = event->reason();
    m_keyboardFocus =
        reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    update();
}

void CIconButton::focusOutEvent(QFocusEvent* event) {
    QAbstractButton::focusOutEvent(event);
    if (std::exchange(m_keyboardFocus, false)) {
        update();
    }
    ClearHover();
}

void CIconButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        HandFocusOn();
        ClearHover();
    }
}

void CIconButton::keyPressEvent(QKeyEvent* event) {
    if (!HandledAsSpace(event)) {
        QAbstractButton::keyPressEvent(event);
    }
}

void CIconButton::keyReleaseEvent(QKeyEvent* event) {
    if (!HandledAsSpace(event)) {
        QAbstractButton::keyReleaseEvent(event);
    }
}

bool CIconButton::HandledAsSpace(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        return false;
    }
    QKeyEvent space(event->type(), Qt::Key_Space, event->modifiers(), QStringLiteral(" "),
                    event->isAutoRepeat());
    if (event->type() == QEvent::KeyPress) {
        QAbstractButton::keyPressEvent(&space);
    } else {
        QAbstractButton::keyReleaseEvent(&space);
    }
    event->setAccepted(space.isAccepted());
    return true;
}

void CIconButton::ClearHover() {
    if (m_hover) {
        m_hover = false;
        update();
    }
}

bool CIconButton::IsUnderPointer(const QPoint& pos) const {
    if (!rect().contains(pos)) {
        return false;
    }
    // While the button holds the mouse, the point may lie under a sibling drawn above it.
    const QWidget* top = window();
    return top == this || top->childAt(mapTo(top, pos)) == this;
}

void CIconButton::OnClicked() {
    setFocus(Qt::OtherFocusReason);
}

void CIconButton::HandFocusOn() {
    QWidget* parent = parentWidget();
    if (parent == nullptr) {
        return;
    }
    for (QWidget* next = nextInFocusChain(); next != nullptr && next != this;
         next = next->nextInFocusChain()) {
        if (parent->isAncestorOf(next) && (next->focusPolicy() & Qt::TabFocus) != 0 && next->isEnabled() &&
            next->isVisibleTo(parent)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    parent->setFocus(Qt::OtherFocusReason);
}
