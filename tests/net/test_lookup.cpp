#include "LoopbackServer.h"
#include "TestSuites.h"
#include "board/TimerStore.h"
#include "net/CountryLookup.h"
#include "net/CountryRequest.h"
#include "net/WebPages.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/resource.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <res/config.h>

using namespace ProfileLayout;

namespace {

std::string Response(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

std::string RequestFor(const std::string& authority, int randomId) {
    return "GET http://" + authority +
           "/Kelvra/system/GetCountryCode.php HTTP/1.1\r\nUser-Agent: KelvraV10." + std::to_string(randomId) +
           "\r\nHost: " + authority + "\r\n\r\n";
}

// The receiving end of a running lookup is a child of the application until the worker's report is in.
void WaitForLookupsToEnd(qsizetype before) {
    QTRY_COMPARE_WITH_TIMEOUT(QCoreApplication::instance()->children().size(), before, 15000);
}

} // namespace

// Stands in for the browser: records every address the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QStringList m_opened;

public Q_SLOTS:
    void Open(const QUrl& url) { m_opened << url.toString(); }
};

// The country-code lookup and the web links.
class TestLookup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<Profile> m_profile;
    UrlRecorder m_recorder;

private Q_SLOTS:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_recorder, "Open"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_shared<Profile>(m_dir->filePath(QStringLiteral("Kelvra.conf")));
        m_recorder.m_opened.clear();
    }
    void cleanup() { qunsetenv("KELVRA_MAKER_HOST"); }

    void serverAddresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("authority"); // empty: not valid
        QTest::newRow("host") << "mirror.test"
                              << "mirror.test";
        QTest::newRow("host and port") << "127.0.0.1:8080"
                                       << "127.0.0.1:8080";
        QTest::newRow("port 80 is not shown") << "mirror.test:80"
                                              << "mirror.test";
        int row = 0;
        for (const char* bad :
             {"", ":80", "mirror.test:", "mirror.test:0", "mirror.test:65536", "mirror.test:8o",
              "mirror.test:+80", "two words", "evil\r\nX: y", "user@mirror.test"}) {
            QTest::addRow("invalid %d", row++) << bad << "";
        }
    }
    void serverAddresses() {
        QFETCH(QString, text);
        QFETCH(QString, authority);
        const auto parsed = ParseServerAddress(text.toStdString());
        QCOMPARE(parsed ? QString::fromStdString(parsed->Authority()) : QString(), authority);
        // An invalid override falls back to the build's default.
        qputenv("KELVRA_MAKER_HOST", text.toUtf8());
        const std::string fallback = ParseServerAddress(KELVRA_MAKER_HOST)->Authority();
        QCOMPARE(MakerServer().Authority(), authority.isEmpty() ? fallback : authority.toStdString());
    }

    void requestText() {
        QCOMPARE(std::string(ComposeCountryRequest({"www.kelvra.example"}, 4242)->data()),
                 RequestFor("www.kelvra.example", 4242));
        QCOMPARE(std::string(ComposeCountryRequest({"127.0.0.1", 8080}, -7)->data()),
                 RequestFor("127.0.0.1:8080", -7));
        // 998 characters and the terminator fit the 1,000 bytes; one more does not.
        QVERIFY(ComposeCountryRequest({std::string(454, 'h')}, 0));
        QVERIFY(!ComposeCountryRequest({std::string(455, 'h')}, 0));
    }

    void codes_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("code"); // empty: nothing to store
        const auto ok = [](const char* body) { return QByteArray::fromStdString(Response(200, body)); };
        QTest::newRow("DE") << ok("<x><CountryCode>DE</CountryCode></x>") << "DE";
        QTest::newRow("only the first marker") << ok("<CountryCode>FR<CountryCode>DE") << "FR";
        QTest::newRow("one character left") << ok("<CountryCode>D") << "D";
        QTest::newRow("nothing after the marker") << ok("<CountryCode>") << "";
        QTest::newRow("no marker") << ok("Germany") << "";
        QTest::newRow("404") << QByteArray::fromStdString(Response(404, "<CountryCode>DE")) << "";
        QTest::newRow("200, then closed before the body")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n") << "";
    }
    void codes() {
        QFETCH(QByteArray, reply);
        LoopbackServer server({.chunks = {reply.toStdString()}});
        const auto code =
            FetchCountryCode({"127.0.0.1", server.Port()}, RequestFor(server.Address(), 0).c_str(), 2);
        QTEST(QString::fromStdString(code.value_or("")), "code");
        QVERIFY(!code || !code->empty());
    }

    void lookupEndToEnd_data() {
        QTest::addColumn<int>("randomId"); // 0: absent
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("code");
        QTest::newRow("200 stores DE") << 0 << 200 << "DE";
        QTest::newRow("RandomID sent") << 8640010 << 200 << "DE";
        QTest::newRow("404 stores nothing") << 0 << 404 << "";
    }
    void lookupEndToEnd() {
        QFETCH(int, randomId);
        QFETCH(QString, code);
        if (randomId != 0) {
            m_profile->WriteProfileInt(kTimer, kRandomId, randomId);
        }
        QFETCH(int, status);
        LoopbackServer server({.chunks = {Response(status, "<CountryCode>DE\n")}});
        qputenv("KELVRA_MAKER_HOST", QByteArray::fromStdString(server.Address()));
        const qsizetype before = QCoreApplication::instance()->children().size();
        StartCountryLookup(m_profile);
        QCOMPARE(server.WaitForRequest(), RequestFor(server.Address(), randomId));
        WaitForLookupsToEnd(before);
        QCOMPARE(m_profile->GetProfileString(kTimer, kCountryCode), code);
        QCOMPARE(m_profile->GetProfileInt(kTimer, kCc, 0), code.isEmpty() ? 0 : 1);
        // The board's next initial update arms a lookup only while no code is stored.
        QCOMPARE(TimerStore::InitProfile(*m_profile, SettableClock()), code.isEmpty());
    }

    void eventLoopRunsWhileTheLookupWaits() {
        auto server = std::make_unique<LoopbackServer>(ScriptedReply{.bHoldOpen = true});
        qputenv("KELVRA_MAKER_HOST", QByteArray::fromStdString(server->Address()));
        const qsizetype before = QCoreApplication::instance()->children().size();
        QElapsedTimer timer;
        timer.start();
        StartCountryLookup(m_profile);
        QVERIFY2(timer.elapsed() < 200, QByteArray::number(timer.elapsed()));
        QCOMPARE(server->WaitForRequest(), RequestFor(server->Address(), 0));
        int ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(10);
        QTest::qWait(300);
        QVERIFY2(ticks >= 10, QByteArray::number(ticks));
        server.reset();
        WaitForLookupsToEnd(before);
        QCOMPARE(m_profile->GetProfileInt(kTimer, kCc, 0), 0);
    }

    // A program that returns from main while its lookup waits on a silent server must end at once
    // (the worker would wait 10 seconds) and normally.
    void quittingDoesNotWaitForTheLookup() {
        LoopbackServer silent({.bHoldOpen = true});
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KELVRA_MAKER_HOST"), QString::fromStdString(silent.Address()));
        for (const QString when : {"after-request", "at-once", "at-once", "at-once"}) {
            QProcess child;
            child.setProcessEnvironment(environment);
            child.start(QStringLiteral(KELVRA_LOOKUP_CHILD),
                        {m_dir->filePath(QStringLiteral("child.conf")), when});
            QVERIFY(child.waitForStarted(5000));
            if (when == QLatin1String("after-request")) {
                QCOMPARE(silent.WaitForRequest(), RequestFor(silent.Address(), 0));
                child.write("quit\n");
            }
            QElapsedTimer timer;
            timer.start();
            QVERIFY(child.waitForFinished(8000));
            QVERIFY2(timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
        }
    }

    void pages_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("code"); // null: no entry
        QTest::addColumn<QByteArray>("override");
        QTest::addColumn<QString>("address"); // empty: not a page
        const QString maker = QStringLiteral("http://" KELVRA_MAKER_HOST "/Kelvra/");
        const QString mirror = QStringLiteral("http://mirror.test:8080/Kelvra/");
        const QString salesLog =
            QStringLiteral("http://" KELVRA_SPONSOR_HOST "/saleslog.php?coupon=&userid=52204&from=Kelvra");
        const QByteArray none;
        // clang-format off
        QTest::newRow("manual button") << IDC_BUTTON_MANUAL << QString() << none << maker + "manual.php";
        QTest::newRow("manual command") << ID_GOTO_MANUAL << QString() << none << maker + "manual.php";
        QTest::newRow("manual, mirror") << ID_GOTO_MANUAL << QString() << QByteArray("mirror.test:8080") << mirror + "manual.php";
        QTest::newRow("site, mirror") << ID_GOTO_SITE << QString() << QByteArray("mirror.test:8080") << mirror + "index.php";
        QTest::newRow("donation") << ID_DONATE << QString() << none << maker + "donate.php";
        QTest::newRow("articles") << ID_GOTO_ARTICLES << QString() << QByteArray("mirror.test:8080")
            << QStringLiteral("http://" KELVRA_ARTICLES_HOST "/Self_Improvement_and_Motivation/time_management_tips_for_solo__7698.html");
        QTest::newRow("sponsor button, US") << IDC_BUTTON_SPONSOR << "US" << QByteArray("mirror.test:8080") << salesLog;
        QTest::newRow("sponsor command, US") << ID_GOTO_SPONSOR << "US" << none << salesLog;
        QTest::newRow("sponsor, us") << ID_GOTO_SPONSOR << "us" << none << maker + "sponsor.php";
        QTest::newRow("sponsor, USA") << IDC_BUTTON_SPONSOR << "USA" << none << maker + "sponsor.php";
        QTest::newRow("sponsor, DE, mirror") << ID_GOTO_SPONSOR << "DE" << QByteArray("mirror.test:8080") << mirror + "sponsor.php";
        QTest::newRow("sponsor, no code") << IDC_BUTTON_SPONSOR << QString() << none << maker + "sponsor.php";
        QTest::newRow("not a web page") << ID_RESET_ALL << "US" << none << QString();
        // clang-format on
    }
    void pages() {
        QFETCH(int, id);
        QFETCH(QString, code);
        QFETCH(QByteArray, override);
        QFETCH(QString, address);
        if (!code.isNull()) {
            m_profile->WriteProfileString(kTimer, kCountryCode, code);
        }
        if (!override.isNull()) {
            qputenv("KELVRA_MAKER_HOST", override);
        }
        QCOMPARE(WebPages::Open(id, *m_profile), !address.isEmpty());
        QCOMPARE(m_recorder.m_opened, address.isEmpty() ? QStringList() : QStringList{address});
    }

    void sponsorReadsTheCodeAtEveryClick() {
        WebPages::OpenSponsorPage(*m_profile);
        m_profile->WriteProfileString(kTimer, kCountryCode, QStringLiteral("US"));
        WebPages::OpenSponsorPage(*m_profile);
        WebPages::OpenManualPage();
        QCOMPARE(m_recorder.m_opened,
                 QStringList({QStringLiteral("http://" KELVRA_MAKER_HOST "/Kelvra/sponsor.php"),
                              QStringLiteral("http://" KELVRA_SPONSOR_HOST
                                             "/saleslog.php?coupon=&userid=52204&from=Kelvra"),
                              QStringLiteral("http://" KELVRA_MAKER_HOST "/Kelvra/manual.php")}));
    }
};

int RunLookupTests(int argc, char** argv) {
    TestLookup test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_lookup.moc"
