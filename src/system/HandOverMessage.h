#pragma once
// The bytes a second start sends to the running copy, and the reader the running copy
// parses them with. One message per connection:
//
//     "1025\n"                               the hand-over: come forward
//     "1025\n" "open <n>\n" <path> "\0" ...   the same, then n paths to add; the first plays
//     "1025\n" "add <n>\n"  <path> "\0" ...   the same, then n more paths, added only
//
// <n> is 1 to MaxPaths in plain decimal; each path is absolute, not empty, at most
// MaxPathBytes long, and ends with a NUL (file names are bytes and hold no NUL). The
// whole message is at most MaxMessageBytes. A sender with more paths sends several
// messages, the first with "open". The path block is all or nothing: anything that
// breaks these rules drops it whole.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace handover {

constexpr int MaxMessageBytes = 64 * 1024;
constexpr int MaxPathBytes = 4096;
constexpr int MaxPaths = 4096;

// The plain hand-over, byte for byte.
inline const QByteArray& PlainMessage()
{
    static const QByteArray message("1025\n");
    return message;
}

// The messages that carry `paths` (absolute), each within MaxMessageBytes; the first
// says "open". Paths that could never fit a message (too long, empty, relative) are
// left out and listed in `skipped`. No paths: the plain message alone.
QList<QByteArray> EncodeMessages(const QStringList& paths, QStringList* skipped = nullptr);

class Reader {
public:
    enum class State {
        NeedMore,   // a message may still be on its way
        HandedOver, // "1025\n" and nothing else yet: complete if the peer ends here
        Complete,   // the path block is whole
        Bad,        // not a hand-over, or a broken path block: drop the connection
    };

    // Takes the next bytes of the connection and says where the message stands.
    State Feed(const QByteArray& bytes);
    // The peer closed its side: a message that stops anywhere but after the hand-over
    // line or after a whole path block is Bad.
    State Finish();
    State Current() const { return m_state; }

    // True once the hand-over line is in, whatever follows it.
    bool HandOver() const { return m_haveLine; }
    // Valid in Complete.
    const QStringList& Paths() const { return m_paths; }
    bool Play() const { return m_play; }

private:
    State Parse();
    State Fail();

    QByteArray m_buffer;
    int m_taken = 0;        // bytes of m_buffer already parsed
    int m_total = 0;        // bytes fed so far
    bool m_haveLine = false;
    int m_expected = -1;    // paths announced, -1 before the block header
    bool m_play = false;
    QStringList m_paths;
    State m_state = State::NeedMore;
};

} // namespace handover
