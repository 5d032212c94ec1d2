#include "board/BoardReport.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace ProfileLayout;
using namespace Qt::Literals::StringLiterals;
using Format = Kelvra::ReportFormat;

// The board from a real profile in the three forms: aligned text, RFC 4180 CSV, JSON with every name whole.
class TestBoardReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void threeForms() {
        QTemporaryDir dir;
        Profile profile(dir.filePath(u"board.conf"_s));
        const QString quoted = u"Smith, \"Ace\" & Co"_s;
        const QString forty = u"A name of exactly forty characters, yes!"_s; // kept whole, sets the width
        const QStringList names{quoted, u"Zürich Ω 東京"_s, forty, u" padded "_s, u"tab\there"_s};
        for (int i = 0; i < names.size(); ++i) {
            profile.WriteProfileString(kTimerText, IndexEntry(i), names[i]);
            profile.WriteProfileInt(kTimerSec, IndexEntry(i), i < 2 ? 3600 * (i + 1) : 0);
        }

        const QStringList text = BoardReport::Render(profile, Format::Text).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(text.size(), 11);
        QCOMPARE(text[0], quoted.leftJustified(40) + u"     1:00:00   33.3 %"_s);
        QCOMPARE(text[1], names[1].leftJustified(40) + u"     2:00:00   66.7 %"_s);
        QCOMPARE(text[2], forty + u"     0:00:00    0.0 %"_s);
        QCOMPARE(text[9].size(), text[0].size()); // a timer without a name keeps the columns
        QCOMPARE(text[10], u"Total"_s.leftJustified(40) + u"     3:00:00"_s);

        // RFC 4180: fields with commas, quotes or edge blanks are quoted, quotes doubled.
        const QStringList csv = BoardReport::Render(profile, Format::Csv).split(u"\r\n"_s);
        QCOMPARE(csv.size(), 13); // header, ten timers, total, and the empty rest after the last line end
        QCOMPARE(csv[0], u"row,name,seconds,time,share"_s); // rows counted from 1, as --start counts
        QCOMPARE(csv[1], u"1,\"Smith, \"\"Ace\"\" & Co\",3600,\"  1:00:00\",33.3 %"_s);
        QCOMPARE(csv[2], u"2,Zürich Ω 東京,7200,\"  2:00:00\",66.7 %"_s);
        QCOMPARE(csv[4], u"4,\" padded \",0,\"  0:00:00\",0.0 %"_s);
        QCOMPARE(csv[5], u"5,\"tab\there\",0,\"  0:00:00\",0.0 %"_s); // as the dated reports quote it
        QCOMPARE(csv[11], u",Total,10800,\"  3:00:00\","_s);

        const QJsonDocument json =
            QJsonDocument::fromJson(BoardReport::Render(profile, Format::Json).toUtf8());
        QCOMPARE(json["timers"_L1][0]["name"_L1].toString(), quoted);
        QCOMPARE(json["timers"_L1][9]["row"_L1].toInt(), 10);
        QVERIFY(qAbs(json["timers"_L1][1]["percent"_L1].toDouble() - 200.0 / 3) < 0.01);
        QCOMPARE(json["timers"_L1][1]["share"_L1].toString(), u"66.7 %"_s);
        QCOMPARE(json["total"_L1]["time"_L1].toString(), u"  3:00:00"_s);
    }
};

QTEST_GUILESS_MAIN(TestBoardReport)
#include "test_boardreport.moc"
