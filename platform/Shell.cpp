#include "platform/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace Shell {

void OpenAddress(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

} // namespace Shell
