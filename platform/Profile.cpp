#include "platform/Profile.h"

#include "platform/NativeStore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Where the store is an INI file we can read line by line ourselves.
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
constexpr bool kNativeIsIni = false;
#else
constexpr bool kNativeIsIni = true;
#endif

QString Key(const QString& section, const QString& entry) {
    return section + QLatin1Char('/') + entry;
}

// The file a write really replaces: QSaveFile follows symbolic links the same way.
QString Target(const QString& fileName) {
    QFileInfo info(fileName);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth) {
        info.setFile(info.symLinkTarget());
    }
    return info.absoluteFilePath();
}

bool NamesAFile(const QString& name) {
    const QFileInfo info(name);
    return info.exists() || info.isSymLink();
}

QString Stamp() {
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

// QSettings renames its temporary file over the old one but leaves the folder entry unsynced; without
// this a power loss right after a write can bring the old file back. Why the entry may not be on the
// disk, or empty.
QString SyncFolder(const QString& fileName);

// QSettings (Qt 6.4) goes on when syncing its new file fails; a sync of ours sees the error, which the
// system keeps for the next sync of the file. Why the file may not be on the disk, or empty.
QString SyncData(const QString& fileName);

#ifdef Q_OS_UNIX
QString ErrnoText(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("no space left on the device");
    case EROFS:
        return QStringLiteral("read-only file system");
    case EACCES:
        return QStringLiteral("permission denied");
    case EISDIR:
        return QStringLiteral("is a directory");
    case ENOTDIR:
        return QStringLiteral("not a directory");
    case ENOENT:
        return QStringLiteral("no such file or directory");
    default:
        return QString::fromLocal8Bit(std::strerror(err)).toLower();
    }
}

// Synced through a descriptor opened with `flags`; EINVAL: a file system that does not sync.
QString Sync(const QString& name, int flags, int (*sync)(int)) {
    const int fd = ::open(QFile::encodeName(name).constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return ErrnoText(errno);
    }
    const int err = sync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err == 0 || err == EINVAL ? QString() : ErrnoText(err);
}

QString SyncFolder(const QString& fileName) {
    return Sync(QFileInfo(fileName).absolutePath(), O_RDONLY | O_DIRECTORY, ::fsync);
}

QString SyncData(const QString& fileName) {
    return Sync(fileName, O_RDONLY, ::fdatasync);
}
#else
QString SyncFolder(const QString&) {
    return {};
}

QString SyncData(const QString&) {
    return {};
}

#endif

QString WhyNotRead(const QString& target) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return ErrnoText(errno);
    }
    ::close(fd);
#else
    Q_UNUSED(target);
#endif
    return QStringLiteral("it could not be opened");
}

// Whether a file as big as the profile and a lock file (with room to grow) can be made in `folder`
// now: the reason it cannot, or empty, also when this file system cannot tell.
QString FolderProblem(const QString& folder, qint64 fileSize) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int err = errno;
        if (err == EPERM) {
            return QStringLiteral("read-only folder");
        }
        // EOPNOTSUPP, EISDIR, EINVAL: no unnamed files here
        return err == EOPNOTSUPP || err == EISDIR || err == EINVAL ? QString() : ErrnoText(err);
    }
    const int err = ::posix_fallocate(fd, 0, std::max<qint64>(fileSize, 0) + 8192);
    ::close(fd); // the space goes back at once
    if (err != 0 && err != EOPNOTSUPP && err != EINVAL) {
        return ErrnoText(err);
    }
#else
    Q_UNUSED(folder);
    Q_UNUSED(fileSize);
#endif
    return {};
}

// Whether the file holds what QSettings meant to write: it writes one line per key and ends with a line
// break, so a file cut short misses a line or ends inside one.
bool Whole(const QString& target, qsizetype keys) {
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.isEmpty() || !bytes.endsWith('\n')) {
        return false;
    }
    qsizetype lines = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray text = line.trimmed();
        lines += !text.isEmpty() && !text.startsWith('[');
    }
    return lines == keys;
}

// A second name for the file `target` as it is now (a hard link: no room needed), replacing one left
// by a write that was cut off. False when there is no file, or the file system has no hard links.
bool KeepAside(const QString& target, const QString& previous) {
#ifdef Q_OS_UNIX
    const QByteArray from = QFile::encodeName(target);
    const QByteArray to = QFile::encodeName(previous);
    ::unlink(to.constData());
    return ::link(from.constData(), to.constData()) == 0;
#else
    Q_UNUSED(target);
    Q_UNUSED(previous);
    return false;
#endif
}

// After a write that failed: the file as kept aside (or none, when there was none) in place again.
void PutBack(const QString& target, const QString& previous, bool bExisted) {
    if (!previous.isEmpty()) {
        // When the new file never took the old one's place, both names are one file: rename leaves them
        // so, and the second name goes.
        if (std::rename(QFile::encodeName(previous).constData(), QFile::encodeName(target).constData()) ==
            0) {
            QFile::remove(previous);
        }
    } else if (!bExisted) {
        QFile::remove(target);
    }
    SyncFolder(target);
}

// QSettings only says that a write failed. Retrace its steps (the file opened for writing, a lock file
// and a temporary file in the folder, as many bytes as the file needs) to tell the user why.
QString WhyNotWritten(const QString& target) {
    const QFileInfo info(target);
    if (info.isDir()) {
        return QStringLiteral("is a directory");
    }
#ifdef Q_OS_UNIX
    if (info.exists()) {
        const QByteArray path = QFile::encodeName(target);
        int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return QStringLiteral("the file cannot be read (%1)").arg(ErrnoText(errno));
        }
        ::close(fd);
        fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC); // no O_TRUNC: opening changes nothing
        if (fd < 0) {
            const int err = errno;
            const auto writeBits =
                QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
            if (err == EPERM || (err == EACCES && !(info.permissions() & writeBits))) {
                return QStringLiteral("read-only file");
            }
            return ErrnoText(err);
        }
        ::close(fd);
    }
    if (const QString why = FolderProblem(info.absolutePath(), info.size()); !why.isEmpty()) {
        return why;
    }
#endif
    return QStringLiteral("the file could not be written");
}

// A line QSettings can read the way it was meant: UTF-8 text, a section, a comment or key=value.
bool Readable(QByteArrayView line) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(line);
    if (utf8.hasError() || std::any_of(line.begin(), line.end(), [](char c) {
            const auto u = static_cast<uchar>(c);
            return (u < 0x20 && c != '\t' && c != '\r' && c != '\n') || u == 0x7F;
        })) {
        return false;
    }
    const QString t = text.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';'))) {
        return true;
    }
    if (t.startsWith(QLatin1Char('['))) {
        return t.contains(QLatin1Char(']'));
    }
    return t.indexOf(QLatin1Char('=')) > 0;
}

// The readable lines of an INI file, without a byte-order mark. A backslash before a line break
// continues the line, as QSettings reads it.
QByteArray Clean(QByteArrayView data, int& dropped) {
    if (data.startsWith("\xEF\xBB\xBF")) {
        data = data.sliced(3);
    }
    QByteArray cleaned;
    const auto breakAt = [&](qsizetype i) { return i < data.size() && (data[i] == '\n' || data[i] == '\r'); };
    for (qsizetype pos = 0; pos < data.size();) {
        qsizetype end = pos;
        while (end < data.size() && !breakAt(end)) {
            if (data[end] == '\\' && end + 1 < data.size()) {
                ++end; // the escaped character; an escaped \r\n continues the line as a whole
                if (breakAt(end) && breakAt(end + 1) && data[end + 1] != data[end]) {
                    ++end;
                }
            }
            ++end;
        }
        const QByteArrayView line = data.sliced(pos, end - pos);
        if (Readable(line)) {
            cleaned += line;
            cleaned += '\n';
        } else {
            ++dropped;
        }
        pos = end + 1;
    }
    return cleaned;
}

// The entries of an INI text, read by QSettings itself so that its escaping is honoured; nothing when
// they cannot be read cleanly.
std::optional<QVariantMap> ParseIni(const QByteArray& text) {
    QTemporaryFile file;
    if (!file.open() || file.write(text) != text.size() || !file.flush()) {
        return std::nullopt;
    }
    const QSettings settings(file.fileName(), QSettings::IniFormat);
    QVariantMap values;
    for (const QString& key : settings.allKeys()) {
        values.insert(key, settings.value(key));
    }
    if (settings.status() != QSettings::NoError) {
        return std::nullopt;
    }
    return values;
}

// Renames `file` to "<file>.corrupt-<UTC time>-<n>" without ever replacing another file.
QString MoveAside(const QString& file, QString& why) {
    const QString stamp = Stamp();
    for (int n = 1; n < 10000; ++n) {
        const QString name = QStringLiteral("%1.corrupt-%2-%3").arg(file, stamp).arg(n);
#ifdef Q_OS_UNIX
        if (::renameat2(AT_FDCWD, QFile::encodeName(file).constData(), AT_FDCWD,
                        QFile::encodeName(name).constData(), RENAME_NOREPLACE) == 0) {
            SyncFolder(name);
            return name;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno != EINVAL && errno != ENOSYS) { // else a file system that cannot refuse to replace
            why = errno == EPERM ? QStringLiteral("read-only folder") : ErrnoText(errno);
            return {};
        }
#endif
        if (NamesAFile(name)) {
            continue;
        }
        if (QFile::rename(file, name)) {
            SyncFolder(name);
            return name;
        }
        why = QStringLiteral("it could not be renamed");
        return {};
    }
    why = QStringLiteral("no free name");
    return {};
}

} // namespace

Profile::Profile(Access access) : m_access(access) {
    Open();
}

Profile::Profile(const QString& fileName, Access access) : m_fileName(fileName), m_access(access) {
    Open();
}

Profile::~Profile() {
    // After a save that failed, QSettings may write what it holds as it ends: within the same guard.
    if (m_unsaved.isEmpty() || (m_fileName.isEmpty() && !kNativeIsIni) || m_access == Access::ReadOnly) {
        return;
    }
    const QString target = Target(m_settings->fileName());
    const QString previous = target + QStringLiteral(".previous");
    const bool bExisted = QFileInfo::exists(target);
    const bool bKept = KeepAside(target, previous);
    const qsizetype keys = m_settings->allKeys().size();
    m_settings.reset();
    if (Whole(target, keys)) {
        QFile::remove(previous);
    } else {
        PutBack(target, bKept ? previous : QString(), bExisted);
    }
}

std::unique_ptr<QSettings> Profile::MakeSettings() const {
    if (m_fileName.isEmpty()) {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("Kelvra"), QStringLiteral("Kelvra"));
    }
    return std::make_unique<QSettings>(m_fileName, QSettings::IniFormat);
}

void Profile::Open() {
    m_settings = MakeSettings();
    if (m_access == Access::ReadOnly) {
        m_refusal = QStringLiteral("opened for reading only");
    }
    // The file is parsed on first access; only then does status() tell how that went.
    m_settings->allKeys();
    const QString name = m_settings->fileName();
    const QString target = Target(name);
    const bool ini = !m_fileName.isEmpty() || kNativeIsIni;
    switch (m_settings->status()) {
    case QSettings::NoError:
        if (ini && m_access == Access::ReadOnly && !QFileInfo::exists(target)) {
            m_readProblem = name + QStringLiteral(": no such file");
        }
        break;
    case QSettings::FormatError:
        Salvage(ini ? target : QString());
        break;
    case QSettings::AccessError: {
        if (QFileInfo(target).isDir()) {
            m_readProblem = name + QStringLiteral(": is a directory"); // writes fail, but harm nothing
            break;
        }
        const QString why = WhyNotRead(target);
        m_readProblem = QStringLiteral("%1: cannot be read (%2)").arg(name, why);
        if (m_access == Access::ReadWrite) {
            // Reads give the defaults. Replacing a file we could not read would throw away all in it.
            Refuse(QStringLiteral("the file could not be read (%1), so it is kept as it is").arg(why));
        }
        break;
    }
    }
}

// QSettings reads what it can of a malformed file but would write back lines it misread, and a
// byte-order mark alone is enough for it to report the file as malformed. The lines that are readable
// are read again on their own; only a file with none is taken as damaged.
void Profile::Salvage(const QString& target) {
    QByteArray cleaned;
    QVariantMap values;
    int dropped = 0;
    std::optional<QVariantMap> parsed;
    if (QFile file(target); !target.isEmpty() && file.open(QIODevice::ReadOnly)) {
        cleaned = Clean(file.readAll(), dropped);
        parsed = ParseIni(cleaned);
        values = parsed.value_or(QVariantMap());
        if (!parsed) { // keep what QSettings made of it; the original is copied aside all the same
            for (const QString& key : m_settings->allKeys()) {
                values.insert(key, m_settings->value(key));
            }
        }
    }
    if (!values.isEmpty()) {
        m_bSalvaged = true;
        m_salvaged = values;
        m_cleaned = cleaned;
        m_bKeepOriginal = dropped > 0 || !parsed;
        return;
    }
    const QString name = m_settings->fileName();
    m_readProblem = name + QStringLiteral(": damaged, nothing in it can be read");
    m_bIgnoreContent = true;
    if (m_access == Access::ReadOnly) {
        return; // the file stays as it is
    }
    // Moved aside rather than overwritten by the next write, so that whatever can still be saved from
    // it by hand is not lost. If it cannot be moved, nothing may be written over it.
    m_settings.reset();
    QString why;
    const QString aside = MoveAside(Target(name), why);
    m_settings = MakeSettings();
    if (aside.isEmpty()) {
        Refuse(QStringLiteral("the damaged file could not be moved aside (%1), so it is kept as it is")
                   .arg(why));
        return;
    }
    m_bIgnoreContent = false;
    m_readProblem += QStringLiteral(", moved aside as ") + aside;
}

void Profile::Refuse(const QString& reason) {
    m_refusal = reason;
    m_saveProblem = QStringLiteral("cannot save to %1: %2").arg(m_settings->fileName(), reason);
    m_bSavesFail.store(true, std::memory_order_relaxed);
}

QVariant Profile::Value(const QString& key) const {
    if (const auto it = m_unsaved.constFind(key); it != m_unsaved.cend()) {
        return *it;
    }
    if (m_bIgnoreContent) {
        return {};
    }
    return m_bSalvaged ? m_salvaged.value(key) : m_settings->value(key);
}

bool Profile::Store(const QString& key, const QVariant& value) {
    std::scoped_lock lock(m_mutex);
    // Kept until it is on disk: the board reloads after each charge and must never show less.
    m_unsaved.insert(key, value);
    const QString why = m_refusal.isEmpty() ? Save() : m_refusal;
    m_saveProblem =
        why.isEmpty() ? QString() : QStringLiteral("cannot save to %1: %2").arg(m_settings->fileName(), why);
    m_bSavesFail.store(!why.isEmpty(), std::memory_order_relaxed);
    return why.isEmpty();
}

// Writes every value not yet on disk; the reason it failed, or empty.
QString Profile::Save() {
    if (m_fileName.isEmpty() && !kNativeIsIni) {
        return SaveNative();
    }
    const QString name = m_settings->fileName();
    const QString target = Target(name);
    const QFileInfo info(target);
    // QSettings (Qt 6.4) misses a write that fails as its buffer is flushed and then puts the cut-short
    // file in place of the profile: on a full disk the profile would be emptied. Make sure of the room
    // first; a folder still to be made is made by QSettings.
    if (QFileInfo(info.absolutePath()).isDir()) {
        if (!FolderProblem(info.absolutePath(), info.size()).isEmpty()) {
            return WhyNotWritten(target);
        }
    }
    if (m_bSalvaged) {
        if (m_bKeepOriginal && m_originalCopy.isEmpty()) {
            QString why;
            m_originalCopy = CopyAside(QStringLiteral("unreadable-lines"), why);
            if (m_originalCopy.isEmpty()) {
                return QStringLiteral("a copy of the lines it cannot read could not be kept (%1)").arg(why);
            }
        }
        // The readable lines go back first, so that QSettings never writes out what it misread.
        // Unbuffered, QSaveFile sees every failed write and keeps the old file.
        QSaveFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            file.write(m_cleaned) != m_cleaned.size() || !file.commit()) {
            return WhyNotWritten(target);
        }
        SyncFolder(target);
        // A new object reads them: the file has changed size, so its cached reading is dropped.
        m_settings.reset();
        m_settings = MakeSettings();
        m_bSalvaged = false;
        m_salvaged.clear();
        m_cleaned.clear();
    }
    // The file as it is stays reachable under a second name until the new one is known to be whole:
    // QSettings puts its new file in place even when writing it failed (the room may have gone since
    // the check, or the disk failed), and a rename, which needs no room, then brings the old one back.
    // Each QSettings write happens within: a new object also writes what an old one left pending.
    const QString previous = target + QStringLiteral(".previous");
    const bool bExisted = info.exists();
    const bool bKept = KeepAside(target, previous);
    if (m_settings->status() != QSettings::NoError) {
        // QSettings keeps an error status for good; only a new object tells whether this try works.
        m_settings.reset();
        m_settings = MakeSettings();
    }
    for (auto it = m_unsaved.cbegin(); it != m_unsaved.cend(); ++it) {
        m_settings->setValue(it.key(), it.value());
    }
    m_settings->sync();
    QString why;
    if (m_settings->status() != QSettings::NoError || !Whole(target, m_settings->allKeys().size())) {
        why = WhyNotWritten(target);
    } else if (const QString lost = SyncData(target); !lost.isEmpty()) {
        why = QStringLiteral("the disk did not take the file (%1)").arg(lost);
    }
    if (!why.isEmpty()) {
        // The values stay unsaved for the next write, which finds the file changed and reads it again.
        PutBack(target, bKept ? previous : QString(), bExisted);
        return why;
    }
    if (bKept) {
        QFile::remove(previous);
    }
    // The folder of the file renamed, also when reached through a link.
    if (const QString lost = SyncFolder(target); !lost.isEmpty()) {
        return QStringLiteral("the disk did not take the folder's entry (%1)").arg(lost);
    }
    m_unsaved.clear();
    return {};
}

// The system's own store (the registry): no file of ours to guard, and what QSettings wrote is flushed
// to the disk before the write counts.
QString Profile::SaveNative() {
    for (auto it = m_unsaved.cbegin(); it != m_unsaved.cend(); ++it) {
        m_settings->setValue(it.key(), it.value());
    }
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        m_settings.reset();
        m_settings = MakeSettings();
        return QStringLiteral("the values could not be stored");
    }
    if (const QString lost = FlushNativeStore(); !lost.isEmpty()) {
        return lost;
    }
    m_unsaved.clear();
    return {};
}

QString Profile::CopyAside(const QString& tag, QString& why) const {
    const QString name = m_settings->fileName();
    QFile source(name);
    if (!QFileInfo(name).isFile() || !source.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("no file to copy");
        return {};
    }
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        why = source.errorString().toLower();
        return {};
    }
    const QString stamp = Stamp();
    for (int n = 1; n < 10000; ++n) {
        const QString copy = QStringLiteral("%1.%2-%3-%4").arg(name, tag, stamp).arg(n);
        QFile out(copy);
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) { // never over another file
            if (NamesAFile(copy)) {
                continue;
            }
            why = out.errorString().toLower();
            return {};
        }
        bool ok = out.write(bytes) == bytes.size() && out.flush();
#ifdef Q_OS_UNIX
        ok = ok && ::fsync(out.handle()) == 0;
#endif
        if (!ok) {
            why = out.errorString().toLower();
            out.remove();
            return {};
        }
        SyncFolder(copy);
        return copy;
    }
    why = QStringLiteral("no free name");
    return {};
}

int Profile::GetProfileInt(const QString& section, const QString& entry, int defaultValue) const {
    m_nReads.fetch_add(1, std::memory_order_relaxed);
    std::scoped_lock lock(m_mutex);
    const QVariant value = Value(Key(section, entry));
    if (!value.isValid()) {
        return defaultValue;
    }
    bool ok = false;
    const qlonglong n = value.toString().trimmed().toLongLong(&ok);
    if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max()) {
        return defaultValue;
    }
    return static_cast<int>(n);
}

QString Profile::GetProfileString(const QString& section, const QString& entry,
                                  const QString& defaultValue) const {
    m_nReads.fetch_add(1, std::memory_order_relaxed);
    std::scoped_lock lock(m_mutex);
    const QVariant value = Value(Key(section, entry));
    if (!value.isValid()) {
        return defaultValue;
    }
    // A hand-edited entry with an unquoted comma comes back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", "));
    }
    return value.toString();
}

bool Profile::WriteProfileInt(const QString& section, const QString& entry, int value) {
    return Store(Key(section, entry), value);
}

bool Profile::WriteProfileString(const QString& section, const QString& entry, const QString& value) {
    return Store(Key(section, entry), value);
}

QString Profile::Location() const {
    std::scoped_lock lock(m_mutex);
    return m_settings->fileName();
}

QString Profile::SaveProblem() const {
    std::scoped_lock lock(m_mutex);
    return m_saveProblem;
}

QString Profile::ReadProblem() const {
    std::scoped_lock lock(m_mutex);
    return m_readProblem;
}

QString Profile::KeepCopy(const QString& tag) {
    std::scoped_lock lock(m_mutex);
    QString why;
    return CopyAside(tag, why);
}
