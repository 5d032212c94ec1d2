#include "LoopbackServer.h"
#include "TestSockets.h"
#include "net/CountryLookup.h"
#include "net/ElapsedMs.h"
#include "net/HttpClient.h"
#include "net/MySocket.h"
#include "net/SocketException.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>

using namespace ProfileLayout;
using namespace std::chrono_literals;
using namespace std::string_literals;

Q_DECLARE_METATYPE(ScriptedReply)

namespace {

// One exchange into a 16-byte body buffer that holds "untouched" before, each wait bounded by a second.
// Every final close fails on purpose: the outcome must stand all the same.
std::pair<HttpResult, QByteArray> Run(const char* host, std::uint16_t port,
                                      std::chrono::milliseconds timeLimit = CHttpClient::kExchangeTimeLimit) {
    char body[16] = "untouched";
    CHttpClient client(1, timeLimit);
    client.SetBeforeClose([](const CMySocket& socket) { TestSockets::Close(socket.Handle()); });
    HttpResult result;
    client.Request(host, port, "GET / HTTP/1.1\r\n\r\n", body, sizeof body, result);
    return {result, body};
}

std::string RequestFor(const std::string& authority, int randomId) {
    return "GET http://" + authority +
           "/Kelvra/system/GetCountryCode.php HTTP/1.1\r\nUser-Agent: KelvraV10." + std::to_string(randomId) +
           "\r\nHost: " + authority + "\r\n\r\n";
}

// A listener on 127.0.0.1 that never accepts, its accept queue full: the system drops each new SYN and
// a connect would retry for minutes.
class FullListener final {
public:
    FullListener() {
        m_nListen = TestSockets::Listen(0, m_nPort);
        const sockaddr_in address = TestSockets::Loopback(m_nPort);
        // Connect until one is left waiting: the queue is full from then on.
        for (bool waiting = false; !waiting && m_queued.size() < 16;) {
            const int handle = TestSockets::Tcp();
            m_queued.push_back(handle);
            TestSockets::SetNonBlocking(handle);
            ::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            waiting = TestSockets::Poll(handle, POLLOUT, 200) == 0;
        }
    }
    ~FullListener() {
        for (const int handle : m_queued) {
            TestSockets::Close(handle);
        }
        TestSockets::Close(m_nListen);
    }
    std::uint16_t Port() const { return m_nPort; }

private:
    int m_nListen = -1;
    std::uint16_t m_nPort = 0;
    std::vector<int> m_queued;
};

} // namespace

// The socket layer, the HTTP reader against a loopback server, and the country-code lookup.
class TestNet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { qunsetenv("KELVRA_MAKER_HOST"); }

    // A peer that has gone must give EPIPE rather than SIGPIPE, which would end this program. Windows
    // has no such signal.
    void writingToAClosedPeerThrows() {
#ifdef _WIN32
        QSKIP("no SIGPIPE on Windows");
#else
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
        CMySocket socket;
        socket.Attach(ends[0]);
        ::close(ends[1]);
        try {
            socket.Write("hello", 5, 1);
            QFAIL("nothing thrown");
        } catch (const CSocketException& e) {
            QCOMPARE(QByteArray(e.Operation()), "Send");
            QCOMPARE(e.Error(), EPIPE);
        }
#endif
    }

    // A port where nothing listens: the system's own code for the refusal (10061 on Windows, a code no
    // POSIX system has) comes through in the error and its message.
    void connectionRefused() {
        std::uint16_t port = 0;
        const int bound = TestSockets::Bound(port); // keeps the port from anyone else, never listening
        const sockaddr_in address = TestSockets::Loopback(port);
        CMySocket socket;
        socket.Create(SOCK_STREAM);
        try {
            socket.Connect(reinterpret_cast<const sockaddr*>(&address));
            QFAIL("connected");
        } catch (const CSocketException& e) {
            QCOMPARE(QByteArray(e.Operation()), "Connect");
            QCOMPARE(e.Error(), TestSockets::kRefused);
            char message[CSocketException::kMessageSize];
            QVERIFY(e.GetErrorMessage(message, sizeof message));
            QCOMPARE(QByteArray(message), "Connect Fehler #" + QByteArray::number(TestSockets::kRefused));
        }
        TestSockets::Close(bound);
    }

    // Nobody answers, or the reply never ends: status 0, the body buffer as it was, each within its limit.
    // A silent server gets each wait's whole second. Both endless servers would go on for 20 s: a flood
    // of header lines ends at the byte limit, long before the 30 s time limit; a byte every 50 ms, well
    // within each wait's second, ends at the time limit (1.5 s here), as does a connect to a listener
    // whose queue is full.
    void noCompleteReply() {
        const std::uint16_t closed = LoopbackServer(ScriptedReply{}).Port(); // nobody listens there now
        LoopbackServer silent({.bHoldOpen = true});
        LoopbackServer flood({.repeat = "X-Filler: 0123456789\r\n"});
        LoopbackServer drip({.repeat = "x", .pause = 50ms});
        const FullListener full;
        const std::chrono::milliseconds whole = CHttpClient::kExchangeTimeLimit;
        using Target = std::tuple<const char*, std::uint16_t, std::chrono::milliseconds, int, const char*>;
        for (const auto& [host, port, limit, least, header] :
             {Target{"127.0.0.1", silent.Port(), whole, 900, "empty"},
              {"127.0.0.1", closed, whole, 0, "empty"},
              {"no-such-host..invalid", 80, whole, 0, "empty"},
              {"127.0.0.1", flood.Port(), whole, 0, "X-Filler: 0123456789\r\n"},
              {"127.0.0.1", drip.Port(), 1500ms, 1500, "empty"},
              {"127.0.0.1", full.Port(), 1500ms, 1500, "empty"}}) {
            QElapsedTimer timer;
            timer.start();
            const auto [result, body] = Run(host, port, limit);
            QCOMPARE(result.nStatus, 0);
            QVERIFY(!result.bComplete);
            QCOMPARE(body, "untouched");
            QCOMPARE(QByteArray(result.szHeader.data()).left(22), header);
            QVERIFY(timer.elapsed() >= least && timer.elapsed() < 8000);
        }
    }

    // The timings count within one UTC day only: anything that crosses a midnight is 0.
    void elapsedMs() {
        QCOMPARE(ElapsedMs({2026, 12, 7, 9, 59, 59, 750}, {2026, 12, 7, 10, 0, 1, 250}), 1500);
        QCOMPARE(ElapsedMs({2026, 12, 31, 23, 59, 59, 900}, {2027, 1, 1, 0, 0, 0, 100}), 0);
        QCOMPARE(ElapsedMs({2026, 11, 7, 9, 0, 0, 0}, {2026, 12, 7, 9, 0, 1, 0}), 0); // another month
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

    void lookup_data() {
        QTest::addColumn<ScriptedReply>("reply");
        QTest::addColumn<int>("randomId"); // 0: no entry, so the request says 0
        QTest::addColumn<QString>("code"); // empty: nothing stored
        const auto reply = [](int status, const std::string& body) {
            return ScriptedReply{{"HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " +
                                  std::to_string(body.size()) + "\r\n\r\n" + body}};
        };
        // clang-format off
        QTest::newRow("200 stores DE") << reply(200, "<x><CountryCode>DE</CountryCode></x>") << 8640010 << "DE";
        QTest::newRow("404") << reply(404, "<CountryCode>DE") << 0 << "";
        QTest::newRow("marker twice: the first") << reply(200, "<CountryCode>FR<CountryCode>DE") << 0 << "FR";
        QTest::newRow("nothing after the marker") << reply(200, "<CountryCode>") << 0 << "";
        QTest::newRow("no marker") << reply(200, "Germany") << 0 << "";
        QTest::newRow("200, then closed before the body") << ScriptedReply{{"HTTP/1.1 200 OK\r\nContent-Length: 20\r\n"}} << 0 << "";
        QTest::newRow("200, then header lines for ever") << ScriptedReply{.chunks = {"HTTP/1.1 200 OK\r\n"}, .repeat = "X-Filler: 0123456789\r\n"} << 0 << "";
        // clang-format on
    }
    void lookup() {
        QFETCH(ScriptedReply, reply);
        QFETCH(int, randomId);
        QFETCH(QString, code);
        QTemporaryDir dir;
        const auto profile = std::make_shared<Profile>(dir.filePath(QStringLiteral("Kelvra.conf")));
        if (randomId != 0) {
            profile->WriteProfileInt(kTimer, kRandomId, randomId);
        }
        LoopbackServer server(reply);
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
            QVERIFY(child.waitForFinished(8000)); // well before the worker's time-out of 10 seconds
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestNet)

#include "test_net.moc"
