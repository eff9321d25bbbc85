// Styles, the style manager and the gradient object of the styled controls.

#include "Dxcore.h"
#include "Dxregistry.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------
// Styles

TdxTheme TdxStyle::GetTheme() const
{
    if (m_UseStyleManager && m_OwnerControl && m_OwnerControl->StyleManager())
        return m_OwnerControl->StyleManager()->Theme();
    return m_Theme;
}

void TdxStyle::SetTheme(TdxTheme value)
{
    if (m_Theme == value)
        return;
    m_Theme = value;
    if (m_OwnerControl)
        m_OwnerControl->InternalRedraw();
}

void TdxStyle::SetUseStyleManager(bool value)
{
    if (m_UseStyleManager == value)
        return;
    m_UseStyleManager = value;
    if (m_OwnerControl)
        m_OwnerControl->InternalRedraw();
}

TdxCustomStyleControl::TdxCustomStyleControl(QWidget* parent)
    : TdxCustomControl(parent), m_Style(std::make_unique<TdxStyle>(this))
{
}

TdxCustomStyleControl::~TdxCustomStyleControl()
{
    if (m_StyleManager)
        m_StyleManager->UnregisterControls({this});
}

void TdxCustomStyleControl::SetStyleManager(TdxStyleManager* value)
{
    if (value == m_StyleManager)
        return;
    if (value)
        value->RegisterControls({this});
    if (m_StyleManager)
        m_StyleManager->UnregisterControls({this});
    m_StyleManager = value;
    InternalRedraw();
}

void TdxCustomStyleControl::Notification(QObject* component, TOperation operation)
{
    if (operation != opRemove)
        return;
    auto* manager = qobject_cast<TdxStyleManager*>(component);
    if (!manager)
        return;
    if (m_StyleManager && m_StyleManager != manager)
        m_StyleManager->UnregisterControls({this});
    if (m_StyleManager) {
        m_StyleManager = nullptr;
        InternalRedraw();
    }
}

TdxStyleManager::TdxStyleManager(QObject* owner) : TdxCustomComponent(owner) {}

TdxStyleManager::~TdxStyleManager()
{
    InvalidateControls();
    const QList<TdxCustomStyleControl*> registered = m_RegisteredControls;
    m_RegisteredControls.clear();
    const auto* ownerWidget = qobject_cast<QWidget*>(parent());
    const QWidget* ownerWindow = ownerWidget ? ownerWidget->window() : nullptr;
    std::vector<QPointer<TdxCustomStyleControl>> affected;
    for (TdxCustomControl* c : dxLiveControls()) {
        auto* styled = qobject_cast<TdxCustomStyleControl*>(c);
        if (styled && (registered.contains(styled) || (ownerWindow && styled->window() == ownerWindow)))
            affected.emplace_back(styled);
    }
    for (const QPointer<TdxCustomStyleControl>& c : affected)
        if (c)
            c->Notification(this, opRemove);
}

void TdxStyleManager::SetTheme(TdxTheme value)
{
    if (m_Theme == value)
        return;
    m_Theme = value;
    if (OnThemeChanged)
        OnThemeChanged(this);
    emit themeChanged();
    InvalidateControls();
}

void TdxStyleManager::RegisterControls(std::initializer_list<TdxCustomStyleControl*> controls)
{
    for (TdxCustomStyleControl* c : controls)
        if (c && !m_RegisteredControls.contains(c))
            m_RegisteredControls.append(c);
}

void TdxStyleManager::UnregisterControls(std::initializer_list<TdxCustomStyleControl*> controls)
{
    for (TdxCustomStyleControl* c : controls)
        m_RegisteredControls.removeAll(c);
}

void TdxStyleManager::InvalidateControls()
{
    const QList<TdxCustomStyleControl*> controls = m_RegisteredControls;
    for (TdxCustomStyleControl* c : controls)
        c->InternalRedraw();
}

// ---------------------------------------------------------------------------------------
// TdxGradient

void TdxGradient::Changed()
{
    RecreateBands();
    if (m_HostControl)
        m_HostControl->InternalRedraw();
}

void TdxGradient::SetColors(TdxGradientColors value)
{
    value = TdxGradientColors(std::max(2, int(value)));
    if (m_Colors == value)
        return;
    m_Colors = value;
    Changed();
}

void TdxGradient::SetDithered(bool value)
{
    if (m_Dithered == value)
        return;
    m_Dithered = value;
    Changed();
}

void TdxGradient::SetEnabled(bool value)
{
    if (m_Enabled == value)
        return;
    m_Enabled = value;
    if (m_HostControl)
        m_HostControl->InternalRedraw();
}

void TdxGradient::SetEndColor(TColor value)
{
    if (m_EndColor == value)
        return;
    m_EndColor = value;
    Changed();
}

void TdxGradient::SetStartColor(TColor value)
{
    if (m_StartColor == value)
        return;
    m_StartColor = value;
    Changed();
}

void TdxGradient::SetGradientStyle(TdxGradientStyle value)
{
    if (m_Style == value)
        return;
    m_Style = value;
    Changed();
}

void TdxGradient::RecreateBands()
{
    if (!m_HostControl)
        return;
    dxCreateGradientRect(m_HostControl->width(), m_HostControl->height(), m_StartColor, m_EndColor, m_Colors,
                         m_Style, m_Dithered, m_BandImage);
}
