// A block of heap memory owned by one object and released exactly once: zero-filled, or
// left as the heap gives it for a buffer whose every byte the caller writes itself.
#pragma once

#include <cstddef>
#include <cstdint>

class CHeapBlock {
public:
    CHeapBlock() = default;
    // Takes a zero-filled block of `size` bytes; Valid() tells whether memory was short.
    explicit CHeapBlock(size_t size);
    // Takes a block of `size` bytes that is not cleared first, for a caller that writes every
    // byte before reading any: clearing megabytes that are overwritten at once costs as much as
    // the copy that follows. Fails like the constructor.
    static CHeapBlock Uncleared(size_t size);
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
    // Lets go of the block without giving it back, for memory that a driver keeps for good: it
    // stays valid for as long as the process lives. The destructor then does nothing.
    void Abandon();

private:
    CHeapBlock(size_t size, bool zeroed);

    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

// Test seam for the "memory is short" paths: the allocation `n` allocations from now
// (1 = the next one) fails, once. 0 disarms it. Blocks of any size count.
void FailHeapAllocationAfter(int n);
