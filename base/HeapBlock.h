// A zero-filled block of heap memory owned by one object and released exactly once.
#pragma once

#include <cstddef>
#include <cstdint>

class CHeapBlock {
public:
    CHeapBlock() = default;
    // Takes a zero-filled block of `size` bytes; Valid() tells whether memory was short.
    explicit CHeapBlock(size_t size);
    ~CHeapBlock();

    CHeapBlock(CHeapBlock&& other) noexcept;
    CHeapBlock& operator=(CHeapBlock&& other) noexcept;
    CHeapBlock(const CHeapBlock&) = delete;
    CHeapBlock& operator=(const CHeapBlock&) = delete;

    bool Valid() const { return m_data != nullptr; }
    uint8_t* Data() { return m_data; }
    const uint8_t* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    // Gives the block back now; later calls and the destructor then do nothing.
    void Release();

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

// Test seam for the "memory is short" paths: the allocation `n` allocations from now
// (1 = the next one) fails, once. 0 disarms it. Blocks of any size count.
void FailHeapAllocationAfter(int n);
