#include "net/CountryLookup.h"

#include "net/CountryRequest.h"
#include "net/ReportPipe.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/config.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <string>
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
            ReportPipe::Write(job.report, *code);
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
        // A code is at most two characters; anything beyond cannot come from the worker.
        if (ReportPipe::ReadAvailable(m_report, m_strCode)) {
            return;
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
    UniqueFd receiver;
    if (!request || !ReportPipe::Open(receiver, job.report)) {
        return;
    }
    job.request = *request;
    // Owned by the application object until the report is in.
    new LookupReceiver(std::move(profile), std::move(receiver), app);
    try {
        std::thread(CountryLookupThread, std::move(job)).detach();
    } catch (const std::system_error&) {
        // No thread, no lookup this time; the job's end closes and the receiver sees an empty report.
    }
}
