#pragma once
// The font files' pages a process has drawn from. The font library maps each face's
// whole file and reads a glyph where it lies; the kernel then maps the 64 KiB of the
// file around every page read (its fault-around), so a few dozen glyphs of a large
// Korean face leave megabytes of the file in the process's resident memory long after
// their pictures and widths sit in the toolkit's caches. ReleaseFontPages() hands those
// pages back: they stay in the system's file cache, and a glyph read again maps its page
// again. Only read-only private mappings of font files and of fontconfig's caches are
// touched, and only those with no page of their own (written), so every page given
// back is the file's.

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string_view>
#include <vector>

struct MappedRange {
    std::uintptr_t from = 0;
    std::uintptr_t to = 0;
};

// Reads /proc/self/smaps a line at a time and keeps the font files' mappings that may be
// released.
class FontMappingScanner {
public:
    void Line(std::string_view line);
    const std::vector<MappedRange>& Ranges() const { return m_ranges; }

private:
    std::vector<MappedRange> m_ranges;
    MappedRange m_range;
    bool m_candidate = false;  // m_range, whose figures follow, is a font file's
};

// The same over the whole text.
std::vector<MappedRange> FontFileMappings(std::string_view smaps);

// Releases the resident pages of this process's font file mappings; the number of
// mappings released, -1 when /proc/self/smaps cannot be read.
int ReleaseFontPages();

// Releases font pages once drawing has settled: Schedule() after whatever may draw new
// glyphs (the windows first shown, a new song's title, a list's new entries); the
// release runs on the window thread a little later, once for any number of requests.
class FontPageRelease : public QObject {
public:
    explicit FontPageRelease(QObject* parent = nullptr);
    void Schedule();

private:
    QTimer m_timer;
};
