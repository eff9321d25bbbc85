#pragma once
// The one way the program writes a file: into a temporary file beside the target, made
// durable, then renamed over the target. Until the rename the target keeps its old
// contents whatever happens to the process or the disk.
//
// A target reached through symbolic links is the file at the end of the links: the
// links stay as they are and that file is replaced (a link that leads nowhere yet gets
// its file created). A target that exists and is not a regular file (a FIFO, a device,
// a folder, a socket) is never replaced: nothing is written at all.
//
// Temporary files are named "<target's name>.tmp-XXXXXX" (six letters and digits); one
// that a killed process left behind is removed by RemoveStaleTemporaries at the next
// start.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>

class ReplaceFile {
public:
    enum class Status {
        Open,        // the temporary file is ready for writing
        NotRegular,  // the target exists and is not a regular file: refused
        NoTemporary, // no temporary file could be made beside the target
    };

    explicit ReplaceFile(const QString& target);
    // Without Commit the temporary file is removed and the target left as it was.
    ~ReplaceFile();
    ReplaceFile(const ReplaceFile&) = delete;
    ReplaceFile& operator=(const ReplaceFile&) = delete;

    Status State() const { return m_status; }
    bool IsOpen() const { return m_status == Status::Open && m_stream; }
    // The stream to write; null unless IsOpen. Owned by this object.
    std::FILE* Stream() const { return m_stream; }
    // Gives the stream a buffer of its own of this size (fewer, larger writes); call
    // before the first write.
    void SetBufferBytes(std::size_t bytes);
    // Flushes, forces the data to the disk, closes and renames over the target. False
    // when any step failed (a full disk shows itself here); the target is then unchanged.
    bool Commit();
    // The file that is replaced: the target with its links followed.
    const QString& FinalTarget() const { return m_final; }

private:
    QString m_final;
    QByteArray m_tempPath;
    std::FILE* m_stream = nullptr;
    std::unique_ptr<char[]> m_buffer;
    Status m_status = Status::NoTemporary;
    bool m_committed = false;
};

// Replaces `target` with `bytes`; false (target unchanged) on any failure.
bool ReplaceFileContents(const QString& target, const QByteArray& bytes);

// The file a write to `path` reaches: symbolic links followed one by one (relative ones
// from their own folder), up to 40 of them; a link that leads nowhere gives the path it
// leads to. `path` itself when it is no link, or when the links loop.
QString FollowLinks(const QString& path);

// Removes the temporary files a killed write left beside each of `targets` (links
// followed): regular files named "<name>.tmp-XXXXXX" in the target's folder, owned by
// this user. Returns how many were removed.
int RemoveStaleTemporaries(const QStringList& targets);
