// A critical section and its scoped holder.
#pragma once

#include <windows.h>

class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&m_cs); }
    void Leave() { LeaveCriticalSection(&m_cs); }
    CRITICAL_SECTION* Native() { return &m_cs; }

private:
    CRITICAL_SECTION m_cs;
};

class CHold {
public:
    explicit CHold(CCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CHold() { m_cs.Leave(); }
    CHold(const CHold&) = delete;
    CHold& operator=(const CHold&) = delete;

private:
    CCriticalSection& m_cs;
};
