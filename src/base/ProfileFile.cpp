#include "ProfileFile.h"

#include "Diagnostics.h"
#include "FileName.h"
#include "ReplaceFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isSectionHeader(const QByteArray& trimmed)
{
    return trimmed.startsWith('[') && trimmed.contains(']');
}

QByteArray sectionName(const QByteArray& trimmed)
{
    return trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed();
}

// The line end a stored line carries: "\r\n", "\n", or nothing for an unterminated last line.
QByteArray lineEnd(const QByteArray& line)
{
    if (line.endsWith("\r\n"))
        return QByteArrayLiteral("\r\n");
    if (line.endsWith('\n'))
        return QByteArrayLiteral("\n");
    return {};
}

QByteArray content(const QByteArray& line)
{
    return line.left(line.size() - lineEnd(line).size());
}

QString fileName(const QString& path)
{
    return ReadableFileName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

// Opening with O_NONBLOCK never waits for a FIFO's writer; the caller checks with fstat
// that it got a regular file before reading from it.
int openForReading(const QString& path)
{
    return ::open(FileNameBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

bool isRegular(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Reads up to `limit` bytes; -1 on a read error.
qint64 readUpTo(int fd, char* buffer, qint64 limit)
{
    qint64 total = 0;
    while (total < limit) {
        const ssize_t got = ::read(fd, buffer + total, static_cast<size_t>(limit - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

} // namespace

ProfileFile::ProfileFile(const QString& path, Problems problems)
    : m_path(path)
    , m_reportProblems(problems == Problems::Report)
{
    const int fd = openForReading(path);
    if (fd < 0) {
        const int error = errno;
        if (error != ENOENT) {
            m_source = Source::Refused;
            m_refusal = error;
            report(QStringLiteral("%1 cannot be read (%2); its settings are ignored and it will not be written")
                       .arg(fileName(path), QString::fromLocal8Bit(std::strerror(error))));
        }
        return;
    }
    if (!isRegular(fd)) {
        ::close(fd);
        m_source = Source::Refused;
        m_refusal = ReplaceFile::NotRegularError;
        report(QStringLiteral("%1 is not a regular file; its settings are ignored and it will not be written")
                   .arg(fileName(path)));
        return;
    }
    readFrom(fd, kReadLimitBytes);
    ::close(fd);
}

void ProfileFile::readFrom(int fd, qint64 limit)
{
    QByteArray bytes(limit + 1, Qt::Uninitialized);
    const qint64 got = readUpTo(fd, bytes.data(), limit + 1);
    if (got < 0) {
        m_source = Source::Refused;
        m_refusal = errno;
        report(QStringLiteral("%1 cannot be read; its settings are ignored and it will not be written")
                   .arg(fileName(m_path)));
        return;
    }
    bytes.truncate(got);
    m_source = Source::Read;
    if (got > limit) {
        // Whole lines of the first `limit` bytes are parsed; the file is left as it is.
        bytes.truncate(bytes.lastIndexOf('\n', limit - 1) + 1);
        m_source = Source::Truncated;
        struct stat st {};
        const qint64 size = ::fstat(fd, &st) == 0 ? qint64(st.st_size) : got;
        report(QStringLiteral("%1 is %2 bytes long; only its first %3 bytes were read, and it will not be "
                              "rewritten")
                   .arg(fileName(m_path))
                   .arg(size)
                   .arg(limit));
    }
    const qsizetype firstEnd = bytes.indexOf('\n');
    if (firstEnd >= 0)
        m_newline = (firstEnd > 0 && bytes.at(firstEnd - 1) == '\r') ? QByteArrayLiteral("\r\n")
                                                                     : QByteArrayLiteral("\n");
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        m_lines.append(bytes.mid(start, end - start));
        start = end;
    }
}

void ProfileFile::report(const QString& text) const
{
    if (m_reportProblems)
        ReportProblem(text);
}

int ProfileFile::findSection(const QByteArray& section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        const QByteArray trimmed = m_lines[i].trimmed();
        if (isSectionHeader(trimmed) && sectionName(trimmed).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ProfileFile::findKey(int header, const QByteArray& key) const
{
    for (int i = header + 1; i < m_lines.size(); ++i) {
        const QByteArray trimmed = m_lines[i].trimmed();
        if (isSectionHeader(trimmed))
            return -1;
        const qsizetype eq = trimmed.indexOf('=');
        if (eq > 0 && trimmed.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ProfileFile::sectionEnd(int header) const
{
    int end = header + 1;
    for (int i = header + 1; i < m_lines.size(); ++i) {
        const QByteArray trimmed = m_lines[i].trimmed();
        if (isSectionHeader(trimmed))
            break;
        if (!trimmed.isEmpty())
            end = i + 1;
    }
    return end;
}

void ProfileFile::terminateLine(int index)
{
    if (index >= 0 && index < m_lines.size() && lineEnd(m_lines[index]).isEmpty())
        m_lines[index].append(m_newline);
}

QString ProfileFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const int header = findSection(section.toUtf8());
    const int line = header < 0 ? -1 : findKey(header, key.toUtf8());
    if (line < 0)
        return def;
    const QByteArray text = content(m_lines[line]);
    return QString::fromUtf8(text.mid(text.indexOf('=') + 1).trimmed());
}

int ProfileFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    const QString text = ReadString(section, key, QString());
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : def;
}

bool ProfileFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void ProfileFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QByteArray entry = key.toUtf8() + '=' + value.toUtf8();
    const int header = findSection(section.toUtf8());
    if (header < 0) {
        terminateLine(int(m_lines.size()) - 1);
        m_lines.append('[' + section.toUtf8() + ']' + m_newline);
        m_lines.append(entry + m_newline);
        return;
    }
    const int line = findKey(header, key.toUtf8());
    if (line >= 0) {
        m_lines[line] = entry + lineEnd(m_lines[line]);
        return;
    }
    const int at = sectionEnd(header);
    terminateLine(at - 1);
    m_lines.insert(at, entry + m_newline);
}

void ProfileFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void ProfileFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool ProfileFile::UpdateFile(int* error) const
{
    if (m_source == Source::Refused || m_source == Source::Truncated) {
        if (error)
            *error = m_source == Source::Truncated ? EFBIG : m_refusal;
        return false;
    }
    // A path that has become something else than a regular file since it was read is
    // refused there.
    QByteArray bytes;
    for (const QByteArray& line : m_lines)
        bytes += line;
    return ReplaceFileContents(m_path, bytes, error);
}
