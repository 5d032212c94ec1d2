#include "net/WebPages.h"

#include "net/WebLinks.h"
#include "platform/Shell.h"

namespace WebPages {

void OpenManualPage() {
    Shell::OpenAddress(WebLinks::ManualAddress());
}

void OpenSponsorPage(const Profile& profile) {
    Shell::OpenAddress(WebLinks::SponsorAddress(profile));
}

bool Open(int id, const Profile& profile) {
    const QString address = WebLinks::AddressFor(id, profile);
    if (address.isEmpty()) {
        return false;
    }
    Shell::OpenAddress(address);
    return true;
}

} // namespace WebPages
