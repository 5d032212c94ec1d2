#include "platform/InstanceGuard.h"

#include <QDir>
#include <QFileInfo>
#include <iterator>
#include <string>
#include <windows.h>

// A file opened for this process alone: while it is open no other process can open it, and Windows
// closes it, and deletes it, when the process ends however it ends. Process ids are not compared, so a
// reused id (a restart, or wine) never makes a dead board's lock look alive.
struct InstanceGuard::Lock {
    explicit Lock(QString name) : path(std::move(name)) {}
    ~Lock() {
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    QString path;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

InstanceGuard::InstanceGuard(const QString& profileLocation)
    : m_lock(std::make_unique<Lock>(LockFileFor(profileLocation))) {}

InstanceGuard::~InstanceGuard() = default;

InstanceGuard::Result InstanceGuard::TryAcquire() {
    if (m_lock->handle != INVALID_HANDLE_VALUE) {
        return Result::Acquired;
    }
    const std::wstring path = QDir::toNativeSeparators(m_lock->path).toStdWString();
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        m_lock->handle = handle;
        // The owner's id, for a person who looks; the lock is the open file, not its contents.
        const QByteArray id = QByteArray::number(static_cast<qulonglong>(::GetCurrentProcessId())) + '\n';
        DWORD written = 0;
        ::WriteFile(handle, id.constData(), static_cast<DWORD>(id.size()), &written, nullptr);
        return Result::Acquired;
    }
    const DWORD error = ::GetLastError();
    // Access is denied to a file that is being deleted as its owner ends: held a moment longer.
    if (error == ERROR_SHARING_VIOLATION ||
        (error == ERROR_ACCESS_DENIED && QFileInfo::exists(m_lock->path))) {
        return Result::Held;
    }
    wchar_t text[512] = {};
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                     static_cast<DWORD>(std::size(text)), nullptr);
    m_problem =
        QStringLiteral("cannot create %1: %2").arg(m_lock->path, QString::fromWCharArray(text).trimmed());
    return Result::Unavailable;
}
