#pragma once
// Internal to the styled controls: the live-control registry and the per-window key and
// focus router.

#include <QList>
#include <QPointer>
#include <vector>

class QWidget;
class TdxCustomControl;

// Every live control, in creation order. Walking this instead of the widget tree keeps
// broadcasts safe while a window is deleting its children.
std::vector<TdxCustomControl*>& dxLiveControls();
// The live controls whose top-level window is `form`, guarded against deletion.
QList<QPointer<TdxCustomControl>> dxControlsOf(const QWidget* form);
// Makes screen readers see the buttons as push buttons with a press action; once per process.
void dxEnsureAccessibleFactory();
// Installs the key and focus router on `form` once.
void dxEnsureFormRouter(QWidget* form);
