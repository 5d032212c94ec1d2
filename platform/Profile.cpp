#include "platform/Profile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QString Key(const QString& section, const QString& entry) {
    return section + QLatin1Char('/') + entry;
}

// QSettings renames its temporary file over the old one but leaves the folder entry unsynced; without
// this a power loss right after a write can bring the old file back.
void SyncFolder(const QString& fileName) {
#ifdef Q_OS_UNIX
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(fileName);
#endif
}

} // namespace

Profile::Profile(Access access) : m_access(access) {
    Open();
}

Profile::Profile(const QString& fileName, Access access) : m_fileName(fileName), m_access(access) {
    Open();
}

Profile::~Profile() = default;

std::unique_ptr<QSettings> Profile::MakeSettings() const {
    if (m_fileName.isEmpty()) {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("Kelvra"), QStringLiteral("Kelvra"));
    }
    return std::make_unique<QSettings>(m_fileName, QSettings::IniFormat);
}

void Profile::Open() {
    m_settings = MakeSettings();
    m_bWritable = m_access == Access::ReadWrite;
    m_bIgnoreContent = false;
    // The file is parsed on first access; only then does status() tell how that went.
    m_settings->allKeys();
    switch (m_settings->status()) {
    case QSettings::NoError:
        break;
    case QSettings::FormatError: {
        if (!m_bWritable) {
            m_bIgnoreContent = true; // reads as empty, and the file stays as it is
            break;
        }
        // A damaged file reads as empty. It is moved aside rather than overwritten by the next write,
        // so that whatever can still be saved from it by hand is not lost.
        const QString name = m_settings->fileName();
        const QString aside = name + QStringLiteral(".corrupt-") +
                              QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
        m_settings.reset();
        QFile::rename(name, aside);
        m_settings = MakeSettings();
        break;
    }
    case QSettings::AccessError:
        // Reads give the defaults. Writes are refused: replacing a file we could not read would
        // throw away everything in it.
        m_bWritable = false;
        break;
    }
}

bool Profile::Commit() {
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        return false;
    }
    SyncFolder(m_settings->fileName());
    return true;
}

int Profile::GetProfileInt(const QString& section, const QString& entry, int defaultValue) const {
    m_nReads.fetch_add(1, std::memory_order_relaxed);
    std::scoped_lock lock(m_mutex);
    const QVariant value = m_bIgnoreContent ? QVariant() : m_settings->value(Key(section, entry));
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
    const QVariant value = m_bIgnoreContent ? QVariant() : m_settings->value(Key(section, entry));
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
    std::scoped_lock lock(m_mutex);
    if (!m_bWritable) {
        return false;
    }
    m_settings->setValue(Key(section, entry), value);
    return Commit();
}

bool Profile::WriteProfileString(const QString& section, const QString& entry, const QString& value) {
    std::scoped_lock lock(m_mutex);
    if (!m_bWritable) {
        return false;
    }
    m_settings->setValue(Key(section, entry), value);
    return Commit();
}

QString Profile::Location() const {
    std::scoped_lock lock(m_mutex);
    return m_settings->fileName();
}
