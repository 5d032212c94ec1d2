#include "dialogs/FieldNamesTemplate.h"

#include "common/Vocabulary.h"
#include "res/resource.h"

#include <array>

namespace Templates {

namespace {

constexpr int kTimers = Kelvra::kTimers;

DialogTemplate MakeFieldNames() {
    DialogTemplate t{IDD_FIELDNAMES,
                     QStringLiteral("Edit Fields"),
                     QStringLiteral("Arial Black"),
                     12,
                     900,
                     {141, 138},
                     {}};
    constexpr std::array<int, kTimers> edits{IDC_FIELD_1, IDC_FIELD_2, IDC_FIELD_3, IDC_FIELD_4,
                                             IDC_FIELD_5, IDC_FIELD_6, IDC_FIELD_7, IDC_FIELD_8,
                                             IDC_FIELD_9, IDC_FIELD_10};
    constexpr std::array<int, kTimers> resets{IDC_RESET_1, IDC_RESET_2, IDC_RESET_3, IDC_RESET_4,
                                              IDC_RESET_5, IDC_RESET_6, IDC_RESET_7, IDC_RESET_8,
                                              IDC_RESET_9, IDC_RESET_10};
    auto& c = t.controls;
    c.push_back({-1,
                 ControlKind::Static,
                 QStringLiteral("Just overwrite the text ... then Exit"),
                 {9, 3, 126, 8},
                 kStyleNone});
    for (int r = 1; r <= kTimers; ++r) {
        // A two-digit row number starts further left and is wider.
        const QString number = QString::number(r);
        const QRect label = number.size() == 1 ? QRect(11, 3 + 12 * r, 8, 8) : QRect(9, 3 + 12 * r, 9, 8);
        c.push_back({-1, ControlKind::Static, number, label, kStyleNone});
        c.push_back({edits[r - 1],
                     ControlKind::Edit,
                     {},
                     {20, 1 + 12 * r, 82, 12},
                     kStyleBorder | kStyleTabStop | kStyleAutoHScroll});
        c.push_back({resets[r - 1],
                     ControlKind::CheckBox,
                     QStringLiteral("Reset"),
                     {106, 2 + 12 * r, 29, 10},
                     kStyleTabStop});
    }
    c.push_back({IDOK,
                 ControlKind::PushButton,
                 QStringLiteral("OK"),
                 {42, 97, 50, 14},
                 kStyleTabStop | kStyleInvisible | kStyleDisabled});
    c.push_back({IDCANCEL,
                 ControlKind::PushButton,
                 QStringLiteral("Abbrechen"),
                 {45, 94, 50, 14},
                 kStyleTabStop | kStyleInvisible});
    return t;
}

} // namespace

const DialogTemplate& FieldNames() {
    static const DialogTemplate t = MakeFieldNames();
    return t;
}

} // namespace Templates
