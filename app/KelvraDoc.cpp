#include "app/KelvraDoc.h"

#include <QFile>
#include <QFileInfo>

bool CKelvraDoc::OnNewDocument() {
    m_strPathName.clear();
    return true;
}

bool CKelvraDoc::OnOpenDocument(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    m_strPathName = path;
    return true;
}

bool CKelvraDoc::OnSaveDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    m_strPathName = path;
    return true;
}
