#include "away/SuspendWatch.h"

#include <windows.h>

// The interrupt time counts a suspend, its unbiased twin does not (both in 100 ns). QueryInterruptTime
// (Windows 10) is looked up, as the import libraries at hand lack it; without it GetTickCount64, which
// also counts a suspend, to a few milliseconds.
std::unique_ptr<SuspendWatch> SuspendWatch::ForThisSystem() {
    using Query = VOID(WINAPI*)(PULONGLONG);
    Query interruptTime = nullptr;
    if (const HMODULE kernel = ::GetModuleHandleW(L"kernelbase.dll")) {
        interruptTime =
            reinterpret_cast<Query>(reinterpret_cast<void*>(::GetProcAddress(kernel, "QueryInterruptTime")));
    }
    const auto awake = [] {
        ULONGLONG t = 0;
        ::QueryUnbiasedInterruptTime(&t);
        return static_cast<qint64>(t) * 100;
    };
    if (interruptTime != nullptr) {
        return std::make_unique<ClockPairSuspendWatch>(awake, [interruptTime] {
            ULONGLONG t = 0;
            interruptTime(&t);
            return static_cast<qint64>(t) * 100;
        });
    }
    return std::make_unique<ClockPairSuspendWatch>(
        awake, [] { return static_cast<qint64>(::GetTickCount64()) * 1'000'000; });
}
