#include "HandOverMessage.h"

#include "FileName.h"

namespace handover {

namespace {

QByteArray blockHeader(bool open, int count)
{
    return (open ? QByteArrayLiteral("open ") : QByteArrayLiteral("add ")) + QByteArray::number(count) + '\n';
}

// Room a header may take: "open " + up to four digits + "\n".
constexpr int HeaderBytes = 10;

bool usablePath(const QByteArray& bytes)
{
    return !bytes.isEmpty() && bytes.startsWith('/') && bytes.size() <= MaxPathBytes && !bytes.contains('\0');
}

// Strict decimal 1..MaxPaths: no sign, no spaces, no leading zero.
int parseCount(const QByteArray& digits)
{
    if (digits.isEmpty() || digits.size() > 4 || digits.startsWith('0'))
        return -1;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value <= MaxPaths ? value : -1;
}

} // namespace

QList<QByteArray> EncodeMessages(const QStringList& paths, QStringList* skipped)
{
    QList<QByteArray> messages;
    QList<QByteArray> block;
    int blockBytes = 0;
    auto flush = [&] {
        if (block.isEmpty())
            return;
        QByteArray message = PlainMessage() + blockHeader(messages.isEmpty(), static_cast<int>(block.size()));
        for (const QByteArray& path : block)
            message += path + '\0';
        messages.append(message);
        block.clear();
        blockBytes = 0;
    };
    const int room = MaxMessageBytes - static_cast<int>(PlainMessage().size()) - HeaderBytes;
    for (const QString& path : paths) {
        const QByteArray bytes = FileNameBytes(path);
        if (!usablePath(bytes)) {
            if (skipped)
                skipped->append(path);
            continue;
        }
        const int size = static_cast<int>(bytes.size()) + 1;
        if (blockBytes + size > room || block.size() >= MaxPaths)
            flush();
        block.append(bytes);
        blockBytes += size;
    }
    flush();
    if (messages.isEmpty())
        messages.append(PlainMessage());
    return messages;
}

Reader::State Reader::Fail()
{
    m_paths.clear();
    m_buffer.clear();
    return m_state = State::Bad;
}

Reader::State Reader::Feed(const QByteArray& bytes)
{
    if (m_state == State::Bad || m_state == State::Complete)
        return bytes.isEmpty() || m_state == State::Bad ? m_state : Fail();  // nothing may follow
    m_total += static_cast<int>(bytes.size());
    if (m_total > MaxMessageBytes)
        return Fail();
    m_buffer += bytes;
    return Parse();
}

Reader::State Reader::Finish()
{
    if (m_state == State::HandedOver && m_expected < 0 && m_taken == m_buffer.size())
        return m_state;
    if (m_state == State::Complete)
        return m_state;
    return Fail();
}

Reader::State Reader::Parse()
{
    if (!m_haveLine) {
        const int end = static_cast<int>(m_buffer.indexOf('\n'));
        if (end < 0)
            return m_buffer.size() >= PlainMessage().size() ? Fail() : (m_state = State::NeedMore);
        if (m_buffer.left(end + 1) != PlainMessage())
            return Fail();
        m_haveLine = true;
        m_taken = end + 1;
        m_state = State::HandedOver;
    }
    if (m_expected < 0) {
        if (m_taken == m_buffer.size())
            return m_state;  // HandedOver: the peer may end here
        const int end = static_cast<int>(m_buffer.indexOf('\n', m_taken));
        if (end < 0)
            return m_buffer.size() - m_taken > HeaderBytes ? Fail() : m_state;
        const QByteArray header = m_buffer.mid(m_taken, end - m_taken);
        QByteArray digits;
        if (header.startsWith("open ")) {
            m_play = true;
            digits = header.mid(5);
        } else if (header.startsWith("add ")) {
            digits = header.mid(4);
        } else {
            return Fail();
        }
        m_expected = parseCount(digits);
        if (m_expected < 0)
            return Fail();
        m_taken = end + 1;
    }
    while (m_paths.size() < m_expected) {
        const int end = static_cast<int>(m_buffer.indexOf('\0', m_taken));
        if (end < 0)
            return m_buffer.size() - m_taken > MaxPathBytes ? Fail() : m_state;
        const QByteArray path = m_buffer.mid(m_taken, end - m_taken);
        if (!usablePath(path))
            return Fail();
        m_paths.append(FileNameFromBytes(path));
        m_taken = end + 1;
    }
    if (m_taken != m_buffer.size())
        return Fail();
    return m_state = State::Complete;
}

} // namespace handover
