// Holds the machine awake for as long as the object lives: the length of one update, its
// clean-up included.
#pragma once

#include "UpdateHost.h"

class CKeepAwake {
public:
    explicit CKeepAwake(IUpdateHost& host) : m_host(host) { m_host.KeepAwake(true); }
    ~CKeepAwake() { m_host.KeepAwake(false); }
    CKeepAwake(const CKeepAwake&) = delete;
    CKeepAwake& operator=(const CKeepAwake&) = delete;

private:
    IUpdateHost& m_host;
};
