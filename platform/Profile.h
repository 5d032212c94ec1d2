#pragma once

#include <QString>
#include <QVariantMap>
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
// entry included. Bad content never throws: a missing or malformed integer reads as the default, lines
// of the file that cannot be read are skipped (a copy of the original is kept beside it before it is
// first rewritten), a file with nothing readable in it reads as empty and is moved aside, an unreadable
// file reads as empty and is never written. A write that cannot be stored returns false and is told by
// SaveProblem(); reads still give every value written in this session, and each later write tries again.
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

    // Empty while the most recent write was stored; otherwise one line, "cannot save to FILE: REASON".
    // Set from the start when writes are refused for the whole session (an unreadable file, a damaged
    // file that could not be moved aside). Not a read: ReadCount() stays as it is.
    QString SaveProblem() const;
    // Whether SaveProblem() is not empty, without taking the lock: cheap enough for every tick.
    bool SavesFail() const { return m_bSavesFail.load(std::memory_order_relaxed); }
    // Empty when the profile was read normally (a missing file is a first run when opened for writing);
    // otherwise "FILE: REASON": no such file (read-only opens), a directory, unreadable, damaged.
    QString ReadProblem() const;
    // Copies the profile file to "FILE.TAG-<UTC yyyyMMdd-HHmmss>-N" (the first N that names no file) and
    // syncs it. Returns the copy's path; empty when there is no file to copy or the copy failed.
    QString KeepCopy(const QString& tag);

private:
    std::unique_ptr<QSettings> MakeSettings() const;
    void Open();
    void Salvage(const QString& target);
    void Refuse(const QString& reason);
    QVariant Value(const QString& key) const;
    bool Store(const QString& key, const QVariant& value);
    QString Save();
    QString SaveNative();
    QString CopyAside(const QString& tag, QString& reason) const;

    const QString m_fileName; // empty: the platform's own store
    const Access m_access;
    mutable std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    QString m_refusal;             // why no write may touch the file this session; empty: writes go ahead
    bool m_bIgnoreContent = false; // a file with nothing readable in it that is still in place
    QVariantMap m_unsaved;         // written this session and not yet on disk
    bool m_bSalvaged = false;      // the file has lines QSettings cannot read: reads come from m_salvaged
    QVariantMap m_salvaged;        // the entries of its readable lines
    QByteArray m_cleaned;          // those lines, written back before the first write
    bool m_bKeepOriginal = false;  // some lines were dropped: a copy of the original must be kept first
    QString m_originalCopy;        // that copy, once made
    QString m_saveProblem;
    std::atomic<bool> m_bSavesFail{false}; // mirrors !m_saveProblem.isEmpty()
    QString m_readProblem;
    mutable std::atomic<quint64> m_nReads{0};
};
