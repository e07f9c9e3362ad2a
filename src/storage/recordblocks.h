#pragma once
#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

// Records made in blocks: one allocation holds a few thousand of them, and
// the shared reference to each record shares the ownership of its whole
// block (shared_ptr's aliasing constructor). So a record removed from its
// list stays readable as long as anything refers to it, and a drawing of a
// million records costs a few hundred allocations instead of a million.
//
// Blocks are whole pages taken from the system and given back to it when
// their last record goes, so the memory of a replaced drawing is returned at
// once instead of staying with the allocator.
template <class T>
class RecordBlocks {
    static_assert(std::is_trivially_destructible_v<T>, "blocks are unmapped without destructors");

public:
    static constexpr std::size_t kBlockBytes = 64 * 1024;
    static constexpr std::size_t kPerBlock = kBlockBytes / sizeof(T);

    // A new record with all fields zero, after the ones made before.
    T& New() {
        if (usedInLast_ == kPerBlock) {
            blocks_.push_back(NewBlock());
            usedInLast_ = 0;
        }
        T* record = blocks_.back().get() + usedInLast_++;
        return *new (record) T();
    }

    std::size_t Count() const { return blocks_.empty() ? 0 : (blocks_.size() - 1) * kPerBlock + usedInLast_; }

    // Writes a shared reference to every record, in the order they were
    // made, to out[0 .. Count()).
    void Share(std::shared_ptr<T>* out) const {
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            const std::shared_ptr<T>& block = blocks_[b];
            const std::size_t used = b + 1 == blocks_.size() ? usedInLast_ : kPerBlock;
            for (std::size_t i = 0; i < used; ++i) *out++ = std::shared_ptr<T>(block, block.get() + i);
        }
    }

private:
    static std::shared_ptr<T> NewBlock() {
        // Populated at once: the pages are written right away anyway, and one
        // call faults them in far cheaper than one fault per page.
        void* pages = ::mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                             -1, 0);
        if (pages == MAP_FAILED) throw std::bad_alloc();
        try {
            return std::shared_ptr<T>(static_cast<T*>(pages), [](T* p) { ::munmap(p, kBlockBytes); });
        } catch (...) {
            ::munmap(pages, kBlockBytes);
            throw;
        }
    }

    std::vector<std::shared_ptr<T>> blocks_;
    std::size_t usedInLast_ = kPerBlock;
};
