#include "platform/NativeStore.h"

// The profile is a file here, synced as it is written.
QString FlushNativeStore() {
    return {};
}
