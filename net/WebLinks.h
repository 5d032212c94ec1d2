#pragma once

#include <QString>

class Profile;

// The addresses of the web pages that the GoTo and Donate commands and the two foot buttons open.
// Pages on the maker's server follow MakerServer() (the KELVRA_MAKER_HOST override included), read
// at every call.
namespace WebLinks {

QString ManualAddress();
QString ProductSiteAddress();
QString DonationAddress();
QString MakerSponsorAddress();
QString SalesLogAddress();
QString ArticleAddress();

// The sales-log page for the stored country code "US" exactly (case and length as well), the maker's
// sponsor page for any other code or none. "Timer"/"CountryCode" is read at every call, so a code the
// lookup stores meanwhile counts from the next click.
QString SponsorAddress(const Profile& profile);

// The page a command or button id opens: ID_GOTO_SPONSOR and IDC_BUTTON_SPONSOR, ID_GOTO_MANUAL and
// IDC_BUTTON_MANUAL, ID_GOTO_SITE, ID_GOTO_ARTICLES, ID_DONATE. Empty for any other id.
QString AddressFor(int id, const Profile& profile);

} // namespace WebLinks
