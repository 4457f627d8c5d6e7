#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP end the program as a normal close does, so the temporary
// adapter address goes with it. The handler only writes to a pipe; the callback runs on the
// thread of this object's event loop. One instance at a time; the previous handlers come back
// when it is destroyed.
class CShutdownSignals : public QObject {
    Q_OBJECT
public:
    CShutdownSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~CShutdownSignals() override;

    bool Installed() const { return m_installed; }

private:
    void OnPipeReadable();

    std::function<void(int)> m_onSignal;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};
