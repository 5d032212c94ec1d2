// A second process for the profile tests: reads or writes one entry of a profile file.
//   profile_tool read FILE SECTION ENTRY          prints the integer
//   profile_tool readstr FILE SECTION ENTRY       prints the string (UTF-8)
//   profile_tool write FILE SECTION ENTRY VALUE   writes it, prints "written", then waits to be killed
#include "platform/Profile.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "read") == 0) {
        Profile profile(QString::fromLocal8Bit(argv[2]));
        std::printf("%d\n", profile.GetProfileInt(QString::fromLocal8Bit(argv[3]),
                                                  QString::fromLocal8Bit(argv[4]), -1));
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "readstr") == 0) {
        Profile profile(QString::fromLocal8Bit(argv[2]));
        std::printf("%s\n",
                    profile.GetProfileString(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]))
                        .toUtf8()
                        .constData());
        return 0;
    }
    if (argc == 6 && std::strcmp(argv[1], "write") == 0) {
        Profile profile(QString::fromLocal8Bit(argv[2]));
        profile.WriteProfileInt(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]),
                                std::atoi(argv[5]));
        std::printf("written\n");
        std::fflush(stdout);
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
    return 2;
}
