#pragma once
// The one way the program writes a file: into a temporary file beside the target, made
// durable, then renamed over the target. Until the rename the target keeps its old
// contents whatever happens to the process or the disk.
//
// A target reached through symbolic links is the file at the end of the links: the
// links stay as they are and that file is replaced (a link that leads nowhere yet gets
// its file created). Only the saving user's own files are replaced: a target that
// exists and is not a regular file (a FIFO, a device, a folder, a socket), or belongs
// to someone else, is never replaced, and through a link the folder at its end must let
// this user rename in it (write and search permission, and the sticky bit's rule), read
// from its mode bits so that root is refused alike. The replacement keeps the old file's
// mode. A refused target gets nothing written at all.
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
        NotOurs,     // the target is someone else's, or its folder forbids the rename: refused
        NoTemporary, // no temporary file could be made beside the target
    };

    // Error() of a target that is not a regular file; the other failures are errno values.
    static constexpr int NotRegularError = -1;

    explicit ReplaceFile(const QString& target);
    // Without Commit the temporary file is removed and the target left as it was.
    ~ReplaceFile();
    ReplaceFile(const ReplaceFile&) = delete;
    ReplaceFile& operator=(const ReplaceFile&) = delete;

    Status State() const { return m_status; }
    bool IsOpen() const { return m_status == Status::Open && m_stream; }
    // The stream to write; null unless IsOpen. Owned by this object.
    std::FILE* Stream() const { return m_stream; }
    // Writes `bytes` to the stream; false (and Error set) when not all were written.
    bool Write(const void* data, std::size_t bytes);
    // Gives the stream a buffer of its own of this size (fewer, larger writes); call
    // before the first write.
    void SetBufferBytes(std::size_t bytes);
    // Flushes, forces the data to the disk, closes and renames over the target. False
    // when any step failed (a full disk shows itself here); the target is then unchanged.
    bool Commit();
    // The file that is replaced: the target with its links followed.
    const QString& FinalTarget() const { return m_final; }
    // Why the write failed: NotRegularError, or an errno value (ENOSPC for a full disk,
    // EACCES for a refused target or folder, ...); 0 while nothing failed.
    int Error() const { return m_error; }

private:
    QString m_final;
    QByteArray m_tempPath;
    std::FILE* m_stream = nullptr;
    std::unique_ptr<char[]> m_buffer;
    Status m_status = Status::NoTemporary;
    int m_error = 0;
    bool m_committed = false;
};

// Replaces `target` with `bytes`; false (target unchanged) on any failure, whose
// ReplaceFile::Error goes to `error` when given.
bool ReplaceFileContents(const QString& target, const QByteArray& bytes, int* error = nullptr);

// The file a write to `path` reaches: symbolic links followed one by one (relative ones
// from their own folder), up to 40 of them; a link that leads nowhere gives the path it
// leads to. `path` itself when it is no link, or when the links loop.
QString FollowLinks(const QString& path);

// Removes the temporary files a killed write left beside each of `targets` (links
// followed): regular files named "<name>.tmp-XXXXXX" in the target's folder, owned by
// this user. Returns how many were removed.
int RemoveStaleTemporaries(const QStringList& targets);
