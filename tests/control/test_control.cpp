#include "control/CommandReply.h"
#include "control/ControlChannel.h"
#include "control/ControlMessage.h"
#include "control/ControlServer.h"
#include "control/ControlSocket.h"
#include "control/Sha256.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cstring>
#include <ctime>
#include <future>
#include <limits>
#include <vector>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using namespace ControlMessage;
using namespace std::string_literals;
using Verb = Request::Verb;

namespace {

// Asks as a command does, from a thread of its own, while this one serves the board's end.
ControlChannel::Answer AskServed(const QString& profile, const Request& request) {
    auto asked = std::async(std::launch::async,
                            [&] { return ControlChannel::Ask(profile, request, CommandReply::kTimeoutMs); });
    while (asked.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return asked.get();
}

#ifndef _WIN32
// A client's end, connected without waiting; the board's reply is read once it is there.
ControlSocket::Descriptor Connect(const QString& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ControlSocket::Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return {};
    }
    return socket;
}

bool Send(const ControlSocket::Descriptor& socket, std::string_view bytes) {
    return ::send(socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

// The reply, once the server has closed the connection; empty when it has not within `ms`.
std::string ReplyTo(const ControlSocket::Descriptor& socket, int ms = 3000) {
    std::string reply;
    char buffer[256];
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const ssize_t n = ::recv(socket.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) {
            return reply;
        }
        if (n > 0) {
            reply.append(buffer, static_cast<size_t>(n));
        }
    }
    return {};
}

double CpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
#endif

} // namespace

// What the control messages' parsers take and refuse, byte for byte; the fuzzer checks that they never
// crash and that what they take is written back the same.
class TestControl : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requests() {
        const std::string name = "Caf\xc3\xa9 %\nnul\0x"s;
        const std::string escaped = "kelvra/1 start-name Caf%C3%A9%20%25%0Anul%00x\n";
        QCOMPARE(Encode(Request{Verb::StartName, 0, name}), escaped);
        const std::string longest = "kelvra/1 start-name " + std::string(kMaxRequestBytes - 21, 'a') + "\n";
        const std::string token(kMaxTokenBytes, 't');
        const struct {
            std::string bytes;
            std::optional<Request> request;
            std::string error; // contained in the refusal
        } rows[] = {
            {"kelvra/1 raise\n", Request{Verb::Raise, 0, {}}, {}},
            {"kelvra/1 raise 4357%25ab\n", Request{Verb::Raise, 0, {}, 0, 0, {}, "4357%ab"}, {}},
            {"kelvra/1 raise " + token + "\n", Request{Verb::Raise, 0, {}, 0, 0, {}, token}, {}},
            {"kelvra/1 raise " + token + "t\n", {}, "wrong arguments"},
            {"kelvra/1 raise \n", {}, "wrong arguments"},
            {"kelvra/1 raise a%20b\n", {}, "wrong arguments"}, // a token is printable without a space
            {"kelvra/1 start 10\n", Request{Verb::Start, 10, {}}, {}},
            {"kelvra/1 start-name Caf%c3%a9%20%25%0anul%00x\n", Request{Verb::StartName, 0, name}, {}},
            {"kelvra/1 start-name \n", Request{Verb::StartName, 0, {}}, {}},
            {longest, Request{Verb::StartName, 0, std::string(kMaxRequestBytes - 21, 'a')}, {}},
            {longest.substr(0, 20) + "a" + longest.substr(20), {}, "too long"},
            {"kelvra/1 start 0\n", {}, "wrong arguments"},
            {"kelvra/1 start 03\n", {}, "wrong arguments"},
            {"kelvra/1 start 11\n", {}, "wrong arguments"},
            {"kelvra/1 start\n", {}, "wrong arguments"},
            {"kelvra/1 stop now\n", {}, "wrong arguments"},
            {"kelvra/1 start-name %ED%A0%80\n", {}, "wrong arguments"}, // a surrogate is no UTF-8
            {"kelvra/1 start-name %C0%80\n", {}, "wrong arguments"},    // nor an overlong NUL
            {"kelvra/1 start-name a%4\n", {}, "wrong arguments"},
            {"kelvra/1 start-name caf\xc3\xa9\n", {}, "outside printable ASCII"}, // not escaped
            {"kelvra/1 status\nkelvra/1 stop\n", {}, "outside printable ASCII"},
            {"kelvra/1 status", {}, "line break"},
            {"kelvra/1  status\n", {}, "unknown request"},
            {"kelvra/2 status\n", {}, "unsupported version"},
            {"GET / HTTP/1.1\n", {}, "not a Kelvra message"},
            {"kelvra/1\n", {}, "names no request"},
            {"kelvra/1 track 100 200 0 Caf%c3%a9 a%0ab\n",
             Request{Verb::Track, 0, "Caf\xc3\xa9", 100, 200, "a\nb"},
             {}},
            {"kelvra/1 note \n", Request{Verb::Note, 0, {}, 0, 0, {}}, {}},
            {"kelvra/1 track\n", {}, "wrong arguments"}, // found by the fuzzer
            {"kelvra/1 track 100 200 11 x y\n", {}, "wrong arguments"},
            {"kelvra/1 track 100 200 1 x\n", {}, "wrong arguments"},
        };
        for (const auto& row : rows) {
            const Parsed<Request> parsed = ParseRequest(row.bytes);
            QVERIFY2(parsed.message == row.request && parsed.error.find(row.error) != std::string::npos,
                     row.bytes.c_str());
        }
    }

    void replies() {
        constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
        // Built a member at a time, as the program builds them: GCC 12 at -O3 warns of a braced State.
        const auto state = [](ControlMessage::State fields) {
            Reply reply;
            reply.kind = Reply::Kind::State;
            reply.state = std::move(fields);
            return reply;
        };
        const struct {
            std::string bytes;
            std::optional<Reply> reply;
        } rows[] = {
            {"kelvra/1 state 3 -5 1765000042 -2147483648 \n", state({3, -5, 1765000042, kLowest, {}})},
            {"kelvra/1 state 0 0 1765000042 0 \n", state({0, 0, 1765000042, 0, {}})}, // stopped
            {"kelvra/1 ambiguous 2 Mail 3 Mail%20ing\n",
             ControlMessage::Candidates(Reply::Kind::Ambiguous, {{2, "Mail"}, {3, "Mail ing"}})},
            {"kelvra/1 unknown\n", ControlMessage::Candidates(Reply::Kind::Unknown, {})},
            {"kelvra/1 error busy\n", ControlMessage::Refusal("busy")},
            {"kelvra/1 state 0 5 6 0  42 -1 logind\n",
             state({0, 5, 6, 0, {}, ControlMessage::Presence{42, -1, "logind"}})},
            {"kelvra/1 invalid it%20would%20overlap\n",
             ControlMessage::Refusal("it would overlap", Reply::Kind::Invalid)},
            {"kelvra/1 state 0 5 6 0  42 -1\n", {}}, // a presence is whole or not there
            {"kelvra/1 state 0 5 6 0  x -1 logind\n", {}},
            {"kelvra/1 state 11 0 0 0 x\n", {}},
            {"kelvra/1 state 1 0 0 9223372036854775808 x\n", {}},
            {"kelvra/1 state 1 0 0 -2147483649 x\n", {}},
            {"kelvra/1 state 1 -1099511627777 0 0 x\n", {}},
            {"kelvra/1 state 1 0 0 -0 x\n", {}},
            {"kelvra/1 state 1 0 0 0\n", {}},
            {"kelvra/1 unknown 0 x\n", {}},
            {"kelvra/1 unknown 1\n", {}},
            {"kelvra/1 error a b\n", {}},
            {"kelvra/1 raise\n", {}},
        };
        for (const auto& row : rows) {
            const Parsed<Reply> parsed = ParseReply(row.bytes);
            QVERIFY2(parsed.message == row.reply && parsed.message.has_value() == parsed.error.empty(),
                     row.bytes.c_str());
        }
    }

    // A command's request reaches the board of its profile, and its reply comes back; the board of
    // another profile is not there. Over a socket on Unix, a named pipe on Windows.
    void askedOverTheChannel() {
        QTemporaryDir runtime; // 0700
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString profile = runtime.filePath(QStringLiteral("Caf\u00e9 \u6642\u9593.conf"));
        QString problem;
        const QString name = ControlChannel::ServerName(profile, true, problem);
        QVERIFY2(!name.isEmpty(), qPrintable(problem));
        Reply running;
        running.kind = Reply::Kind::State;
        running.state.row = 3;
        running.state.seconds = 3725;
        running.state.name = "\xe6\x99\x82\xe9\x96\x93 %";
        std::vector<Request> asked;
        ControlServer server([&asked, &running](const Request& request) {
            asked.push_back(request);
            return ControlServer::Response{running};
        });
        QVERIFY2(server.Listen(name, false), qPrintable(server.Problem()));
        const Request start{Verb::StartName, 0, "\xe6\x99\x82\xe9\x96\x93 %"};
        const ControlChannel::Answer answer = AskServed(profile, start);
        QVERIFY2(answer.outcome == ControlChannel::Answer::Outcome::Replied, answer.problem.c_str());
        QVERIFY(answer.reply == running);
        QCOMPARE(asked, std::vector<Request>{start});
        const ControlChannel::Answer elsewhere = AskServed(profile + QStringLiteral(".other"), start);
        QVERIFY2(elsewhere.outcome == ControlChannel::Answer::Outcome::NoBoard, elsewhere.problem.c_str());
        QCOMPARE(asked.size(), size_t(1));
        qunsetenv("XDG_RUNTIME_DIR");
    }

    // The socket's folder is made 0700 in the runtime folder, and one that others may enter is never
    // used; every path to one profile names one socket.
    void socketFolder() {
#ifdef _WIN32
        QSKIP("a pipe, open to the user alone, has no folder");
#else
        QTemporaryDir runtime; // 0700
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString profile = runtime.filePath(QStringLiteral("Kelvra.conf"));
        QString problem;
        QVERIFY(ControlChannel::ServerName(profile, false, problem).isEmpty() && problem.isEmpty());
        const QString name = ControlChannel::ServerName(profile, true, problem);
        const QString folder = runtime.filePath(QStringLiteral("kelvra"));
        struct stat info {};
        QVERIFY(QFileInfo(name).path() == folder &&
                ::stat(QFile::encodeName(folder).constData(), &info) == 0 && (info.st_mode & 07777) == 0700);
        QVERIFY(QFile(profile).open(QIODevice::WriteOnly) &&
                QFile::link(profile, profile + QStringLiteral(".link")));
        QCOMPARE(ControlChannel::ServerName(profile + QStringLiteral(".link"), false, problem), name);
        // Each refusal says why.
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0750) == 0);
        QVERIFY(ControlChannel::ServerName(profile, true, problem).isEmpty());
        QVERIFY2(problem.contains(QStringLiteral("has mode 0750, open to others")), qPrintable(problem));
        QVERIFY(QDir(folder).removeRecursively() && QFile::link(runtime.path(), folder));
        QVERIFY(ControlChannel::ServerName(profile, true, problem).isEmpty());
        QVERIFY2(problem.contains(QStringLiteral("is a symbolic link")), qPrintable(problem));
#endif
    }
    // The board's listener under clients that trickle, half-close, or come while the process has no
    // descriptor left: each gets its one reply, and running out of descriptors does not spin the loop.
    void serverUnderStrain() {
#ifdef _WIN32
        QSKIP("descriptor limits and half-closed sockets are Unix's");
#else
        QTemporaryDir folder;
        const QString name = folder.filePath(QStringLiteral("board"));
        int handled = 0;
        ControlServer server([&handled](const Request& request) {
            ++handled;
            return ControlServer::Response{Refusal(request.verb == Verb::Stop ? "stopped" : "other")};
        });
        QVERIFY2(server.Listen(name, false), qPrintable(server.Problem()));
        const std::string stopped = "kelvra/1 error stopped\n";
        {
            const ControlSocket::Descriptor trickle = Connect(name);
            for (const char byte : std::string_view("kelvra/1 stop\n")) {
                QVERIFY(Send(trickle, std::string_view(&byte, 1)));
                QTest::qWait(5);
            }
            QCOMPARE(ReplyTo(trickle), stopped);
            const ControlSocket::Descriptor halfClosed = Connect(name);
            QVERIFY(Send(halfClosed, "kelvra/1 stop\n") && ::shutdown(halfClosed.Get(), SHUT_WR) == 0);
            QCOMPARE(ReplyTo(halfClosed), stopped);
            const ControlSocket::Descriptor gone = Connect(name);
            QVERIFY(Send(gone, "kelvra/1 sto"));
        } // gone before the end of its request: nothing reaches the handler
        QTest::qWait(50);
        QCOMPARE(handled, 2);

        // Every descriptor taken while a client waits to be accepted.
        const ControlSocket::Descriptor waiting = Connect(name);
        QVERIFY(waiting.Get() >= 0 && Send(waiting, "kelvra/1 stop\n"));
        rlimit limit{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &limit) == 0);
        const rlimit lowered{static_cast<rlim_t>(waiting.Get()) + 64, limit.rlim_max};
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &lowered) == 0);
        std::vector<ControlSocket::Descriptor> filler;
        for (int fd = 0; (fd = ::dup(waiting.Get())) >= 0;) {
            filler.emplace_back(fd);
        }
        const double cpu = CpuSeconds();
        QTest::qWait(600);
        const double spent = CpuSeconds() - cpu;
        QVERIFY2(spent < 0.3, qPrintable(QString::number(spent)));
        QCOMPARE(handled, 2);
        filler.clear();
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &limit) == 0);
        QCOMPARE(ReplyTo(waiting), stopped);
        QCOMPARE(handled, 3);
#endif
    }

    // What the commands print, written without Qt: the hash that names a board's socket at every length
    // around a block's end, and --status's text and JSON, names and zone offsets included.
    void plainPieces() {
#ifndef _WIN32 // a pipe's name is hashed with Qt's own
        for (const int length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1000}) {
            const QByteArray data(length, 'k');
            QCOMPARE(QByteArray::fromStdString(Sha256Hex(data.toStdString())),
                     QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
        }
#endif
        qputenv("TZ", "XYZ-2");
        ::tzset();
        State state{3,    1'000'000'000 - 90,       1'000'000'000,
                    3725, "Say \"hi\"\t\x01\u00e9", Presence{125, 1'000'000'000, "x11-sync"}};
        using CommandReply::Form;
        QCOMPARE(
            CommandReply::Status(state, Form::Text),
            "Say \"hi\"\t\x01\u00e9 \u2013 1:02:05\nNo input for 0:02:05 (x11-sync)\nAway since 03:46, not answered yet\n"s);
        const QJsonObject json =
            QJsonDocument::fromJson(QByteArray::fromStdString(CommandReply::Status(state, Form::Json)))
                .object();
        QCOMPARE(json.keys(), (QStringList{"away_since", "idle_seconds", "idle_source", "name",
                                           "period_seconds", "row", "running", "seconds", "time"}));
        QCOMPARE(json["name"].toString(),
                 QString::fromUtf8(state.name.c_str(), qsizetype(state.name.size())));
        QCOMPARE(json["away_since"].toString(), "2001-09-09T03:46:40+02:00");
        QCOMPARE(json["period_seconds"].toInt(), 90);
        QCOMPARE(json["time"].toString(), "1:02:05");
        QCOMPARE(json["running"].toBool(), true);
        const QJsonObject stopped =
            QJsonDocument::fromJson(QByteArray::fromStdString(CommandReply::Status(State{}, Form::Json)))
                .object();
        QVERIFY(stopped["away_since"].isNull() && stopped["idle_source"].isNull() &&
                !stopped["running"].toBool());
        QCOMPARE(CommandReply::Status(State{}, Form::Text), "Stopped\n"s);
        qunsetenv("TZ");
        ::tzset();
    }
};

QTEST_GUILESS_MAIN(TestControl)
#include "test_control.moc"
