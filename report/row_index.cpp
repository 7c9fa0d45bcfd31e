#include "row_index.h"

#include <cstdlib>
#include <cstring>

namespace pim {
namespace {

int64_t bytesNow = 0, bytesPeak = 0;
uint32_t allocations = 0, failAt = 0;
bool failOnward = false;

constexpr uint32_t kFirstSlots = 64;

}  // namespace

void *ResizeIndexMemory(void *block, std::size_t oldBytes, std::size_t newBytes) {
    ++allocations;
    if (failAt != 0 && (allocations == failAt || (failOnward && allocations > failAt))) return nullptr;
    void *resized = std::realloc(block, newBytes);
    if (resized == nullptr) return nullptr;
    bytesNow += static_cast<int64_t>(newBytes) - static_cast<int64_t>(oldBytes);
    if (bytesNow > bytesPeak) bytesPeak = bytesNow;
    return resized;
}

void FreeIndexMemory(void *block, std::size_t bytes) {
    if (block == nullptr) return;
    std::free(block);
    bytesNow -= static_cast<int64_t>(bytes);
}

int64_t RowIndexBytes() { return bytesNow; }
int64_t RowIndexPeakBytes() { return bytesPeak; }
void ResetRowIndexPeakBytes() { bytesPeak = bytesNow; }
void FailIndexAllocation(uint32_t n, bool onward) {
    failAt = n;
    failOnward = onward;
    allocations = 0;
}
uint32_t IndexAllocations() { return allocations; }

bool RowIndex::Put(uint64_t key, int32_t row) {
    if (chained_ && row >= nextCapacity_) {
        int64_t capacity = nextCapacity_ == 0 ? int64_t{kFirstSlots} : int64_t{nextCapacity_} * 2;
        while (capacity <= row) capacity *= 2;
        if (capacity > INT32_MAX / static_cast<int64_t>(sizeof(int32_t))) return Release(), false;
        void *grown = ResizeIndexMemory(next_, nextCapacity_ * sizeof(int32_t), static_cast<std::size_t>(capacity) * sizeof(int32_t));
        if (grown == nullptr) return Release(), false;
        next_ = static_cast<int32_t *>(grown);
        nextCapacity_ = static_cast<int32_t>(capacity);
    }
    if (static_cast<uint32_t>(used_ + 1) * 4 > (slots_ == nullptr ? 0 : mask_ + 1) * 3 && !Grow()) return Release(), false;

    if (chained_) next_[row] = -1;
    for (uint32_t at = Home(key);; at = (at + 1) & mask_) {
        Slot &slot = slots_[at];
        if (slot.first < 0) {
            slot = {key, row, row};
            ++used_;
            return true;
        }
        if (slot.key == key) {
            if (chained_) {
                next_[slot.last] = row;
                slot.last = row;
            }
            return true;
        }
    }
}

bool RowIndex::Grow() {
    const uint32_t slots = slots_ == nullptr ? kFirstSlots : (mask_ + 1) * 2;
    if (slots > (1u << 30) / sizeof(Slot)) return false;
    auto *grown = static_cast<Slot *>(ResizeIndexMemory(nullptr, 0, slots * sizeof(Slot)));
    if (grown == nullptr) return false;
    std::memset(static_cast<void *>(grown), 0xFF, slots * sizeof(Slot));  // first = -1: free
    Slot *old = slots_;
    const uint32_t oldSlots = old == nullptr ? 0 : mask_ + 1;
    slots_ = grown;
    mask_ = slots - 1;
    shift_ = 32;
    for (uint32_t s = slots; s > 1; s >>= 1) --shift_;
    for (uint32_t i = 0; i < oldSlots; ++i) {
        if (old[i].first < 0) continue;
        uint32_t at = Home(old[i].key);
        while (slots_[at].first >= 0) at = (at + 1) & mask_;
        slots_[at] = old[i];
    }
    FreeIndexMemory(old, oldSlots * sizeof(Slot));
    return true;
}

void RowIndex::Clear() {
    if (slots_ != nullptr) std::memset(static_cast<void *>(slots_), 0xFF, (mask_ + 1) * sizeof(Slot));
    used_ = 0;
    indexed_ = 0;
}

void RowIndex::Release() {
    FreeIndexMemory(slots_, slots_ == nullptr ? 0 : (mask_ + 1) * sizeof(Slot));
    FreeIndexMemory(next_, static_cast<std::size_t>(nextCapacity_) * sizeof(int32_t));
    slots_ = nullptr;
    next_ = nullptr;
    mask_ = 0;
    shift_ = 32;
    used_ = nextCapacity_ = indexed_ = 0;
}

}  // namespace pim
