#pragma once

#include <QString>

#include <memory>

class QLockFile;

// One running program per user: a lock file in the user's runtime directory stands in for a
// named system mutex. The lock is held for as long as this object lives.
class CSingleInstance {
public:
    explicit CSingleInstance(const QString& name);
    ~CSingleInstance();

    // False when another live process holds the lock.
    bool IsFirst() const { return m_first; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_first = false;
};
