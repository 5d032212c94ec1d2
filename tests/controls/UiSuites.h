#pragma once

#include <QColor>
#include <QPalette>

int RunDibDrawTests(int argc, char** argv);
int RunIconButtonTests(int argc, char** argv);
int RunShadeButtonTests(int argc, char** argv);

// The classic button colours, pinned so that pixel checks do not depend on the platform theme.
inline const QColor kClassicShadow{128, 128, 128};
inline const QColor kClassicFace{192, 192, 192};
inline const QColor kClassicHighlight{255, 255, 255};
inline const QColor kClassicText{0, 0, 0};

inline QPalette ClassicPalette() {
    QPalette palette;
    palette.setColor(QPalette::Dark, kClassicShadow);
    palette.setColor(QPalette::Button, kClassicFace);
    palette.setColor(QPalette::Light, kClassicHighlight);
    palette.setColor(QPalette::ButtonText, kClassicText);
    return palette;
}
