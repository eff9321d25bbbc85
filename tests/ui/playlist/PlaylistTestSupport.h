#pragma once
// Shared by the playlist tests: a scratch program folder, captured message boxes and
// byte-level helpers for the files.

#include "AppFolder.h"
#include "G.h"
#include "MusicFile.h"
#include "PageEntry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

struct ShownBox {
    QString Caption;
    QString Text;
    int Flags;
};

class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        SetProgramFolderOverride(m_dir.path());
        SetMessageBoxHandler([this](const QString& caption, const QString& text, int flags) {
            m_boxes.push_back({caption, text, flags});
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHandler({});
        SetProgramFolderOverride({});
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    void WriteBytes(const QString& name, const QByteArray& bytes) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray ReadBytes(const QString& name) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Every file name in the scratch folder, to prove no temporary file stays behind.
    QStringList FolderNames() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_dir;
    std::vector<ShownBox> m_boxes;
};

inline QByteArray RecordBytes(const TMusicFile& record)
{
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof(record));
}

// The record a page entry writes.
inline QByteArray RecordBytes(const PageEntry& entry)
{
    TMusicFile record;
    entry.ToRecord(record);
    return RecordBytes(record);
}

// A page header as a foreign writer might leave it: any signature, the count, and
// anything at all in the bytes nobody reads.
inline QByteArray HeaderBytes(std::int32_t count, char fill = 0)
{
    QByteArray header(500, fill);
    std::memcpy(header.data() + 42, &count, sizeof(count));
    return header;
}

inline TMusicFile MakeRecord(bool isFolder, int level, std::int32_t no, const QString& path)
{
    TMusicFile record;
    record.IsFolder = isFolder ? 1 : 0;
    record.Level = static_cast<std::uint8_t>(level);
    record.No = no;
    EXPECT_TRUE(SetEntryPath(record, path));
    return record;
}

// Frees what a read left on a page's carrier when no tree took it over.
inline void FreeEntries(CMusicFile& page)
{
    for (int i = 0; i < page.Entries->Count(); ++i)
        delete page.Entries->Get(i);
    page.Entries->Clear();
}
