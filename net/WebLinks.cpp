#include "net/WebLinks.h"

#include "net/ServerAddress.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/resource.h"

namespace {

QString Address(const ServerAddress& server, const char* pathAndQuery) {
    return QStringLiteral("http://") + QString::fromStdString(server.Authority()) +
           QLatin1String(pathAndQuery);
}

} // namespace

namespace WebLinks {

QString ManualAddress() {
    return Address(MakerServer(), "/Kelvra/manual.php");
}

QString ProductSiteAddress() {
    return Address(MakerServer(), "/Kelvra/index.php");
}

QString DonationAddress() {
    return Address(MakerServer(), "/Kelvra/donate.php");
}

QString MakerSponsorAddress() {
    return Address(MakerServer(), "/Kelvra/sponsor.php");
}

QString SalesLogAddress() {
    return Address(SponsorServer(), "/saleslog.php?coupon=&userid=52204&from=Kelvra");
}

QString ArticleAddress() {
    return Address(ArticlesServer(),
                   "/Self_Improvement_and_Motivation/time_management_tips_for_solo__7698.html");
}

QString SponsorAddress(const Profile& profile) {
    const QString code = profile.GetProfileString(ProfileLayout::kTimer, ProfileLayout::kCountryCode);
    return code == QLatin1String("US") ? SalesLogAddress() : MakerSponsorAddress();
}

QString AddressFor(int id, const Profile& profile) {
    switch (id) {
    case ID_GOTO_SPONSOR:
    case IDC_BUTTON_SPONSOR:
        return SponsorAddress(profile);
    case ID_GOTO_MANUAL:
    case IDC_BUTTON_MANUAL:
        return ManualAddress();
    case ID_GOTO_SITE:
        return ProductSiteAddress();
    case ID_GOTO_ARTICLES:
        return ArticleAddress();
    case ID_DONATE:
        return DonationAddress();
    default:
        return {};
    }
}

} // namespace WebLinks
