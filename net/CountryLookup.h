#pragma once

#include <memory>

class Profile;

// Starts the one-shot country-code lookup and returns at once; nobody waits for it.
//
// A detached worker thread asks the maker's web server (MakerServer(): KELVRA_MAKER_HOST or the
// build default) for the user's country code. The worker shares no memory with the rest of the
// program: it gets its request text, composed here from "Timer"/"RandomID", and reports over a socket
// pair of its own. The profile is touched only on the calling thread: when the worker reports a code
// after a complete status-200 answer, the event loop writes "Timer"/"CountryCode" and then
// "Timer"/"CC" = 1; any failure writes nothing, so the next start tries again.
//
// A build with KELVRA_COUNTRY_LOOKUP off never starts anything here.
//
// Call it on the thread of a running QCoreApplication (the board's window thread); without one,
// nothing is started. The receiving end is a child of the application object.
//
// At shutdown the application has nothing to do. Quitting never waits for the worker: a worker still
// waiting on the network ends with the process, and since it touches no object of the program's,
// no static destructor and no profile can race it. A report that arrives after the event loop has
// stopped is dropped, and the profile is released on the application's thread when the application
// object goes.
void StartCountryLookup(std::shared_ptr<Profile> profile);

// "Options"/"CountryLookup": whether the user lets the board ask at start-up (1, the default, as the board
// always did; 0 never connects). Always false in a build with KELVRA_COUNTRY_LOOKUP off.
bool CountryLookupWanted(const Profile& profile);
