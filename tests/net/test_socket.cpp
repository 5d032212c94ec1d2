#include "LoopbackServer.h"
#include "TestSuites.h"
#include "net/ElapsedMs.h"
#include "net/MySocket.h"
#include "net/SocketException.h"

#include <QElapsedTimer>
#include <QTest>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SystemTime)

namespace {

// Runs `operation` and returns what it threw; a test fails if it throws nothing.
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

void ConnectTo(CMySocket& socket, std::uint16_t port) {
    socket.Create(SOCK_STREAM);
    const sockaddr_in address = CMySocket::GetHostByName("127.0.0.1", port);
    socket.Connect(reinterpret_cast<const sockaddr*>(&address));
}

} // namespace

class TestSocket : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messages_data() {
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<int>("error");
        QTest::addColumn<unsigned>("maxLen");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("no error number")
            << QByteArray("Receive timeout") << 0 << 200u << QByteArray("Receive timeout Fehler");
        QTest::newRow("error number")
            << QByteArray("Connect") << 111 << 200u << QByteArray("Connect Fehler #111");
        QTest::newRow("cut to maxLen - 1") << QByteArray("Connect") << 111 << 5u << QByteArray("Conn");
        QTest::newRow("room for the zero only") << QByteArray("Connect") << 111 << 1u << QByteArray("");
        QTest::newRow("nothing at all") << QByteArray("Connect") << 111 << 0u << QByteArray("untouched");
        QTest::newRow("cut to the work area") << QByteArray(1500, 'a') << 7 << 200u << QByteArray(199, 'a');
    }
    void messages() {
        QFETCH(QByteArray, operation);
        QFETCH(int, error);
        QFETCH(unsigned, maxLen);
        QFETCH(QByteArray, expected);
        QCOMPARE(Message(CSocketException(operation.constData(), error), maxLen), expected);
    }

    void errorNumberIsTakenAtConstruction() {
        errno = ECONNREFUSED;
        const CSocketException e("Connect");
        errno = 0;
        QCOMPARE(e.Error(), ECONNREFUSED);
        QCOMPARE(QByteArray(e.Operation()), QByteArray("Connect"));
    }

    void refusedConnectGivesTheLongMessage() {
        CMySocket socket;
        const CSocketException e = Thrown([&] { ConnectTo(socket, LoopbackServer::ClosedPort()); });
        QCOMPARE(e.Error(), ECONNREFUSED);
        QCOMPARE(Message(e), QByteArray("Connect Fehler #111"));
        socket.Close();
        QCOMPARE(socket.Handle(), CMySocket::kNoSocket);
    }

    void silentPeerTimesOutAndClosedPeerGivesZero() {
        LoopbackServer silent({.bHoldOpen = true});
        CMySocket socket;
        ConnectTo(socket, silent.Port());
        char buffer[16];
        QElapsedTimer timer;
        timer.start();
        const CSocketException e = Thrown([&] { socket.Receive(buffer, sizeof buffer, 1); });
        QVERIFY2(timer.elapsed() >= 900 && timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));
        QCOMPARE(Message(e), QByteArray("Receive timeout Fehler"));
        QCOMPARE(socket.Write("", 0, 1), 0);
        socket.Close();

        LoopbackServer closing({.chunks = {"x"}});
        ConnectTo(socket, closing.Port());
        socket.Write("GET\r\n\r\n", 7, 1);
        QCOMPARE(socket.Receive(buffer, sizeof buffer, 5), 1);
        QCOMPARE(socket.Receive(buffer, sizeof buffer, 5), 0);
    }

    void closeIsIdempotentAndAFailedCloseLetsGo() {
        CMySocket never;
        never.Close();
        never.Close();
        QCOMPARE(Thrown([&] { never.Receive(nullptr, 0, 5); }).Error(), EBADF);

        CMySocket socket;
        socket.Create(SOCK_STREAM);
        ::close(socket.Handle());
        const CSocketException e = Thrown([&] { socket.Close(); });
        QCOMPARE(QByteArray(e.Operation()), QByteArray("Close"));
        QCOMPARE(e.Error(), EBADF);
        QCOMPARE(socket.Handle(), CMySocket::kNoSocket);
        socket.Close();
    }

    void sendingToAResetPeerFailsWithoutASignal() {
        LoopbackServer resetting({.bReset = true});
        CMySocket socket;
        ConnectTo(socket, resetting.Port());
        const QByteArray block(4096, 'z');
        const CSocketException e = Thrown([&] {
            for (int i = 0; i < 200; ++i) {
                socket.Write(block.constData(), static_cast<int>(block.size()), 1);
                QTest::qWait(5);
            }
        });
        QCOMPARE(QByteArray(e.Operation()), QByteArray("Send"));
        QVERIFY2(e.Error() == EPIPE || e.Error() == ECONNRESET, QByteArray::number(e.Error()));
    }

    void descriptorsAbove1023Work() {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        if (limit.rlim_cur < 2100) {
            limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 2100);
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        if (limit.rlim_cur < 2100) {
            QSKIP("the descriptor limit is below 2100");
        }
        LoopbackServer server({.chunks = {"hello"}});
        CMySocket low;
        ConnectTo(low, server.Port());
        low.Write("\r\n\r\n", 4, 1);
        CMySocket high;
        high.Attach(::fcntl(low.Handle(), F_DUPFD_CLOEXEC, 2000));
        QVERIFY(high.Handle() >= 2000);
        char buffer[16] = {};
        QCOMPARE(high.Receive(buffer, sizeof buffer, 5), 5);
        QCOMPARE(QByteArray(buffer), QByteArray("hello"));
    }

    void namesResolveWithoutTheNetwork() {
        const sockaddr_in numeric = CMySocket::GetHostByName("127.0.0.1", 8080);
        QCOMPARE(numeric.sin_family, sa_family_t(AF_INET));
        QCOMPARE(ntohs(numeric.sin_port), 8080);
        QCOMPARE(ntohl(numeric.sin_addr.s_addr), INADDR_LOOPBACK);
        QCOMPARE(ntohl(CMySocket::GetHostByName("localhost", 80).sin_addr.s_addr), INADDR_LOOPBACK);
        QCOMPARE(QByteArray(CMySocket::GetHostByAddr(numeric).c_str()), QByteArray("localhost"));
        // An empty label makes the name invalid, so it fails without asking a name server.
        const CSocketException e = Thrown([] { CMySocket::GetHostByName("no-such-host..invalid", 80); });
        QCOMPARE(QByteArray(e.Operation()), QByteArray("GetHostByName"));
    }

    void elapsedMs_data() {
        QTest::addColumn<SystemTime>("a");
        QTest::addColumn<SystemTime>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("same day") << SystemTime{2026, 12, 7, 1, 2, 3, 4}
                                  << SystemTime{2026, 12, 7, 2, 3, 4, 5} << 3661001;
        QTest::newRow("across midnight")
            << SystemTime{2026, 12, 7, 23, 59, 59, 900} << SystemTime{2026, 12, 8, 0, 0, 0, 100} << 0;
        QTest::newRow("other month") << SystemTime{2026, 11, 7, 1, 0, 0, 0}
                                     << SystemTime{2026, 12, 7, 1, 0, 0, 5} << 0;
        QTest::newRow("other year") << SystemTime{2025, 12, 7, 1, 0, 0, 0}
                                    << SystemTime{2026, 12, 7, 1, 0, 0, 5} << 0;
    }
    void elapsedMs() {
        QFETCH(SystemTime, a);
        QFETCH(SystemTime, b);
        QFETCH(int, expected);
        QCOMPARE(ElapsedMs(a, b), expected);
    }
};

int RunSocketTests(int argc, char** argv) {
    TestSocket test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_socket.moc"
