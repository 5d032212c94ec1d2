#pragma once

#include <functional>

class QWidget;

// Runs `action` once, from the event loop, right after `widget` has been painted for the first time, so
// that work which can wait does not delay the first picture. If no paint comes within `fallbackMs` (a
// window that starts hidden), it runs then.
void AfterFirstPaint(QWidget* widget, std::function<void()> action, int fallbackMs = 1000);
