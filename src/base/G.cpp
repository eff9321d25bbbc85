#include "G.h"

#include "Diagnostics.h"

G_STRUCT_tag Settings;

namespace {

MessageBoxHandler& handlerSlot()
{
    static MessageBoxHandler handler;
    return handler;
}

MessageBoxPresenter& presenterSlot()
{
    static MessageBoxPresenter presenter;
    return presenter;
}

} // namespace

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    handlerSlot() = std::move(handler);
}

void SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    presenterSlot() = std::move(presenter);
}

int ShowMessageBox(const QString& caption, const QString& text, int flags, bool ownedByApp)
{
    if (handlerSlot())
        return handlerSlot()(caption, text, flags);
    if (presenterSlot())
        return presenterSlot()(caption, text, flags, ownedByApp);
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
