#include "platform/singleinstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

CSingleInstance::CSingleInstance(const QString& name)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_lock = std::make_unique<QLockFile>(dir + u'/' + name);
    // Only a lock whose process has died is stale; a long-running first instance keeps it.
    m_lock->setStaleLockTime(0);
    m_first = m_lock->tryLock(0);
}

CSingleInstance::~CSingleInstance() = default;
