#include "net/CountryLookup.h"

#include "net/CountryRequest.h"
#include "net/UniqueFd.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/config.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <string>
#include <sys/socket.h>
#include <thread>

namespace {

// What the worker takes with it; nothing in it is shared.
struct LookupJob {
    ServerAddress server;
    CountryRequestText request{};
    UniqueFd report;
};

// The worker's entry. The code, if any, goes down the report socket, then the socket closes: the end
// of the stream tells the receiver that the lookup is over.
void CountryLookupThread(LookupJob job) {
    try {
        if (const auto code = FetchCountryCode(job.server, job.request.data())) {
            // MSG_NOSIGNAL: the receiver may be gone already when the program is quitting.
            [[maybe_unused]] const ssize_t sent =
                ::send(job.report.Get(), code->data(), code->size(), MSG_NOSIGNAL);
        }
    } catch (...) {
        // Out of memory and the like: the lookup ends without a result, as any failure does.
    }
}

// The application-thread end of one lookup: collects the worker's report and applies it to the
// profile, then deletes itself.
class LookupReceiver final : public QObject {
public:
    LookupReceiver(std::shared_ptr<Profile> profile, UniqueFd report, QObject* parent)
        : QObject(parent), m_pProfile(std::move(profile)), m_report(std::move(report)),
          m_notifier(m_report.Get(), QSocketNotifier::Read) {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    }

private:
    void OnReadable() {
        for (;;) {
            char chunk[16];
            const ssize_t received = ::recv(m_report.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
            if (received > 0) {
                // A code is at most two characters; anything beyond cannot come from the worker.
                m_strCode.append(chunk, static_cast<size_t>(received));
                continue;
            }
            if (received < 0 && errno == EINTR) {
                continue;
            }
            if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            }
            break;
        }
        m_notifier.setEnabled(false);
        if (!m_strCode.empty() && m_strCode.size() <= 2) {
            // Bytes as received, one character each.
            m_pProfile->WriteProfileString(
                ProfileLayout::kTimer, ProfileLayout::kCountryCode,
                QString::fromLatin1(m_strCode.data(), static_cast<qsizetype>(m_strCode.size())));
            m_pProfile->WriteProfileInt(ProfileLayout::kTimer, ProfileLayout::kCc, 1);
        }
        deleteLater();
    }

    std::shared_ptr<Profile> m_pProfile;
    UniqueFd m_report;
    QSocketNotifier m_notifier;
    std::string m_strCode;
};

} // namespace

bool CountryLookupWanted(const Profile& profile) {
    return KELVRA_COUNTRY_LOOKUP != 0 &&
           profile.GetProfileInt(ProfileLayout::kOptions, ProfileLayout::kCountryLookup, 1) != 0;
}

void StartCountryLookup(std::shared_ptr<Profile> profile) {
    // Built without it, nothing is started: no thread, no connection, no code learnt, and the sponsor
    // page stays the default one.
    if constexpr (KELVRA_COUNTRY_LOOKUP == 0) {
        return;
    }
    QCoreApplication* const app = QCoreApplication::instance();
    if (!profile || app == nullptr || QThread::currentThread() != app->thread()) {
        return;
    }
    LookupJob job;
    job.server = MakerServer();
    const auto request = ComposeCountryRequest(
        job.server, profile->GetProfileInt(ProfileLayout::kTimer, ProfileLayout::kRandomId, 0));
    int ends[2];
    if (!request || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return;
    }
    job.request = *request;
    job.report = UniqueFd(ends[1]);
    // Owned by the application object until the report is in.
    new LookupReceiver(std::move(profile), UniqueFd(ends[0]), app);
    try {
        std::thread(CountryLookupThread, std::move(job)).detach();
    } catch (const std::system_error&) {
        // No thread, no lookup this time; the job's end closes and the receiver sees an empty report.
    }
}
