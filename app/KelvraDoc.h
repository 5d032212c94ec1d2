#pragma once

#include <QString>

// The document of the board: it holds no data. Opening reads nothing from the file and saving writes an
// empty file; the board itself lives in the profile.
class CKelvraDoc final {
public:
    bool OnNewDocument();
    bool OnOpenDocument(const QString& path);
    bool OnSaveDocument(const QString& path);
    const QString& PathName() const { return m_strPathName; }

private:
    QString m_strPathName;
};
