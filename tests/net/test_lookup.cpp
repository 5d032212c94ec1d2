#include "LoopbackServer.h"
#include "TestSuites.h"
#include "board/TimerStore.h"
#include "net/CountryLookup.h"
#include "net/CountryRequest.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <res/config.h>

using namespace ProfileLayout;

namespace {

const char kNone[] = "<none>";

std::string Response(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

std::string RequestFor(const std::string& authority, const std::string& userAgent) {
    return "GET http://" + authority +
           "/Kelvra/system/GetCountryCode.php HTTP/1.1\r\nUser-Agent: " + userAgent +
           "\r\nHost: " + authority + "\r\n\r\n";
}

// Receiving ends of running lookups are children of the application until their report is in.
void WaitForLookupsToEnd(qsizetype before) {
    QTRY_COMPARE_WITH_TIMEOUT(QCoreApplication::instance()->children().size(), before, 15000);
}

} // namespace

class TestLookup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<Profile> m_profile;

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_shared<Profile>(m_dir->filePath(QStringLiteral("Kelvra.conf")));
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
        // The override takes a valid address only, and falls back to the build's default otherwise.
        qputenv("KELVRA_MAKER_HOST", text.toUtf8());
        const QString fallback = QString::fromStdString(ParseServerAddress(KELVRA_MAKER_HOST)->Authority());
        QCOMPARE(QString::fromStdString(MakerServer().Authority()),
                 authority.isEmpty() ? fallback : authority);
    }

    void requestText() {
        QCOMPARE(std::string(ComposeCountryRequest({"www.kelvra.example"}, 4242)->data()),
                 RequestFor("www.kelvra.example", "KelvraV10.4242"));
        QCOMPARE(std::string(ComposeCountryRequest({"127.0.0.1", 8080}, -7)->data()),
                 RequestFor("127.0.0.1:8080", "KelvraV10.-7"));
        QVERIFY(ComposeCountryRequest({std::string(454, 'h')}, 0));
        QVERIFY(!ComposeCountryRequest({std::string(455, 'h')}, 0));
    }

    void codes_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("code");
        QTest::newRow("DE") << 200 << QByteArray("<x><CountryCode>DE</CountryCode></x>") << "DE";
        QTest::newRow("only the first marker") << 200 << QByteArray("<CountryCode>FR<CountryCode>DE") << "FR";
        QTest::newRow("one character left") << 200 << QByteArray("<CountryCode>D") << "D";
        QTest::newRow("nothing after the marker") << 200 << QByteArray("<CountryCode>") << kNone;
        QTest::newRow("no marker") << 200 << QByteArray("Germany") << kNone;
        QTest::newRow("404") << 404 << QByteArray("<CountryCode>DE") << kNone;
        QTest::newRow("200, then closed before the body") << 200 << QByteArray() << kNone;
    }
    void codes() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        const std::string reply = body.isNull() ? "HTTP/1.1 200 OK\r\nContent-Length: 20\r\n"
                                                : Response(status, body.toStdString());
        LoopbackServer server({.chunks = {reply}});
        const auto code = FetchCountryCode({"127.0.0.1", server.Port()},
                                           RequestFor(server.Address(), "KelvraV10.0").c_str(), 2);
        QTEST(code ? QString::fromStdString(*code) : QString(kNone), "code");
    }

    void lookupEndToEnd_data() {
        QTest::addColumn<int>("randomId"); // -1: absent
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("code");
        QTest::newRow("200 stores DE") << -1 << 200 << "DE";
        QTest::newRow("RandomID sent") << 4242 << 200 << "DE";
        QTest::newRow("404 stores nothing") << -1 << 404 << "";
    }
    void lookupEndToEnd() {
        QFETCH(int, randomId);
        QFETCH(int, status);
        QFETCH(QString, code);
        if (randomId >= 0) {
            m_profile->WriteProfileInt(kTimer, kRandomId, randomId);
        }
        LoopbackServer server({.chunks = {Response(status, "<CountryCode>DE\n")}});
        qputenv("KELVRA_MAKER_HOST", QByteArray::fromStdString(server.Address()));
        const qsizetype before = QCoreApplication::instance()->children().size();
        StartCountryLookup(m_profile);
        QCOMPARE(server.WaitForRequest(),
                 RequestFor(server.Address(), "KelvraV10." + std::to_string(std::max(randomId, 0))));
        WaitForLookupsToEnd(before);
        QCOMPARE(m_profile->GetProfileString(kTimer, kCountryCode), code);
        QCOMPARE(m_profile->GetProfileInt(kTimer, kCc, 0), code.isEmpty() ? 0 : 1);
        // The board's next initial update arms a lookup only while no code is stored.
        SettableClock clock;
        QCOMPARE(TimerStore::InitProfile(*m_profile, clock), code.isEmpty());
    }

    void eventLoopRunsWhileTheLookupWaits() {
        auto server = std::make_unique<LoopbackServer>(ScriptedReply{.bHoldOpen = true});
        qputenv("KELVRA_MAKER_HOST", QByteArray::fromStdString(server->Address()));
        const qsizetype before = QCoreApplication::instance()->children().size();
        QElapsedTimer timer;
        timer.start();
        StartCountryLookup(m_profile);
        QVERIFY2(timer.elapsed() < 200, QByteArray::number(timer.elapsed()));
        QVERIFY(server->WaitForRequest().find("KelvraV10.0") != std::string::npos);
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

    // A real program that returns from main while its lookup waits on a silent server must end at
    // once, and normally: the worker would wait 10 seconds.
    void quittingDoesNotWaitForTheLookup() {
        LoopbackServer silent({.bHoldOpen = true});
        for (const QString& when : {QStringLiteral("after-request"), QStringLiteral("at-once")}) {
            for (int run = 0; run < 3; ++run) {
                QProcess child;
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert(QStringLiteral("KELVRA_MAKER_HOST"),
                                   QString::fromStdString(silent.Address()));
                child.setProcessEnvironment(environment);
                child.start(QStringLiteral(KELVRA_LOOKUP_CHILD),
                            {m_dir->filePath(QStringLiteral("child.conf")), when});
                QVERIFY(child.waitForStarted(5000));
                if (when == QLatin1String("after-request")) {
                    QVERIFY(silent.WaitForRequest().find("KelvraV10.0") != std::string::npos);
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
    }
};

int RunLookupTests(int argc, char** argv) {
    TestLookup test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_lookup.moc"
