#pragma once
// A profile (INI) file with the system profile semantics: "[Section]" headers and
// "Key=Value" lines, sections and keys matched case-insensitively (ASCII), every other
// byte of the file kept as it was. Changes are held in memory until UpdateFile, which
// replaces the file atomically.
//
// The file is handled as bytes, never decoded: a comment in code page 949, stray binary
// bytes or mixed line ends survive a save unchanged, and only the lines of the keys that
// are written change. Only the first kReadLimitBytes bytes of a file are parsed, and a
// larger file is never rewritten, so a damaged or huge file neither slows the start nor
// grows. Anything but a regular file (a FIFO, a device, a folder) is
// refused for reading and for writing, without opening it in a way that could block.

#include <QByteArray>
#include <QList>
#include <QString>

class ProfileFile {
public:
    static constexpr qint64 kReadLimitBytes = 64 * 1024;

    // How the constructor found the file.
    enum class Source {
        Missing,    // no file: an empty profile
        Read,       // read whole
        Truncated,  // larger than kReadLimitBytes: its first lines were parsed; UpdateFile will not write it
        Refused,    // not a regular file, or unreadable: an empty profile that UpdateFile will not write
    };

    enum class Problems { Report, Quiet };

    // Reads the file if it exists. With Problems::Report, the reason for a Truncated or
    // Refused source is reported through ReportProblem (Diagnostics.h).
    explicit ProfileFile(const QString& path, Problems problems = Problems::Report);

    Source FileSource() const { return m_source; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // A value that is not a decimal integer (optional sign, surrounding blanks allowed)
    // in the 32-bit range gives the default.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    // A changed key keeps its line's place and line end. A new key goes after the last
    // non-blank line of its section; a new section at the end of the file.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    // Writes the file through a temporary file and a rename. False when that failed, the
    // path is not a regular file or the file was too large to read whole; the previous file
    // is then untouched, and `error` (when given) says why: ReplaceFile's Error, EFBIG for
    // a file too large to have been read whole, ReplaceFile::NotRegularError or the read's
    // errno for a refused one.
    bool UpdateFile(int* error = nullptr) const;

    // The parsed lines, each with its own line end (the last may have none).
    const QList<QByteArray>& Lines() const { return m_lines; }

private:
    // Index of the section header line, or -1.
    int findSection(const QByteArray& section) const;
    // Index of the key's line within the section starting at `header`, or -1.
    int findKey(int header, const QByteArray& key) const;
    // One past the section's last non-blank line.
    int sectionEnd(int header) const;
    // Makes sure line `index` ends with a line end before something is put after it.
    void terminateLine(int index);
    void readFrom(int fd, qint64 limit);
    void report(const QString& text) const;

    QString m_path;
    Source m_source = Source::Missing;
    int m_refusal = 0;  // why a Refused file was refused
    QList<QByteArray> m_lines;
    QByteArray m_newline = "\r\n";  // the file's first line end, for lines we add
    bool m_reportProblems = true;
};
