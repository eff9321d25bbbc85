#pragma once
// An ordered list of strings, each with an attached pointer-sized value, and the
// owning handle the playlist code holds it by.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

class TStringList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    int Add(const QString& text) { return AddObject(text, 0); }
    int AddObject(const QString& text, std::intptr_t value)
    {
        m_items.emplace_back(text, value);
        return Count() - 1;
    }
    const QString& Strings(int index) const { return m_items.at(static_cast<std::size_t>(index)).first; }
    std::intptr_t Objects(int index) const { return m_items.at(static_cast<std::size_t>(index)).second; }
    QStringList ToStringList() const;
    void Clear() { m_items.clear(); }

    // Appends the lines of a "Temprary.txt"-style text file; false, adding nothing,
    // when the file cannot be read or is not a regular file.
    bool LoadFromFile(const QString& path);
    // Replaces the file with the strings as lines, in the encoding the file it replaces
    // was in; false (file unchanged) on failure.
    bool SaveToFile(const QString& path) const;

private:
    std::vector<std::pair<QString, std::intptr_t>> m_items;
};

class SvStringList {
public:
    SvStringList() : m_list(new TStringList) {}
    ~SvStringList() { delete m_list; }
    SvStringList(const SvStringList&) = delete;
    SvStringList& operator=(const SvStringList&) = delete;

    TStringList* operator->() const { return m_list; }
    TStringList& operator*() const { return *m_list; }

private:
    TStringList* const m_list;
};
