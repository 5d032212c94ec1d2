// Starts a country-code lookup and returns from main while it runs: at once, or once a line arrives
// on standard input ("at-once" / "after-request"). The test that runs it expects a prompt, clean exit.
#include "net/CountryLookup.h"
#include "platform/Profile.h"

#include <QCoreApplication>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        return 2;
    }
    StartCountryLookup(std::make_shared<Profile>(QString::fromLocal8Bit(argv[1])));
    if (std::string(argv[2]) == "after-request") {
        std::string line;
        std::getline(std::cin, line);
    }
    return 0;
}
