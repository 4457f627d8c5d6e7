#pragma once

#include <QObject>
#include <QString>

// The HTTP session with the device: command queue, pump (timer 9999) and route.
class CWEBManager : public QObject {
    Q_OBJECT
public:
    explicit CWEBManager(QObject* owner);
    ~CWEBManager() override;

    void AddCommand(const QString& strID, const QString& strData, const QString& strAPIP,
                    const QString& strAPSubnet, const QString& strFileName = QString());
    // Oldest finished command: its keyword, result code and response; empty when none.
    QString TakeResult(qint32& dwResult, QString& strData);
    // Closes the socket, forgets the local address, removes a temporary adapter address.
    void ReleaseRoute();
};

void PumpQueue(unsigned timerId);
