#include "app/AboutTemplate.h"

#include "res/resource.h"

namespace Templates {

namespace {

DialogTemplate MakeAboutBox() {
    DialogTemplate t{
        IDD_ABOUTBOX, QStringLiteral("About Kelvra"), QStringLiteral("MS Sans Serif"), 8, 400, {205, 39}, {}};
    t.controls = {
        {-1, ControlKind::Static, QStringLiteral("Kelvra Version 1.0"), {7, 7, 119, 8}, kStyleNone},
        {-1,
         ControlKind::Static,
         QStringLiteral("Copyright (C) 2026 The Kelvra developers. Free to use."),
         {7, 24, 188, 8},
         kStyleNone},
        {IDOK,
         ControlKind::DefPushButton,
         QStringLiteral("OK"),
         {148, 7, 50, 14},
         kStyleGroup | kStyleTabStop},
    };
    return t;
}

} // namespace

const DialogTemplate& AboutBox() {
    static const DialogTemplate t = MakeAboutBox();
    return t;
}

} // namespace Templates
