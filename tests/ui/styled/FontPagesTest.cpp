#include "FontPages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

TEST(FontPages, OnlyFontFilesMappedReadOnlyWithNoPageOfTheirOwnAreTaken)
{
    const QByteArray smaps =
        "7f0000000000-7f0000100000 r--p 00000000 fe:00 11 /usr/share/fonts/truetype/baekmuk/gulim.ttf\n"
        "Rss:                 512 kB\n"
        "Anonymous:             0 kB\n"
        "VmFlags: rd mr mw me sd\n"
        "7f0000200000-7f0000300000 r--p 00000000 fe:00 12 /home/a b/My Fonts/Face One.OTF\n"
        "Anonymous:             0 kB\n"
        // written before it was made read-only: the process's own copy
        "7f0000400000-7f0000500000 r--p 00000000 fe:00 13 /usr/share/fonts/x.ttf\n"
        "Anonymous:             4 kB\n"
        "7f0000600000-7f0000700000 rw-p 00000000 fe:00 14 /usr/share/fonts/y.ttf\n"
        "Anonymous:             0 kB\n"
        "7f0000800000-7f0000900000 r--s 00000000 fe:00 15 /usr/share/fonts/z.ttf\n"
        "Anonymous:             0 kB\n"
        "7f0000a00000-7f0000b00000 r-xp 00000000 fe:00 16 /usr/lib/libQt6Gui.so.6\n"
        "Anonymous:             0 kB\n"
        "7f0000c00000-7f0000c10000 r--p 00000000 fe:00 17 /var/cache/fontconfig/ab-le64.cache-8\n"
        "Anonymous:             0 kB\n"
        "7f0000d00000-7f0000d10000 r--p 00000000 00:00 0 \n"
        "Anonymous:             0 kB\n";
    const std::vector<MappedRange> ranges = FontFileMappings(smaps.toStdString());
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0].from, 0x7f0000000000u);
    EXPECT_EQ(ranges[0].to, 0x7f0000100000u);
    EXPECT_EQ(ranges[1].from, 0x7f0000200000u);
    EXPECT_EQ(ranges[2].from, 0x7f0000c00000u);
    EXPECT_TRUE(FontFileMappings(std::string_view("garbage\n-\n - \nAnonymous: 0 kB\n")).empty());
}

long residentKib(const void* at)
{
    QFile file(QStringLiteral("/proc/self/smaps"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray start = QByteArray::number(reinterpret_cast<quintptr>(at), 16) + '-';
    bool inside = false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(start))
            inside = true;
        else if (inside && line.startsWith("Rss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// A face mapped as the font library maps it: its pages leave the process's resident
// memory and read back as the file holds them.
TEST(FontPages, ReleasedPagesLeaveResidentMemoryAndReadBackUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("face.ttf"));
    QByteArray bytes(1 << 20, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 4096);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    void* map = ::mmap(nullptr, static_cast<std::size_t>(bytes.size()), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    ASSERT_NE(map, MAP_FAILED);
    const auto* pages = static_cast<const volatile char*>(map);
    int sum = 0;
    for (int i = 0; i < bytes.size(); i += 4096)
        sum += pages[i];
    (void)sum;
    EXPECT_GE(residentKib(map), 1000);

    EXPECT_GE(ReleaseFontPages(), 1);
    EXPECT_EQ(residentKib(map), 0);
    EXPECT_EQ(std::memcmp(map, bytes.constData(), static_cast<std::size_t>(bytes.size())), 0);
    ::munmap(map, static_cast<std::size_t>(bytes.size()));
}

} // namespace
