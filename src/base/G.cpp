#include "G.h"

#include "Diagnostics.h"

MessageSeam& MessageSeamInstance()
{
    static MessageSeam seam;
    return seam;
}

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    MessageSeamInstance().handler = std::move(handler);
}

void SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    MessageSeamInstance().presenter = std::move(presenter);
}

int ShowMessageBox(const QString& caption, const QString& text, int flags, bool ownedByApp)
{
    const MessageSeam& seam = MessageSeamInstance();
    if (seam.handler)
        return seam.handler(caption, text, flags);
    if (seam.presenter)
        return seam.presenter(caption, text, flags, ownedByApp);
    ReportProblem(caption + QStringLiteral(": ") + text);
    return IDOK;
}

int ShowNotice(const QString& text, int flags)
{
    return ShowMessageBox(QStringLiteral("알림"), text, flags);
}

int ShowWarning(const QString& text, int flags)
{
    return ShowMessageBox(QStringLiteral("경고"), text, flags);
}
