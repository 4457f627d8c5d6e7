#include "discovery/udpmanager.h"

CUDPManager::CUDPManager(int state, QObject* owner) : QObject(owner), m_nState(state) {}

CUDPManager::~CUDPManager() = default;

void CUDPManager::Shutdown() {}

void DiscoveryTimerProc(unsigned) {}
