#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include "model/records.h"

// An ordered collection with 1-based positions. It holds shared references, so
// a record removed from it stays readable through any other reference to it
// (the picked records of the main window rely on that).
template <class T>
class RecordList {
public:
    using Ref = std::shared_ptr<T>;
    using const_iterator = typename std::vector<Ref>::const_iterator;

    void Add(Ref record) { items_.push_back(std::move(record)); }
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    // position runs from 1 to Count()
    const Ref& Item(int position) const { return items_.at(static_cast<std::size_t>(position - 1)); }
    void Remove(int position) { items_.erase(items_.begin() + (position - 1)); }
    // Puts a record at `position` (1 to Count() + 1); the later ones move down.
    void Insert(int position, Ref record) {
        items_.insert(items_.begin() + (position - 1), std::move(record));
    }

    // Removes from the last position down to the first.
    void Clear() {
        while (!items_.empty()) items_.pop_back();
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
    void Swap(RecordList& other) noexcept { items_.swap(other.items_); }

    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

private:
    std::vector<Ref> items_;
};

using PointList = RecordList<CPoint>;
using LineList = RecordList<CLine>;
