// "Edit Fields" on its own, on a real profile file: what it shows when it opens, what each keystroke and
// each Reset box does.
#include "dialogs/FieldNamesDlg.h"
#include "dialogs/FieldNamesTemplate.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/resource.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace ProfileLayout;
using namespace Qt::Literals::StringLiterals;

class TestFieldNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesAreStoredAsTypedAndResetsCollected() {
        QTemporaryDir dir;
        Profile profile(dir.filePath(u"p.conf"_s));
        const QString longName = u"A name far too long for the edit to show it whole"_s;
        profile.WriteProfileString(kTimerText, IndexEntry(0), longName);
        profile.WriteProfileString(kTimerText, IndexEntry(7), longName);
        CFieldNamesDlg dialog(profile);
        dialog.show();
        const auto control = [&](int id) { return dialog.Form().Control(id); };

        // The first name is selected to be overwritten; every edit shows the start of its name, and the
        // edits and boxes are named by their timer.
        QCOMPARE(qobject_cast<QLineEdit*>(control(IDC_FIELD_1))->selectedText(), longName);
        int edits = 0;
        int boxes = 0;
        const auto name = [&](int id) {
            return QAccessible::queryAccessibleInterface(control(id))->text(QAccessible::Name);
        };
        for (const ControlTemplate& c : Templates::FieldNames().controls) {
            if (c.kind == ControlKind::Edit) {
                QCOMPARE(qobject_cast<QLineEdit*>(control(c.id))->cursorPosition(), 0);
                QCOMPARE(name(c.id), u"Name of timer %1"_s.arg(++edits));
            } else if (c.kind == ControlKind::CheckBox) {
                QCOMPARE(name(c.id), u"Reset timer %1"_s.arg(++boxes));
            }
        }
        QCOMPARE(edits + boxes, 20);

        // Every keystroke is stored at once; only the edited row is written.
        profile.WriteProfileString(kTimerText, IndexEntry(1), u"kept"_s); // behind the dialog's back
        auto* edit = qobject_cast<QLineEdit*>(control(IDC_FIELD_3));
        edit->clear();
        QStringList written;
        for (const QString& key : {u"a"_s, u"b"_s, u"c"_s}) {
            QTest::keyClicks(edit, key);
            written << profile.GetProfileString(kTimerText, IndexEntry(2));
        }
        QCOMPARE(written, QStringList({u"a"_s, u"ab"_s, u"abc"_s}));
        QCOMPARE(profile.GetProfileString(kTimerText, IndexEntry(1)), u"kept"_s);

        // A box checked and cleared again is not a reset; Escape keeps what the boxes say.
        for (int id : {IDC_RESET_10, IDC_RESET_1, IDC_RESET_1}) {
            QTest::mouseClick(qobject_cast<QCheckBox*>(control(id)), Qt::LeftButton, {}, QPoint(6, 10));
        }
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.m_nReset[9], 1);
        QCOMPARE(dialog.m_nReset[0], 0);
    }
};

QTEST_MAIN(TestFieldNames)
#include "test_fieldnames.moc"
