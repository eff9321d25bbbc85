#include "G.h"

#include <QApplication>
#include <QMessageBox>

G_STRUCT_tag Settings;

namespace {

MessageBoxHandler& handlerSlot()
{
    static MessageBoxHandler handler;
    return handler;
}

QMessageBox::Icon iconForFlags(int flags)
{
    switch (flags & 0xF0) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    handlerSlot() = std::move(handler);
}

int ShowMessageBox(const QString& caption, const QString& text, int flags, bool ownedByApp)
{
    if (handlerSlot())
        return handlerSlot()(caption, text, flags);
    QMessageBox box(iconForFlags(flags), caption, text, QMessageBox::Ok,
                    ownedByApp ? QApplication::activeWindow() : nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
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
