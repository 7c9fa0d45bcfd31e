// Positions of list rows by a 64-bit key: the report's look-ups without a walk
// through the whole list. The memory is the plug-in's own (the C runtime's heap),
// never the host's, and an index that cannot have it holds nothing: callers then
// look the linear way, with the same results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pim {

class RowIndex {
public:
    // chained: every position of a key is kept, in the order added; otherwise only
    // the first.
    explicit RowIndex(bool chained) : chained_(chained) {}
    ~RowIndex() { Release(); }
    RowIndex(const RowIndex &) = delete;
    RowIndex &operator=(const RowIndex &) = delete;

    // Rows 0 .. indexed() - 1 are in the index.
    int32_t indexed() const { return indexed_; }

    // Adds row indexed() under key. False when memory could not be had: the index is
    // then empty again.
    bool Add(uint64_t key) {
        if (!Put(key, indexed_)) return false;
        ++indexed_;
        return true;
    }
    // Enters row under key, rows of any position in any order (unchained indexes;
    // indexed() stays): the key keeps its first row. False as Add.
    bool Put(uint64_t key, int32_t row);

    // The first row of key, or -1.
    int32_t First(uint64_t key) const {
        if (used_ == 0) return -1;
        for (uint32_t at = Home(key);; at = (at + 1) & mask_) {
            const Slot &slot = slots_[at];
            if (slot.first < 0) return -1;
            if (slot.key == key) return slot.first;
        }
    }
    // The next row of the same key after row (chained indexes), or -1.
    int32_t Next(int32_t row) const { return next_[row]; }

    // Empty, keeping its memory for the next rows.
    void Clear();
    // Empty, its memory released.
    void Release();

private:
    struct Slot {
        uint64_t key;
        int32_t first;  // -1: a free slot
        int32_t last;
    };
    // The high half folded into the low one in 32-bit steps (cheap in the i386 build).
    uint32_t Home(uint64_t key) const {
        const uint32_t folded = static_cast<uint32_t>(key) ^ static_cast<uint32_t>(key >> 32) * 0x85EBCA77u;
        return (folded * 0x9E3779B1u) >> shift_ & mask_;
    }
    bool Grow();

    Slot *slots_ = nullptr;
    uint32_t mask_ = 0;  // slots - 1; slots a power of two, at most three quarters used
    uint32_t shift_ = 32;
    int32_t used_ = 0;
    int32_t *next_ = nullptr;  // by row, chained indexes only
    int32_t nextCapacity_ = 0;
    int32_t indexed_ = 0;
    bool chained_;
};

// The index memory: realloc and free that count the bytes and obey the tests'
// failures. Null when the block could not be had (the old one is then left as it was).
void *ResizeIndexMemory(void *block, std::size_t oldBytes, std::size_t newBytes);
void FreeIndexMemory(void *block, std::size_t bytes);

// The bytes of index memory held now, and the most since the last reset.
int64_t RowIndexBytes();
int64_t RowIndexPeakBytes();
void ResetRowIndexPeakBytes();

// For tests: the n-th index allocation from this call fails (0: none), and with
// onward every one after it too; the allocations asked for since that call.
void FailIndexAllocation(uint32_t n, bool onward);
uint32_t IndexAllocations();

}  // namespace pim
