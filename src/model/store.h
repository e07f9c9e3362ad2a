#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/records.h"

// One counter for every list, so a version number is never given twice.
inline uint64_t NextRecordListVersion() {
    static std::atomic<uint64_t> last{0};
    return ++last;
}

// An ordered collection with 1-based positions. It holds shared references, so
// a record removed from it stays readable through any other reference to it
// (the picked records of the main window rely on that).
//
// Version() changes with every change of the list. A change of a record's
// fields in place is not seen by the list: whoever makes one calls
// MarkChanged(), or a Refresh may show the picture of before.
template <class T>
class RecordList {
public:
    using Ref = std::shared_ptr<T>;
    using const_iterator = typename std::vector<Ref>::const_iterator;

    RecordList() = default;
    // The records in this order.
    explicit RecordList(std::vector<Ref> records) : items_(std::move(records)) {}
    RecordList(const RecordList& other) : items_(other.items_) {}
    RecordList& operator=(const RecordList& other) {
        items_ = other.items_;
        MarkChanged();
        return *this;
    }
    RecordList(RecordList&& other) noexcept : items_(std::move(other.items_)) { other.MarkChanged(); }
    RecordList& operator=(RecordList&& other) noexcept {
        items_ = std::move(other.items_);
        MarkChanged();
        other.MarkChanged();
        return *this;
    }

    void Add(Ref record) {
        items_.push_back(std::move(record));
        MarkChanged();
    }
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    // position runs from 1 to Count()
    const Ref& Item(int position) const { return items_.at(static_cast<std::size_t>(position - 1)); }
    void Remove(int position) {
        items_.erase(items_.begin() + (position - 1));
        MarkChanged();
    }
    // Puts a record at `position` (1 to Count() + 1); the later ones move down.
    void Insert(int position, Ref record) {
        items_.insert(items_.begin() + (position - 1), std::move(record));
        MarkChanged();
    }

    // Removes from the last position down to the first.
    void Clear() {
        while (!items_.empty()) items_.pop_back();
        MarkChanged();
    }

    // Position of the first record whose number equals `number` exactly, 0 if none.
    int FindByNumber(float number) const {
        int position = 0;
        for (const Ref& r : items_) {
            ++position;
            if (RecordNumber(*r) == number) return position;
        }
        return 0;
    }

    // Position of this very record, 0 if it is not in the collection.
    int PositionOf(const T* record) const {
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (items_[i].get() == record) return static_cast<int>(i) + 1;
        return 0;
    }

    void Reserve(std::size_t n) { items_.reserve(n); }
    void Swap(RecordList& other) noexcept {
        items_.swap(other.items_);
        MarkChanged();
        other.MarkChanged();
    }

    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

    uint64_t Version() const { return version_; }
    void MarkChanged() { version_ = NextRecordListVersion(); }

private:
    std::vector<Ref> items_;
    uint64_t version_ = NextRecordListVersion();
};

using PointList = RecordList<CPoint>;
using LineList = RecordList<CLine>;
