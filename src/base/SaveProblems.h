#pragma once
// What the listener is told when one of the program's own files cannot be written, or
// could not be read whole at start. One set of rules for every file:
// - a failed write gives the warning "파일을 저장하지 못했습니다: NAME" with the reason
//   on a second line, once per file until a write of that file succeeds; the same text,
//   as one line, goes to stderr at every failure;
// - while boxes are not allowed (the program ends on a signal or with the session),
//   stderr only;
// - what start-up finds (a damaged list, a page file with records it did not read, a
//   read-only folder, a list kept from last time) is gathered and told in one box once
//   the windows are up.
// Boxes go through the seam in G.h, lines through Diagnostics.h. Window thread only.

#include <QSet>
#include <QString>
#include <QStringList>

// The reason line for a failed write: `error` is an errno value or
// ReplaceFile::NotRegularError.
QString SaveFailureReason(int error);
// "파일을 저장하지 못했습니다: NAME" and the reason on the next line.
QString SaveFailureText(const QString& name, int error);

class SaveProblems {
public:
    // A write of the file `name` (shown as it stands) failed with `error`.
    void Failed(const QString& name, int error);
    // A write of `name` succeeded: its next failure is shown again.
    void Succeeded(const QString& name);

    // False from the moment the program ends on a signal or with the session: no box
    // can be answered then.
    void SetBoxesAllowed(bool allowed) { m_boxes = allowed; }
    bool BoxesAllowed() const { return m_boxes; }

    // A text for the one box of start-up (each line also goes to stderr then).
    void TellAtStart(const QString& text);
    // Shows and forgets what TellAtStart gathered; nothing when it is empty.
    void ShowStartNotices();
    const QStringList& StartNotices() const { return m_atStart; }

private:
    QSet<QString> m_shown;  // files whose failure was shown and that were not saved since
    QStringList m_atStart;
    bool m_boxes = true;
};
