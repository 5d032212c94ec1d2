#include "TestSuites.h"
#include "net/WebPages.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/resource.h"

#include <QDesktopServices>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <res/config.h>

using namespace ProfileLayout;

// Stands in for the browser: records every address the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QStringList m_opened;

public Q_SLOTS:
    void Open(const QUrl& url) { m_opened << url.toString(); }
};

class TestLinks : public QObject {
    Q_OBJECT

    UrlRecorder m_recorder;

private Q_SLOTS:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_recorder, "Open"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    void cleanup() { qunsetenv("KELVRA_MAKER_HOST"); }

    void pages_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("code"); // "<none>": no entry
        QTest::addColumn<QByteArray>("override");
        QTest::addColumn<QString>("address");
        const QString maker = QStringLiteral("http://" KELVRA_MAKER_HOST "/Kelvra/");
        const QString mirror = QStringLiteral("http://mirror.test:8080/Kelvra/");
        const QString salesLog =
            QStringLiteral("http://" KELVRA_SPONSOR_HOST "/saleslog.php?coupon=&userid=52204&from=Kelvra");
        const QString none = QStringLiteral("<none>");
        // clang-format off
        QTest::newRow("manual button") << IDC_BUTTON_MANUAL << none << QByteArray() << maker + "manual.php";
        QTest::newRow("manual command") << ID_GOTO_MANUAL << none << QByteArray() << maker + "manual.php";
        QTest::newRow("manual, mirror") << ID_GOTO_MANUAL << none << QByteArray("mirror.test:8080") << mirror + "manual.php";
        QTest::newRow("site, mirror") << ID_GOTO_SITE << none << QByteArray("mirror.test:8080") << mirror + "index.php";
        QTest::newRow("donation") << ID_DONATE << none << QByteArray() << maker + "donate.php";
        QTest::newRow("articles") << ID_GOTO_ARTICLES << none << QByteArray("mirror.test:8080")
            << QStringLiteral("http://" KELVRA_ARTICLES_HOST "/Self_Improvement_and_Motivation/time_management_tips_for_solo__7698.html");
        QTest::newRow("sponsor button, US") << IDC_BUTTON_SPONSOR << "US" << QByteArray("mirror.test:8080") << salesLog;
        QTest::newRow("sponsor command, US") << ID_GOTO_SPONSOR << "US" << QByteArray() << salesLog;
        QTest::newRow("sponsor, us") << ID_GOTO_SPONSOR << "us" << QByteArray() << maker + "sponsor.php";
        QTest::newRow("sponsor, USA") << IDC_BUTTON_SPONSOR << "USA" << QByteArray() << maker + "sponsor.php";
        QTest::newRow("sponsor, DE, mirror") << ID_GOTO_SPONSOR << "DE" << QByteArray("mirror.test:8080") << mirror + "sponsor.php";
        QTest::newRow("sponsor, no code") << IDC_BUTTON_SPONSOR << none << QByteArray() << maker + "sponsor.php";
        QTest::newRow("not a web page") << ID_RESET_ALL << "US" << QByteArray() << QString();
        // clang-format on
    }
    void pages() {
        QFETCH(int, id);
        QFETCH(QString, code);
        QFETCH(QByteArray, override);
        QFETCH(QString, address);
        QTemporaryDir dir;
        Profile profile(dir.filePath(QStringLiteral("Kelvra.conf")));
        if (code != QLatin1String("<none>")) {
            profile.WriteProfileString(kTimer, kCountryCode, code);
        }
        if (!override.isNull()) {
            qputenv("KELVRA_MAKER_HOST", override);
        }
        m_recorder.m_opened.clear();
        QCOMPARE(WebPages::Open(id, profile), !address.isEmpty());
        QCOMPARE(m_recorder.m_opened, address.isEmpty() ? QStringList() : QStringList{address});
    }

    void sponsorReadsTheCodeAtEveryClick() {
        QTemporaryDir dir;
        Profile profile(dir.filePath(QStringLiteral("Kelvra.conf")));
        m_recorder.m_opened.clear();
        WebPages::OpenSponsorPage(profile);
        profile.WriteProfileString(kTimer, kCountryCode, QStringLiteral("US"));
        WebPages::OpenSponsorPage(profile);
        WebPages::OpenManualPage();
        QCOMPARE(m_recorder.m_opened.size(), 3);
        QVERIFY(m_recorder.m_opened[0].endsWith(QLatin1String("/Kelvra/sponsor.php")));
        QVERIFY(
            m_recorder.m_opened[1].endsWith(QLatin1String("/saleslog.php?coupon=&userid=52204&from=Kelvra")));
        QVERIFY(m_recorder.m_opened[2].endsWith(QLatin1String("/Kelvra/manual.php")));
    }
};

int RunLinkTests(int argc, char** argv) {
    TestLinks test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_links.moc"
