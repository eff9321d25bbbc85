#include "SaveProblems.h"

#include "Diagnostics.h"
#include "G.h"
#include "ReplaceFile.h"

#include <cerrno>
#include <cstring>

QString SaveFailureReason(int error)
{
    switch (error) {
    case ReplaceFile::NotRegularError:
        return QStringLiteral("일반 파일이 아닙니다");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("디스크 공간이 없습니다");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("쓰기 권한이 없습니다");
    default:
        return QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO));
    }
}

QString SaveFailureText(const QString& name, int error)
{
    return QStringLiteral("파일을 저장하지 못했습니다: %1\n%2").arg(name, SaveFailureReason(error));
}

void SaveProblems::Failed(const QString& name, int error)
{
    const QString text = SaveFailureText(name, error);
    ReportProblem(QString(text).replace(QLatin1Char('\n'), QStringLiteral(": ")));
    if (!m_boxes || m_shown.contains(name))
        return;
    m_shown.insert(name);
    ShowWarning(text, MB_ICONEXCLAMATION);
}

void SaveProblems::Succeeded(const QString& name)
{
    m_shown.remove(name);
}

void SaveProblems::TellAtStart(const QString& text)
{
    if (!m_atStart.contains(text))
        m_atStart.append(text);
}

void SaveProblems::ShowStartNotices()
{
    if (m_atStart.isEmpty())
        return;
    const QStringList texts = std::exchange(m_atStart, {});
    for (const QString& text : texts)
        ReportProblem(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    if (m_boxes)
        ShowWarning(texts.join(QStringLiteral("\n\n")), MB_ICONEXCLAMATION);
}
