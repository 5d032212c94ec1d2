#include "LoopbackServer.h"
#include "TestSuites.h"
#include "net/HttpClient.h"
#include "net/HttpSocket.h"
#include "net/MySocket.h"
#include "net/SocketException.h"

#include <QElapsedTimer>
#include <QTest>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

// What `operation` threw; a "nothing thrown" exception that no check expects when it threw nothing.
CSocketException Thrown(const std::function<void()>& operation) {
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

// A connected pair: one end in a CMySocket, the other the test's.
struct Pair {
    CMySocket socket;
    int peer = -1;
    Pair() {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
        socket.Attach(ends[0]);
        peer = ends[1];
    }
    ~Pair() { ::close(peer); }
};

struct Exchange {
    HttpResult result;
    QByteArray body;
};

Exchange RunAgainst(const char* host, std::uint16_t port, const CHttpClient& client, int bodySize = 1000) {
    std::vector<char> body(static_cast<size_t>(bodySize), '#');
    std::strcpy(body.data(), bodySize > 9 ? "untouched" : "");
    Exchange exchange;
    client.Request(host, port, "GET / HTTP/1.1\r\n\r\n", body.data(), bodySize, exchange.result);
    exchange.body = QByteArray(body.data());
    return exchange;
}

QByteArray Header(const HttpResult& result) {
    return QByteArray(result.szHeader.data());
}

} // namespace

// The socket layer and the HTTP reader.
class TestReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messages_data() {
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<int>("error");
        QTest::addColumn<unsigned>("maxLen");
        QTest::addColumn<QByteArray>("expected");
        // clang-format off
        QTest::newRow("no error number") << QByteArray("Receive timeout") << 0 << 200u << QByteArray("Receive timeout Fehler");
        QTest::newRow("error number") << QByteArray("Connect") << 111 << 200u << QByteArray("Connect Fehler #111");
        QTest::newRow("cut to maxLen - 1") << QByteArray("Connect") << 111 << 5u << QByteArray("Conn");
        QTest::newRow("room for the zero only") << QByteArray("Connect") << 111 << 1u << QByteArray("");
        QTest::newRow("no room at all") << QByteArray("Connect") << 111 << 0u << QByteArray("untouched");
        QTest::newRow("cut to the work area") << QByteArray(1500, 'a') << 7 << 200u << QByteArray(199, 'a');
        // clang-format on
    }
    void messages() {
        QFETCH(QByteArray, operation);
        QFETCH(int, error);
        QFETCH(unsigned, maxLen);
        QTEST(Message(CSocketException(operation.constData(), error), maxLen), "expected");
    }

    void refusedConnectTakesErrnoAndTheLongMessage() {
        CMySocket socket;
        socket.Create(SOCK_STREAM);
        const sockaddr_in address = CMySocket::GetHostByName("127.0.0.1", LoopbackServer::ClosedPort());
        const CSocketException e =
            Thrown([&] { socket.Connect(reinterpret_cast<const sockaddr*>(&address)); });
        QCOMPARE(e.Error(), ECONNREFUSED);
        QCOMPARE(Message(e), QByteArray("Connect Fehler #111"));
    }

    void receiveTimesOutOrSeesTheClose() {
        Pair pair;
        char buffer[16];
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Message(Thrown([&] { pair.socket.Receive(buffer, sizeof buffer, 1); })),
                 QByteArray("Receive timeout Fehler"));
        QVERIFY2(timer.elapsed() >= 900 && timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));
        QCOMPARE(pair.socket.Write("", 0, 1), 0);
        QCOMPARE(::write(pair.peer, "x", 1), 1);
        ::shutdown(pair.peer, SHUT_WR);
        QCOMPARE(pair.socket.Receive(buffer, sizeof buffer, 1), 1);
        QCOMPARE(pair.socket.Receive(buffer, sizeof buffer, 1), 0);
    }

    // Without MSG_NOSIGNAL, SIGPIPE would end this test program here.
    void sendingToAClosedPeerFailsWithoutASignal() {
        Pair pair;
        ::close(std::exchange(pair.peer, -1));
        const CSocketException e = Thrown([&] { pair.socket.Write("hello", 5, 1); });
        QCOMPARE(QByteArray(e.Operation()), QByteArray("Send"));
        QCOMPARE(e.Error(), EPIPE);
    }

    void closeIsIdempotentAndAFailedCloseLetsGo() {
        CMySocket socket;
        socket.Close();
        QCOMPARE(Thrown([&] { socket.Receive(nullptr, 0, 5); }).Error(), EBADF);
        socket.Create(SOCK_STREAM);
        ::close(socket.Handle());
        const CSocketException e = Thrown([&] { socket.Close(); });
        QCOMPARE(QByteArray(e.Operation()), QByteArray("Close"));
        QCOMPARE(e.Error(), EBADF);
        QCOMPARE(socket.Handle(), CMySocket::kNoSocket);
        socket.Close();
    }

    // select() cannot watch descriptors from 1024 up.
    void descriptorsAbove1023Work() {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 2100));
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur < 2100) {
            QSKIP("the descriptor limit stays below 2100");
        }
        Pair pair;
        CMySocket high;
        high.Attach(::fcntl(pair.socket.Handle(), F_DUPFD_CLOEXEC, 2000));
        QVERIFY(high.Handle() >= 2000);
        char buffer[16];
        QCOMPARE(::write(pair.peer, "back", 4), 4);
        QCOMPARE(high.Receive(buffer, sizeof buffer, 1), 4);
    }

    void namesResolveWithoutTheNetwork() {
        const sockaddr_in numeric = CMySocket::GetHostByName("127.0.0.1", 8080);
        QCOMPARE(numeric.sin_family, sa_family_t(AF_INET));
        QCOMPARE(ntohs(numeric.sin_port), 8080);
        QCOMPARE(ntohl(CMySocket::GetHostByName("localhost", 80).sin_addr.s_addr), INADDR_LOOPBACK);
        QCOMPARE(QByteArray(CMySocket::GetHostByAddr(numeric).c_str()), QByteArray("localhost"));
        // The empty label makes the name invalid: it fails without asking a name server.
        const CSocketException e = Thrown([] { CMySocket::GetHostByName("no-such-host..invalid", 80); });
        QCOMPARE(QByteArray(e.Operation()), QByteArray("GetHostByName"));
    }

    void responses_data() {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<bool>("split");
        QTest::addColumn<int>("bodySize");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QByteArray>("header");
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const QByteArray length5 = "Content-Length: 5\r\n";
        const QByteArray pad = "X-Pad: " + QByteArray(192, 'a');
        const QByteArray huge = "Content-Length: 99999999999999999999\r\n";
        const QByteArray zeros = "Content-Length: " + QByteArray(100, '0') + "5\r\n";
        QByteArray filler = ok;
        for (int i = 0; i < 25; ++i) {
            filler += "X-Filler: " + QByteArray(88, 'f') + "\r\n";
        }
        // clang-format off
        QTest::newRow("one segment") << QByteArrayList{ok + length5 + "\r\nhello"} << false << 1000 << 200 << QByteArray("hello") << true << ok + length5 + "\r\n";
        QTest::newRow("Content-length, split body") << QByteArrayList{ok + "Content-length: 12\r\n\r\n", "hello", " world!"} << true << 1000 << 200 << QByteArray("hello world!") << true << ok + "Content-length: 12\r\n\r\n";
        QTest::newRow("content-Length is no length") << QByteArrayList{ok + "content-Length: 12\r\n\r\nhello", " world!"} << false << 1000 << 200 << QByteArray("hello") << true << ok + "content-Length: 12\r\n\r\n";
        QTest::newRow("Content-Length:12 reads 2") << QByteArrayList{ok + "Content-Length:12\r\n\r\n", "0123456789AB"} << true << 1000 << 200 << QByteArray("01") << true << ok + "Content-Length:12\r\n\r\n";
        QTest::newRow("no length: what came with the header") << QByteArrayList{ok + "\r\nabc", "def"} << false << 1000 << 200 << QByteArray("abc") << true << ok + "\r\n";
        QTest::newRow("early close") << QByteArrayList{ok + "Content-Length: 10\r\n\r\nabcd"} << true << 1000 << 200 << QByteArray("abcd") << true << ok + "Content-Length: 10\r\n\r\n";
        QTest::newRow("bare line feeds never end the header") << QByteArrayList{"HTTP/1.1 200 OK\nContent-Length: 2\n\nhi"} << true << 1000 << 200 << QByteArray("untouched") << false << QByteArray("HTTP/1.1 200 OK\nContent-Length: 2\n\n");
        QTest::newRow("interim 100 Continue") << QByteArrayList{"HTTP/1.1 100 Continue\r\n\r\n" + ok + "\r\nhi"} << false << 1000 << 100 << ok + "\r\nhi" << true << QByteArray("HTTP/1.1 100 Continue\r\n\r\n");
        QTest::newRow("long line: its tail cannot end the header") << QByteArrayList{ok + pad + "\r\n" + length5 + "\r\nhello"} << true << 1000 << 200 << QByteArray("hello") << true << ok + pad + length5 + "\r\n";
        QTest::newRow("long line: its tail cannot pose as a status") << QByteArrayList{ok + pad + "HTTP/1.1 500 No\r\n" + length5 + "\r\nhello"} << false << 1000 << 200 << QByteArray("hello") << true << ok + pad + length5 + "\r\n";
        QTest::newRow("value too long for the scratch field") << QByteArrayList{ok + zeros + "\r\nhi", "more"} << false << 1000 << 200 << QByteArray("hi") << true << ok + zeros + "\r\n";
        QTest::newRow("length line without a value overrides") << QByteArrayList{ok + "Content-Length: 9\r\nContent-Length:\r\n\r\nhi", "more"} << false << 1000 << 200 << QByteArray("hi") << true << ok + "Content-Length: 9\r\nContent-Length:\r\n\r\n";
        QTest::newRow("body larger than the buffer") << QByteArrayList{ok + huge + "\r\n", QByteArray(3000, 'x')} << false << 1000 << 200 << QByteArray(999, 'x') << true << ok + huge + "\r\n";
        QTest::newRow("read-ahead larger than the buffer") << QByteArrayList{ok + length5 + "\r\nhello"} << false << 4 << 200 << QByteArray("hel") << true << ok + length5 + "\r\n";
        QTest::newRow("header block over 2000 bytes") << QByteArrayList{filler + length5 + "\r\nhello"} << true << 1000 << 200 << QByteArray("hello") << true << filler.left(1999);
        QTest::newRow("line longer than the read-ahead buffer") << QByteArrayList{ok + "X: " + QByteArray(1200, 'y') + "\r\n\r\n"} << true << 1000 << 200 << QByteArray("untouched") << false << ok;
        QTest::newRow("short status line reads nothing stale") << QByteArrayList{"abcdefgh 404 x\r\nHTTP\r\n\r\n"} << false << 1000 << 0 << QByteArray("") << true << QByteArray("abcdefgh 404 x\r\nHTTP\r\n\r\n");
        // clang-format on
    }
    void responses() {
        QFETCH(QByteArrayList, chunks);
        QFETCH(bool, split);
        QFETCH(int, bodySize);
        QFETCH(QByteArray, body);
        QFETCH(bool, complete);
        ScriptedReply reply;
        reply.bSplit = split;
        for (const QByteArray& chunk : chunks) {
            reply.chunks.push_back(chunk.toStdString());
        }
        LoopbackServer server(reply);
        const Exchange exchange = RunAgainst("127.0.0.1", server.Port(), CHttpClient(5), bodySize);
        QTEST(int(exchange.result.nStatus), "status");
        QCOMPARE(exchange.result.bComplete, complete);
        QCOMPARE(exchange.result.nBodyLength, complete ? body.size() : 0);
        QCOMPARE(exchange.body, body);
        QTEST(Header(exchange.result), "header");
    }

    void failuresLeaveNothingBehind() {
        LoopbackServer silent({.bHoldOpen = true});
        LoopbackServer statusThenSilence({.chunks = {"HTTP/1.1 200 OK\r\n"}, .bHoldOpen = true});
        const std::uint16_t closed = LoopbackServer::ClosedPort();
        struct Case {
            const char* host;
            std::uint16_t port;
            int status;
            QByteArray header;
        };
        for (const Case& c :
             {Case{"127.0.0.1", silent.Port(), 0, "empty"}, Case{"127.0.0.1", closed, 0, "empty"},
              Case{"no-such-host..invalid", 80, 0, "empty"},
              Case{"127.0.0.1", statusThenSilence.Port(), 200, "HTTP/1.1 200 OK\r\n"}}) {
            QElapsedTimer timer;
            timer.start();
            const Exchange exchange = RunAgainst(c.host, c.port, CHttpClient(1));
            QVERIFY2(timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));
            QCOMPARE(exchange.result.nStatus, c.status);
            QCOMPARE(exchange.result.nBodyLength, 0);
            QVERIFY(!exchange.result.bComplete);
            QCOMPARE(exchange.body, QByteArray("untouched"));
            QCOMPARE(Header(exchange.result), c.header);
        }
    }

    void failingFinalCloseIsAbsorbed() {
        LoopbackServer server({.chunks = {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"}});
        CHttpClient client(5);
        int broken = -1;
        client.SetBeforeClose([&](const CMySocket& socket) {
            broken = socket.Handle();
            ::close(broken);
        });
        const Exchange exchange = RunAgainst("127.0.0.1", server.Port(), client);
        QVERIFY(broken >= 0);
        QVERIFY(exchange.result.bComplete);
        QCOMPARE(exchange.result.nStatus, 200);
        QCOMPARE(exchange.body, QByteArray("hello"));
    }
};

int RunReaderTests(int argc, char** argv) {
    TestReader test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_reader.moc"
