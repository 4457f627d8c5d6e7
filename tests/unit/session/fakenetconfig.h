#pragma once

#include "platform/netconfig.h"

#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>

// A scripted host network: adapters, routes and ARP answers as the test sets them, every call
// written to a journal, waits counted instead of slept.
class CFakeNetConfig : public INetConfig {
public:
    static quint32 Ip(const char* text)
    {
        quint32 address = 0;
        return TextToAddress(QString::fromLatin1(text), address) ? address : 0;
    }

    struct SAdded {
        quint32 address;
        quint32 mask;
        quint32 ifIndex;
    };

    // Scripted behaviour.
    std::function<bool(quint32 destination, quint32& mask, quint32& ifIndex)> route;
    QList<SNetAdapter> adapters;
    bool adaptersFail = false;
    std::set<quint32> addRefused;
    std::map<quint32, QByteArray> foreignOwners;
    // Who answers an ARP request: (target, source); the default answers nothing.
    std::function<bool(quint32 ifIndex, quint32 target, quint32 source)> arpAnswers;
    bool ownerFails = false;
    // Answers "not ready" this many times for an added address before it is ready; -1: never.
    int notReadyAnswers = 0;

    // What happened.
    std::map<quint32, SAdded> live;
    unsigned waited = 0;
    quint32 lastDevice = 0;
    std::atomic<bool> interrupted{false};

    bool LookupRoute(quint32 destination, quint32& mask, quint32& ifIndex) override
    {
        Note(u"route %1"_qs.arg(AddressToText(destination)));
        return route ? route(destination, mask, ifIndex) : Failed(u"no route"_qs);
    }

    bool ReadAdapters(QList<SNetAdapter>& out) override
    {
        Note(u"adapters"_qs);
        if (adaptersFail)
            return Failed(u"cannot list"_qs);
        std::lock_guard lock(m_mutex);
        out = adapters;
        // Added addresses show up on their adapter, as on a real host.
        for (auto& adapter : out) {
            for (const auto& [context, added] : live) {
                if (added.ifIndex == adapter.index)
                    adapter.addresses.append({added.address, added.mask});
            }
        }
        return true;
    }

    bool AddAddress(quint32 address, quint32 mask, quint32 ifIndex, quint32 device,
                    quint32& context) override
    {
        lastDevice = device;
        Note(u"add %1/%2 if%3"_qs.arg(AddressToText(address), AddressToText(mask)).arg(ifIndex));
        if (addRefused.count(address))
            return Failed(u"refused"_qs);
        std::lock_guard lock(m_mutex);
        context = m_nextContext++;
        live[context] = {address, mask, ifIndex};
        return true;
    }

    bool DeleteAddress(quint32 context) override
    {
        std::lock_guard lock(m_mutex);
        const auto it = live.find(context);
        m_journal.append(u"delete %1"_qs.arg(it == live.end() ? u"?"_qs
                                                                : AddressToText(it->second.address)));
        if (it == live.end())
            return false;
        live.erase(it);
        return true;
    }

    bool AddressReady(quint32 ifIndex, quint32 address) override
    {
        Note(u"ready %1 if%2"_qs.arg(AddressToText(address)).arg(ifIndex));
        std::unique_lock lock(m_mutex);
        // A held preparation stands for a slow one: it ends when released or interrupted.
        m_waitChange.wait(lock, [this] { return !m_holdWaits || interrupted; });
        if (notReadyAnswers != 0) {
            if (notReadyAnswers > 0)
                --notReadyAnswers;
            return Failed(u"tentative"_qs);
        }
        return true;
    }

    bool ArpRequest(quint32 ifIndex, quint32 target, quint32 source, QByteArray& hw) override
    {
        Note(u"arp %1 from %2 if%3"_qs.arg(AddressToText(target),
                                           source ? AddressToText(source) : u"any"_qs)
                 .arg(ifIndex));
        if (!arpAnswers || !arpAnswers(ifIndex, target, source))
            return Failed(u"no answer"_qs);
        hw = QByteArray::fromHex("0a0b0c0d0e0f");
        return true;
    }

    bool CandidateOwner(quint32 ifIndex, quint32 candidate, QByteArray& hw) override
    {
        Note(u"owner %1 if%2"_qs.arg(AddressToText(candidate)).arg(ifIndex));
        if (ownerFails)
            return Failed(u"no privilege"_qs);
        if (const auto it = foreignOwners.find(candidate); it != foreignOwners.end()) {
            hw = it->second;
            return true;
        }
        for (const SNetAdapter& adapter : adapters) {
            if (adapter.index == ifIndex)
                hw = adapter.hardwareAddress;
        }
        return true;
    }

    bool FlushNeighbours(quint32 ifIndex) override
    {
        Note(u"flush if%1"_qs.arg(ifIndex));
        return true;
    }

    bool Wait(unsigned ms) override
    {
        Note(u"wait %1"_qs.arg(ms));
        std::lock_guard lock(m_mutex);
        if (interrupted)
            return false;
        waited += ms;
        return true;
    }

    void Interrupt(bool on) override
    {
        {
            std::lock_guard lock(m_mutex);
            interrupted = on;
        }
        m_waitChange.notify_all();
    }

    void HoldWaits(bool hold)
    {
        {
            std::lock_guard lock(m_mutex);
            m_holdWaits = hold;
        }
        m_waitChange.notify_all();
    }
    QString LastError() const override { return m_lastError; }
    QString StartupProblem() const override { return QString(); }

    size_t LiveCount() const
    {
        std::lock_guard lock(m_mutex);
        return live.size();
    }

    QStringList Journal() const
    {
        std::lock_guard lock(m_mutex);
        return m_journal;
    }

    static SNetAdapter Adapter(quint32 index, const char* name, int type,
                               QList<SNetAddress> addresses, const char* mac = "02000000000a")
    {
        SNetAdapter adapter;
        adapter.index = index;
        adapter.name = QString::fromLatin1(name);
        adapter.type = type;
        adapter.hardwareAddress = QByteArray::fromHex(mac);
        adapter.addresses = addresses;
        return adapter;
    }

private:
    void Note(const QString& entry)
    {
        std::lock_guard lock(m_mutex);
        m_journal.append(entry);
    }
    bool Failed(const QString& why)
    {
        m_lastError = why;
        return false;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_waitChange;
    bool m_holdWaits = false;
    QStringList m_journal;
    quint32 m_nextContext = 1;
    static inline thread_local QString m_lastError;
};
