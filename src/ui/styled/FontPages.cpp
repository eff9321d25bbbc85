#include "FontPages.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <sys/mman.h>

namespace {

constexpr int kSettleMs = 2000;

bool endsWith(std::string_view text, std::string_view end)
{
    if (text.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        char c = text[text.size() - end.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != end[i])
            return false;
    }
    return true;
}

bool isFontFile(std::string_view path)
{
    for (std::string_view end : {".ttf", ".otf", ".ttc", ".otc", ".pfb", ".pcf", ".pcf.gz"})
        if (endsWith(path, end))
            return true;
    // fontconfig's cache files, read at each match of a font.
    return path.find("/fontconfig/") != std::string_view::npos && path.find(".cache-") != std::string_view::npos;
}

bool parseHex(std::string_view text, std::uintptr_t& value)
{
    if (text.empty() || text.size() > 16)
        return false;
    value = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return false;
        value = value * 16 + static_cast<std::uintptr_t>(digit);
    }
    return true;
}

} // namespace

void FontMappingScanner::Line(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
        line.remove_suffix(1);
    if (line.starts_with("Anonymous:")) {
        // A page that was written is the process's own copy, not the file's: such a
        // mapping is left alone.
        std::string_view kib = line.substr(10);
        while (kib.starts_with(' '))
            kib.remove_prefix(1);
        if (m_candidate && kib.starts_with("0 "))
            m_ranges.push_back(m_range);
        m_candidate = false;
        return;
    }
    // address perms offset dev inode path; a path may hold spaces.
    const std::size_t dash = line.find('-');
    const std::size_t space = line.find(' ');
    MappedRange range;
    if (dash == std::string_view::npos || space == std::string_view::npos || space <= dash
        || !parseHex(line.substr(0, dash), range.from) || !parseHex(line.substr(dash + 1, space - dash - 1), range.to))
        return;  // another of the mapping's figures
    m_range = range;
    const std::size_t path = line.find('/');
    m_candidate = range.from < range.to && line.substr(space + 1, 4) == "r--p" && path != std::string_view::npos
                  && isFontFile(line.substr(path));
}

std::vector<MappedRange> FontFileMappings(std::string_view smaps)
{
    FontMappingScanner scanner;
    while (!smaps.empty()) {
        const std::size_t end = smaps.find('\n');
        scanner.Line(smaps.substr(0, end));
        smaps.remove_prefix(end == std::string_view::npos ? smaps.size() : end + 1);
    }
    return scanner.Ranges();
}

int ReleaseFontPages()
{
    // Read a line at a time: the whole file is a few hundred kilobytes that would stay
    // in the heap's free space.
    std::FILE* file = std::fopen("/proc/self/smaps", "re");
    if (!file)
        return -1;
    FontMappingScanner scanner;
    char line[4096 + 256];
    while (std::fgets(line, sizeof line, file))
        scanner.Line(line);
    std::fclose(file);
    int released = 0;
    for (const MappedRange& range : scanner.Ranges()) {
        if (::madvise(reinterpret_cast<void*>(range.from), range.to - range.from, MADV_DONTNEED) == 0)
            ++released;
    }
    return released;
}

FontPageRelease::FontPageRelease(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSettleMs);
    connect(&m_timer, &QTimer::timeout, this, [] { ReleaseFontPages(); });
}

void FontPageRelease::Schedule()
{
    m_timer.start();
}
