// A second process for the profile tests: in one process all settings objects share a cache, which
// proves nothing about the disk.
//   profile_tool read FILE SECTION ENTRY [SECTION ENTRY]...  prints each entry (UTF-8), one a line
//   profile_tool write FILE SECTION ENTRY VALUE              writes it, prints "written", waits to be killed
#include "platform/Profile.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 5 && args.size() % 2 == 1 && args[1] == u"read"_s) {
        const Profile profile(args[2], Profile::Access::ReadOnly);
        for (qsizetype i = 3; i < args.size(); i += 2) {
            std::printf("%s\n", profile.GetProfileString(args[i], args[i + 1]).toUtf8().constData());
        }
        return 0;
    }
    if (args.size() == 6 && args[1] == u"write"_s) {
        Profile profile(args[2]);
        profile.WriteProfileInt(args[3], args[4], args[5].toInt());
        std::printf("written\n");
        std::fflush(stdout);
        for (;;) {
            ::pause();
        }
    }
    return 2;
}
