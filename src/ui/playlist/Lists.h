#pragma once
// Pointer lists and the owning handles the playlist code holds them by.

#include <vector>

// An ordered list of untyped pointers: Count, Add at the end, Get by index, Clear.
class TList {
public:
    TList() = default;
    virtual ~TList() = default;
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;

    int Count() const { return static_cast<int>(m_items.size()); }
    int Add(void* item)
    {
        m_items.push_back(item);
        return Count() - 1;
    }
    void* Get(int index) const { return m_items.at(static_cast<std::size_t>(index)); }
    virtual void Clear() { m_items.clear(); }

private:
    std::vector<void*> m_items;
};

// A pointer list of one record type. When it owns its entries, Clear frees them in
// index order; every list of this type in the program is created not owning.
template <typename T>
class TTypedList : public TList {
public:
    explicit TTypedList(bool ownsEntries) : OwnsEntries(ownsEntries) {}
    // The base destructor cannot reach this class's Clear, so it is called here.
    ~TTypedList() override { TTypedList::Clear(); }

    int Add(T* item) { return TList::Add(item); }
    T* Get(int index) const { return static_cast<T*>(TList::Get(index)); }
    void Clear() override
    {
        if (OwnsEntries)
            for (int i = 0; i < Count(); ++i)
                delete Get(i);
        TList::Clear();
    }

    const bool OwnsEntries;
};

// Owning handles: each creates its object in its constructor and deletes it in its
// destructor; none is copied or reassigned.
template <typename T>
class SvTypedList {
public:
    SvTypedList() : m_list(new TTypedList<T>(false)) {}
    ~SvTypedList() { delete m_list; }
    SvTypedList(const SvTypedList&) = delete;
    SvTypedList& operator=(const SvTypedList&) = delete;

    TTypedList<T>* operator->() const { return m_list; }
    TTypedList<T>& operator*() const { return *m_list; }

private:
    TTypedList<T>* const m_list;
};

class SvList {
public:
    SvList() : m_list(new TList) {}
    ~SvList() { delete m_list; }
    SvList(const SvList&) = delete;
    SvList& operator=(const SvList&) = delete;

    TList* operator->() const { return m_list; }
    TList& operator*() const { return *m_list; }

private:
    TList* const m_list;
};
