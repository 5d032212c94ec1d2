#include "LoopbackServer.h"
#include "net/CountryLookup.h"
#include "net/HttpClient.h"
#include "net/MySocket.h"
#include "net/ServerAddress.h"
#include "net/SocketException.h"
#include "net/WebLinks.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <res/config.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ProfileLayout;
using namespace std::string_literals;

Q_DECLARE_METATYPE(ScriptedReply)

namespace {

// What `operation` threw; an exception that no check expects when it threw nothing.
template <typename Operation> CSocketException Thrown(Operation operation) {
    try {
        operation();
    } catch (const CSocketException& e) {
        return e;
    }
    return CSocketException("<nothing thrown>", -1);
}

QByteArray Message(const CSocketException& e, unsigned maxLen = 200) {
    char text[200] = "untouched";
    e.GetErrorMessage(text, maxLen);
    return text;
}

// One exchange into a 16-byte body buffer that holds "untouched" before. Every final close fails on
// purpose: the outcome must stand all the same.
std::pair<HttpResult, QByteArray> Run(const char* host, std::uint16_t port) {
    char body[16] = "untouched";
    CHttpClient client(1);
    client.SetBeforeClose([](const CMySocket& socket) { ::close(socket.Handle()); });
    HttpResult result;
    client.Request(host, port, "GET / HTTP/1.1\r\n\r\n", body, sizeof body, result);
    return {result, body};
}

std::string RequestFor(const std::string& authority, int randomId) {
    return "GET http://" + authority +
           "/Kelvra/system/GetCountryCode.php HTTP/1.1\r\nUser-Agent: KelvraV10." + std::to_string(randomId) +
           "\r\nHost: " + authority + "\r\n\r\n";
}

} // namespace

// The socket layer, the HTTP reader against a loopback server, and the country-code lookup.
class TestNet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { qunsetenv("KELVRA_MAKER_HOST"); }

    // Where the platform has traps: a time-out has no error number (short message form), a closed peer
    // must give EPIPE rather than SIGPIPE (which would end this program), and select() could not watch
    // a descriptor from 1024 up.
    void socketTraps() {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::max(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 2100));
        ::setrlimit(RLIMIT_NOFILE, &limit);
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
        CMySocket socket;
        socket.Attach(::fcntl(ends[0], F_DUPFD_CLOEXEC, 2000));
        ::close(ends[0]);
        QVERIFY2(socket.Handle() >= 2000, "needs a descriptor limit of 2100 at least");
        char buffer[16];
        QCOMPARE(Message(Thrown([&] { socket.Receive(buffer, sizeof buffer, 0); })),
                 "Receive timeout Fehler");
        QCOMPARE(::write(ends[1], "back", 4), 4);
        QCOMPARE(socket.Receive(buffer, sizeof buffer, 1), 4);
        ::close(ends[1]);
        const auto e = Thrown([&] { socket.Write("hello", 5, 1); });
        QCOMPARE(QByteArray(e.Operation()), "Send");
        QCOMPARE(e.Error(), EPIPE);
    }

    // Nobody answers: status 0, header "empty", the body buffer as it was, and within the time-out.
    void unreachable() {
        CMySocket socket;
        socket.Create(SOCK_STREAM);
        const std::uint16_t closed = LoopbackServer(ScriptedReply{}).Port(); // nobody listens there now
        const sockaddr_in refused = CMySocket::GetHostByName("127.0.0.1", closed);
        const auto e = Thrown([&] { socket.Connect(reinterpret_cast<const sockaddr*>(&refused)); });
        QCOMPARE(e.Error(), ECONNREFUSED);
        QCOMPARE(Message(e), "Connect Fehler #111");
        QCOMPARE(Message(e, 5), "Conn");
        QCOMPARE(Message(e, 0), "untouched");

        LoopbackServer silent({.bHoldOpen = true});
        QElapsedTimer timer;
        timer.start();
        using Target = std::pair<const char*, std::uint16_t>;
        for (const auto& [host, port] :
             {Target{"127.0.0.1", silent.Port()}, {"127.0.0.1", closed}, {"no-such-host..invalid", 80}}) {
            const auto [result, body] = Run(host, port);
            QCOMPARE(result.nStatus, 0);
            QVERIFY(!result.bComplete);
            QCOMPARE(body, "untouched");
            QCOMPARE(QByteArray(result.szHeader.data()), "empty");
        }
        // The silent server takes the whole second, the others fail at once.
        QVERIFY2(timer.elapsed() >= 900 && timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));
    }

    void responses_data() {
        QTest::addColumn<ScriptedReply>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<std::string>("body"); // "untouched": the exchange failed
        QTest::addColumn<std::string>("header");
        const std::string ok = "HTTP/1.1 200 OK\r\n";
        const std::string length5 = "Content-Length: 5\r\n";
        const std::string huge = "Content-Length: 99999999999999999999\r\n\r\n";
        const std::string longLine = "X-Pad: " + std::string(192, 'a'); // 199 characters, then CR LF
        const std::string longValue = "Content-Length: " + std::string(100, '0') + "5\r\n";
        std::string filler = ok;
        for (int i = 0; i < 25; ++i) {
            filler += "X-Filler: " + std::string(88, 'f') + "\r\n";
        }
        // Rows that take the body from what came with the header go in one piece; the others go in
        // random pieces (true), which must not change the result.
        // clang-format off
        QTest::newRow("one segment") << ScriptedReply{{ok + length5 + "\r\nhello"}} << 200 << "hello"s << ok + length5 + "\r\n";
        QTest::newRow("Content-length, split body") << ScriptedReply{{ok + "Content-length: 12\r\n\r\n", "hello", " world!"}, true} << 200 << "hello world!"s << ok + "Content-length: 12\r\n\r\n";
        QTest::newRow("content-Length is no length") << ScriptedReply{{ok + "content-Length: 12\r\n\r\nhello", " world!"}} << 200 << "hello"s << ok + "content-Length: 12\r\n\r\n";
        QTest::newRow("Content-Length:12 reads 2") << ScriptedReply{{ok + "Content-Length:12\r\n\r\n", "0123456789AB"}, true} << 200 << "01"s << ok + "Content-Length:12\r\n\r\n";
        QTest::newRow("no length: what came with the header") << ScriptedReply{{ok + "\r\nabc", "def"}} << 200 << "abc"s << ok + "\r\n";
        QTest::newRow("early close") << ScriptedReply{{ok + "Content-Length: 10\r\n\r\nabcd"}, true} << 200 << "abcd"s << ok + "Content-Length: 10\r\n\r\n";
        QTest::newRow("short status line reads nothing stale") << ScriptedReply{{"abcdefgh 404 x\r\nHTTP\r\n\r\n"}, true} << 0 << ""s << "abcdefgh 404 x\r\nHTTP\r\n\r\n"s;
        QTest::newRow("bare line feeds never end the header") << ScriptedReply{{"HTTP/1.1 200 OK\nContent-Length: 2\n\nhi"}, true} << 200 << "untouched"s << "HTTP/1.1 200 OK\nContent-Length: 2\n\n"s;
        QTest::newRow("line over 199 characters: cut, its tail dropped") << ScriptedReply{{ok + longLine + "\r\n" + length5 + "\r\nhello"}, true} << 200 << "hello"s << ok + longLine + length5 + "\r\n";
        QTest::newRow("length value too long: length 0") << ScriptedReply{{ok + longValue + "\r\n", "hello"}, true} << 200 << ""s << ok + longValue + "\r\n";
        QTest::newRow("header block over 2000 bytes") << ScriptedReply{{filler + length5 + "\r\nhello"}, true} << 200 << "hello"s << filler.substr(0, 1999);
        QTest::newRow("body over the buffer, read ahead") << ScriptedReply{{ok + huge + std::string(20, 'y')}} << 200 << std::string(15, 'y') << ok + huge;
        QTest::newRow("body over the buffer, received") << ScriptedReply{{ok + huge, std::string(40, 'x')}, true} << 200 << std::string(15, 'x') << ok + huge;
        QTest::newRow("line over the read-ahead buffer") << ScriptedReply{{ok + "X: " + std::string(1200, 'y') + "\r\n\r\n"}, true} << 200 << "untouched"s << ok;
        // clang-format on
    }
    void responses() {
        QFETCH(ScriptedReply, reply);
        QFETCH(std::string, body);
        QFETCH(std::string, header);
        LoopbackServer server(reply);
        const auto [result, received] = Run("127.0.0.1", server.Port());
        const bool complete = body != "untouched";
        QTEST(int(result.nStatus), "status");
        QCOMPARE(result.bComplete, complete);
        QCOMPARE(result.nBodyLength, complete ? int(body.size()) : 0);
        QCOMPARE(received, QByteArray::fromStdString(body));
        QCOMPARE(QByteArray(result.szHeader.data()), QByteArray::fromStdString(header));
    }

    void serverAddresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("authority"); // empty: not valid
        // clang-format off
        const std::pair<const char*, const char*> rows[] = {{"mirror.test", "mirror.test"}, {"127.0.0.1:8080", "127.0.0.1:8080"},
            {"mirror.test:80", "mirror.test"}, {"", ""}, {":80", ""}, {"mirror.test:", ""}, {"mirror.test:0", ""},
            {"mirror.test:65536", ""}, {"mirror.test:+80", ""}, {"evil\r\nX: y", ""}};
        // clang-format on
        for (const auto& [text, authority] : rows) {
            QTest::newRow(QByteArray(text).toPercentEncoding(":").constData()) << text << authority;
        }
    }
    void serverAddresses() {
        QFETCH(QString, text);
        QFETCH(QString, authority);
        const auto parsed = ParseServerAddress(text.toStdString());
        QCOMPARE(parsed ? QString::fromStdString(parsed->Authority()) : QString(), authority);
        // The override moves the maker's pages too; an invalid one leaves the build's default.
        qputenv("KELVRA_MAKER_HOST", text.toUtf8());
        QCOMPARE(WebLinks::ManualAddress(),
                 "http://" + (authority.isEmpty() ? KELVRA_MAKER_HOST : authority) + "/Kelvra/manual.php");
    }

    void lookup_data() {
        QTest::addColumn<std::string>("reply");
        QTest::addColumn<int>("randomId"); // 0: no entry, so the request says 0
        QTest::addColumn<QString>("code"); // empty: nothing stored
        const auto reply = [](int status, const std::string& body) {
            return "HTTP/1.1 " + std::to_string(status) +
                   " X\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        };
        QTest::newRow("200 stores DE") << reply(200, "<x><CountryCode>DE</CountryCode></x>") << 0 << "DE";
        QTest::newRow("RandomID sent") << reply(200, "<CountryCode>DE") << 8640010 << "DE";
        QTest::newRow("404") << reply(404, "<CountryCode>DE") << 0 << "";
        QTest::newRow("marker twice: the first") << reply(200, "<CountryCode>FR<CountryCode>DE") << 0 << "FR";
        QTest::newRow("one character after the marker") << reply(200, "<CountryCode>D") << 0 << "D";
        QTest::newRow("nothing after the marker") << reply(200, "<CountryCode>") << 0 << "";
        QTest::newRow("no marker") << reply(200, "Germany") << 0 << "";
        QTest::newRow("200, then closed before the body")
            << "HTTP/1.1 200 OK\r\nContent-Length: 20\r\n"s << 0 << "";
    }
    void lookup() {
        QFETCH(std::string, reply);
        QFETCH(int, randomId);
        QFETCH(QString, code);
        QTemporaryDir dir;
        const auto profile = std::make_shared<Profile>(dir.filePath(QStringLiteral("Kelvra.conf")));
        if (randomId != 0) {
            profile->WriteProfileInt(kTimer, kRandomId, randomId);
        }
        LoopbackServer server({.chunks = {reply}});
        qputenv("KELVRA_MAKER_HOST", QByteArray::fromStdString(server.Address()));
        const qsizetype before = QCoreApplication::instance()->children().size();
        StartCountryLookup(profile);
        QCOMPARE(server.WaitForRequest(), RequestFor(server.Address(), randomId));
        // The receiving end is a child of the application until the worker's report is in.
        QTRY_COMPARE_WITH_TIMEOUT(QCoreApplication::instance()->children().size(), before, 15000);
        QCOMPARE(profile->GetProfileString(kTimer, kCountryCode), code);
        QCOMPARE(profile->GetProfileInt(kTimer, kCc, 0), code.isEmpty() ? 0 : 1);
    }

    // A program that returns from main while its lookup waits on a silent server must end at once
    // (the worker would wait 10 seconds) and normally.
    void quittingDoesNotWaitForTheLookup() {
        QTemporaryDir dir;
        LoopbackServer silent({.bHoldOpen = true});
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KELVRA_MAKER_HOST"), QString::fromStdString(silent.Address()));
        // Once the worker waits on the server, then (three times, for the races) while it starts.
        for (const bool waiting : {true, false, false, false}) {
            QProcess child;
            child.setProcessEnvironment(environment);
            child.start(QStringLiteral(KELVRA_LOOKUP_CHILD), {dir.filePath(QStringLiteral("child.conf"))});
            QVERIFY(child.waitForStarted(5000));
            if (waiting) {
                QCOMPARE(silent.WaitForRequest(), RequestFor(silent.Address(), 0));
            }
            child.write("quit\n");
            QElapsedTimer timer;
            timer.start();
            QVERIFY(child.waitForFinished(8000));
            QVERIFY2(timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestNet)

#include "test_net.moc"
