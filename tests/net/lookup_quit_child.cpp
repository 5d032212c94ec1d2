// Starts a country-code lookup and returns from main while it runs, once a line arrives on standard
// input. The test that runs it expects a prompt, clean exit.
#include "net/CountryLookup.h"
#include "platform/Profile.h"

#include <QCoreApplication>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        return 2;
    }
    StartCountryLookup(std::make_shared<Profile>(QString::fromLocal8Bit(argv[1])));
    std::string line;
    std::getline(std::cin, line);
    return 0;
}
