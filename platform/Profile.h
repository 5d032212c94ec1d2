#pragma once

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <memory>
#include <mutex>

class QSettings;

// The user's profile: named integers and strings in sections, kept in the platform's native settings
// store (registry below Software\Kelvra\Kelvra on Windows, an INI file on Linux, a plist on macOS), or
// in an INI file named explicitly.
//
// Each operation is safe from any thread. A write returns only when the value is on disk, the folder
// entry included. Bad content never throws: a missing or malformed integer reads as the default, an
// unreadable or corrupt file reads as empty, and a write that cannot be stored fails quietly.
class Profile final {
public:
    enum class Access { ReadWrite, ReadOnly };

    // The user's own profile.
    explicit Profile(Access access = Access::ReadWrite);
    // An explicit INI file (command line, tests).
    explicit Profile(const QString& fileName, Access access = Access::ReadWrite);
    ~Profile();
    Q_DISABLE_COPY_MOVE(Profile)

    int GetProfileInt(const QString& section, const QString& entry, int defaultValue) const;
    QString GetProfileString(const QString& section, const QString& entry,
                             const QString& defaultValue = {}) const;
    bool WriteProfileInt(const QString& section, const QString& entry, int value);
    bool WriteProfileString(const QString& section, const QString& entry, const QString& value);

    // Where the values live: a file path, or the registry key on Windows.
    QString Location() const;

    // Reads served since construction; the one-second tick must not add to it.
    quint64 ReadCount() const { return m_nReads.load(std::memory_order_relaxed); }

private:
    std::unique_ptr<QSettings> MakeSettings() const;
    void Open();
    bool Commit();

    const QString m_fileName; // empty: the platform's own store
    const Access m_access;
    mutable std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    bool m_bWritable = true;       // false when read-only, or when a file we could not read must be kept
    bool m_bIgnoreContent = false; // a damaged file opened read-only reads as empty
    mutable std::atomic<quint64> m_nReads{0};
};
