#include "LoopbackServer.h"
#include "TestSuites.h"
#include "net/HttpClient.h"
#include "net/HttpSocket.h"
#include "net/SocketException.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

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

class TestHttp : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

    // Every saved hostile input, fed through the reader: nothing may be written outside a buffer
    // (the sanitizer build watches) and the results must stay inside their fields.
    void savedHostileInputs() {
        const QDir corpus(QStringLiteral(KELVRA_FUZZ_CORPUS));
        const QStringList files = corpus.entryList(QDir::Files);
        QVERIFY(files.size() >= 10);
        for (const QString& name : files) {
            QFile file(corpus.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray input = file.readAll();
            int ends[2];
            QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
            CHttpSocket socket;
            socket.Attach(ends[0]);
            // The inputs are small enough to wait in the socket pair whole.
            QCOMPARE(::send(ends[1], input.constData(), static_cast<size_t>(input.size()), MSG_DONTWAIT),
                     input.size());
            ::close(ends[1]);
            char body[1000];
            HttpResult result;
            try {
                CHttpClient(1).ReadReply(socket, body, sizeof body, result);
            } catch (const CSocketException&) {
            }
            QVERIFY2(strnlen(result.szHeader.data(), result.szHeader.size()) < result.szHeader.size(),
                     qPrintable(name));
            QVERIFY2(result.nBodyLength >= 0 && result.nBodyLength < 1000, qPrintable(name));
            QVERIFY2(!result.bComplete || body[result.nBodyLength] == '\0', qPrintable(name));
        }
    }
};

int RunHttpTests(int argc, char** argv) {
    TestHttp test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_http.moc"
