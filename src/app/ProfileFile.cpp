#include "ProfileFile.h"

#include <QFile>
#include <QSaveFile>

namespace {

bool isSectionHeader(const QString& trimmed)
{
    return trimmed.startsWith(QLatin1Char('[')) && trimmed.contains(QLatin1Char(']'));
}

QString sectionName(const QString& trimmed)
{
    return trimmed.mid(1, trimmed.indexOf(QLatin1Char(']')) - 1).trimmed();
}

} // namespace

ProfileFile::ProfileFile(const QString& path)
    : m_path(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return;
    // Keep the file's own line ends for lines we add.
    m_newline = bytes.contains("\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\n");
    m_endsWithNewline = bytes.endsWith('\n');
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_lines = text.split(QLatin1Char('\n'));
    if (m_endsWithNewline)
        m_lines.removeLast();
}

int ProfileFile::findSection(const QString& section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString trimmed = m_lines[i].trimmed();
        if (isSectionHeader(trimmed) && sectionName(trimmed).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ProfileFile::findKey(int header, const QString& key) const
{
    for (int i = header + 1; i < m_lines.size(); ++i) {
        const QString trimmed = m_lines[i].trimmed();
        if (isSectionHeader(trimmed))
            return -1;
        const int eq = trimmed.indexOf(QLatin1Char('='));
        if (eq > 0 && trimmed.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ProfileFile::sectionEnd(int header) const
{
    int end = header + 1;
    for (int i = header + 1; i < m_lines.size(); ++i) {
        const QString trimmed = m_lines[i].trimmed();
        if (isSectionHeader(trimmed))
            break;
        if (!trimmed.isEmpty())
            end = i + 1;
    }
    return end;
}

QString ProfileFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const int header = findSection(section);
    const int line = header < 0 ? -1 : findKey(header, key);
    if (line < 0)
        return def;
    const QString& text = m_lines[line];
    return text.mid(text.indexOf(QLatin1Char('=')) + 1).trimmed();
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
    const QString entry = key + QLatin1Char('=') + value;
    int header = findSection(section);
    if (header < 0) {
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(entry);
        return;
    }
    const int line = findKey(header, key);
    if (line >= 0)
        m_lines[line] = entry;
    else
        m_lines.insert(sectionEnd(header), entry);
}

void ProfileFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void ProfileFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool ProfileFile::UpdateFile() const
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QString text = m_lines.join(m_newline);
    if (!m_lines.isEmpty() && m_endsWithNewline)
        text += m_newline;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}
