#pragma once

class Profile;

// The board's web-link handlers: each opens one address (WebLinks) in the default browser, silently.
namespace WebPages {

void OpenManualPage();
// Reads the stored country code at every call.
void OpenSponsorPage(const Profile& profile);
// The page of a GoTo/Donate command or a foot button id; false, and nothing opened, for any other id.
bool Open(int id, const Profile& profile);

} // namespace WebPages
