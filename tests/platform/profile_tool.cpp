// A second process for the profile tests: in one process all settings objects share a cache, which
// proves nothing about the disk.
//   profile_tool read FILE SECTION ENTRY [SECTION ENTRY]...  prints each entry (UTF-8), one a line
//   profile_tool try FILE SECTION ENTRY VALUE [ENTRY VALUE]  writes it, prints the read problem, 1 or 0 for
//                                                            the write, the save problem, the value read
//                                                            back (then 1 or 0 and the save problem of the
//                                                            second write), and ends at once as a killed
//                                                            board would
#include "platform/Profile.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // lines end in "\n" alone, as on Unix
#endif
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 5 && args.size() % 2 == 1 && args[1] == u"read"_s) {
        const Profile profile(args[2], Profile::Access::ReadOnly);
        for (qsizetype i = 3; i < args.size(); i += 2) {
            std::printf("%s\n", profile.GetProfileString(args[i], args[i + 1]).toUtf8().constData());
        }
        return 0;
    }
    if ((args.size() == 6 || args.size() == 8) && args[1] == u"try"_s) {
        Profile profile(args[2]);
        const bool written = profile.WriteProfileInt(args[3], args[4], args[5].toInt());
        std::printf("%s\n%d\n%s\n%d\n", profile.ReadProblem().toUtf8().constData(), written ? 1 : 0,
                    profile.SaveProblem().toUtf8().constData(), profile.GetProfileInt(args[3], args[4], -1));
        if (args.size() == 8) {
            const bool again = profile.WriteProfileInt(args[3], args[6], args[7].toInt());
            std::printf("%d\n%s\n", again ? 1 : 0, profile.SaveProblem().toUtf8().constData());
        }
        std::fflush(stdout);
        std::_Exit(0); // no destructor runs, as after a kill: what is on disk now is all there is
    }
    return 2;
}
