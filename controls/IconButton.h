#pragma once

#include <QAbstractButton>
#include <array>

class QPainter;

// An owner-drawn flat push button. It shows no edge until the pointer is over it: a move onto the button
// lights it (m_hover), unless the left mouse button is already held; leaving it, losing the focus, the
// deactivation of its window, a modal window blocking it, and being disabled put it out. Each change repaints
// once; moves within a lit button repaint nothing.
//
// A paint stores the pressed, focused and disabled state of that moment, then calls DrawFace, then DrawFrame
// while lit or pressed (a raised one-pixel frame, sunken while pressed), and draws the caption centred and
// word-wrapped on top: moved by (1, 1) while pressed, etched while disabled. Subclasses replace the two hooks
// and may read the four state members there.
//
// Return and Enter work as Space does on a focused button: down while held, a click on the release.
//
// A click first takes the keyboard focus, then reaches the owner's clicked() handlers; a double click is a
// second press (the widget default) and so a second click. Disabling hands the focus to the next tab stop of
// the parent after the button, or to the parent itself when there is none.
//
// The face and text colours are the system's at construction and are not refreshed. Images, cursor, tooltip,
// transparent face, address, drop-down menu, check mode and the non-flat look are not built: nothing sets
// them.
class CIconButton : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CIconButton)

public:
    explicit CIconButton(QWidget* parent = nullptr);
    ~CIconButton() override;

    // Where a caption of textSize, laid out from captionRect's top-left corner, is moved to be centred on
    // captionRect: by half of each difference, truncated toward zero (a text larger than the button overflows
    // equally on both sides).
    static QRect CentreCaption(const QRect& captionRect, const QSize& textSize);

protected:
    virtual void DrawFace(QPainter& painter, const QRect& rect);
    virtual void DrawFrame(QPainter& painter, const QRect& rect);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

    bool m_hover = false;
    bool m_keyboardFocus = false; // reached by Tab or a shortcut: lit like a hover, as there is no focus ring
    bool m_pressed = false;
    bool m_focused = false;
    bool m_disabled = false;

private:
    enum ColourSlot { FaceHot, TextHot, FaceNormal, TextNormal, FaceFocused, TextFocused, ColourSlots };

    void ClearHover();
    bool IsUnderPointer(const QPoint& pos) const;
    void OnClicked();
    // Hands Return and Enter to the button's own handling as Space; false for any other key.
    bool HandledAsSpace(QKeyEvent* event);
    void HandFocusOn();
    void DrawCaption(QPainter& painter);

    std::array<quint32, ColourSlots> m_colors{};
};
