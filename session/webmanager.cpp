#include "session/webmanager.h"

CWEBManager::CWEBManager(QObject* owner) : QObject(owner) {}

CWEBManager::~CWEBManager() = default;

void CWEBManager::AddCommand(const QString&, const QString&, const QString&, const QString&,
                             const QString&)
{
}

QString CWEBManager::TakeResult(qint32&, QString&)
{
    return QString();
}

void CWEBManager::ReleaseRoute() {}

void PumpQueue(unsigned) {}
