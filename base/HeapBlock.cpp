#include "HeapBlock.h"

#include <atomic>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace {

// Counts down to the allocation that a test wants to fail; only the test's thread allocates.
std::atomic<int> g_failCountdown{0};

bool InjectedFailure()
{
    int left = g_failCountdown.load(std::memory_order_relaxed);
    if (left <= 0)
        return false;
    g_failCountdown.store(left - 1, std::memory_order_relaxed);
    return left == 1;
}

uint8_t* Allocate(size_t size, bool zeroed)
{
    if (InjectedFailure())
        return nullptr;
#ifdef _WIN32
    return static_cast<uint8_t*>(GlobalAlloc(zeroed ? GMEM_ZEROINIT : GMEM_FIXED, size));
#else
    // One byte at least, so that an empty block is still a valid one.
    const size_t bytes = size == 0 ? 1 : size;
    return static_cast<uint8_t*>(zeroed ? std::calloc(bytes, 1) : std::malloc(bytes));
#endif
}

void Free(uint8_t* data)
{
#ifdef _WIN32
    GlobalFree(data);
#else
    std::free(data);
#endif
}

} // namespace

void FailHeapAllocationAfter(int n)
{
    g_failCountdown.store(n, std::memory_order_relaxed);
}

CHeapBlock::CHeapBlock(size_t size)
    : CHeapBlock(size, true)
{
}

CHeapBlock CHeapBlock::Uncleared(size_t size)
{
    return CHeapBlock(size, false);
}

CHeapBlock::CHeapBlock(size_t size, bool zeroed)
    : m_data(Allocate(size, zeroed)), m_size(m_data ? size : 0)
{
}

CHeapBlock::~CHeapBlock()
{
    Release();
}

CHeapBlock::CHeapBlock(CHeapBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

CHeapBlock& CHeapBlock::operator=(CHeapBlock&& other) noexcept
{
    if (this != &other) {
        Release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void CHeapBlock::Release()
{
    if (m_data)
        Free(m_data);
    m_data = nullptr;
    m_size = 0;
}

void CHeapBlock::Abandon()
{
    m_data = nullptr;
    m_size = 0;
}
