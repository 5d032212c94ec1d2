#include "platform/NativeStore.h"

#include <windows.h>

// The profile's key (QSettings' native place for Kelvra/Kelvra), flushed with RegFlushKey.
QString FlushNativeStore() {
    HKEY key = nullptr;
    LSTATUS status =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kelvra\\Kelvra", 0, KEY_QUERY_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = ::RegFlushKey(key);
        ::RegCloseKey(key);
    }
    return status == ERROR_SUCCESS
               ? QString()
               : QStringLiteral("the registry did not take the values (error %1)").arg(status);
}
