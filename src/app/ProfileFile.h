#pragma once
// A profile (INI) file with the system profile semantics: "[Section]" headers and
// "Key=Value" lines, sections and keys matched case-insensitively, every other line
// of the file kept as it was. Changes are held in memory until UpdateFile, which
// replaces the file atomically.

#include <QString>
#include <QStringList>

class ProfileFile {
public:
    // Reads the file if it exists; a missing or unreadable file is an empty profile.
    explicit ProfileFile(const QString& path);

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // A value that is not a decimal integer (optional sign, surrounding blanks allowed)
    // in the 32-bit range gives the default.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    // A new key goes at the end of its section; a new section at the end of the file.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    // Writes the file through a temporary file and a rename. False when that failed;
    // the previous file is then untouched.
    bool UpdateFile() const;

    const QStringList& Lines() const { return m_lines; }

private:
    // Index of the section header line, or -1.
    int findSection(const QString& section) const;
    // Index of the key's line within the section starting at `header`, or -1.
    int findKey(int header, const QString& key) const;
    // One past the section's last non-blank line.
    int sectionEnd(int header) const;

    QString m_path;
    QStringList m_lines;
    QString m_newline = QStringLiteral("\r\n");
    bool m_endsWithNewline = true;
};
