#pragma once
// Base of the owner-drawn controls: one small draw state, one overridable hook per
// notification, repaints only for the notifications a control declares, the keyboard
// a dialog gives its buttons (accelerators, Enter for the default button, Escape for the
// cancel button), and the theme objects shared by the concrete controls.
//
// Everything here lives on the GUI thread.

#include "Dxcoreutils.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

// Informational banner of the control library; shown nowhere in the program.
QString dxLibraryVersion();

// TdxDrawState: a set over these bits.
enum TdxDrawStateItem : std::uint8_t {
    dsDefault = 0x01,
    dsHighlight = 0x02,  // the mouse is over the control
    dsClicked = 0x04,    // pressed by mouse or space bar, release pending
    dsFocused = 0x08,    // the control is the focus widget of its window
};
using TdxDrawState = std::uint8_t;

// TdxControlStyle: the notifications after which a control repaints.
enum TdxControlStyleItem : std::uint16_t {
    csRedrawCaptionChanged = 0x0001,
    csRedrawBorderChanged = 0x0002,
    csRedrawEnabledChanged = 0x0004,
    csRedrawFocusedChanged = 0x0008,
    csRedrawMouseDown = 0x0010,
    csRedrawMouseEnter = 0x0020,
    csRedrawMouseLeave = 0x0040,
    csRedrawMouseMove = 0x0080,
    csRedrawMouseUp = 0x0100,
    csRedrawParentColorChanged = 0x0200,
    csRedrawParentFontChanged = 0x0400,
    csRedrawPosChanged = 0x0800,
    csRedrawResized = 0x1000,
};
using TdxControlStyle = std::uint16_t;
constexpr TdxControlStyle dxDefaultRedrawEvents = 0x037D;

enum TdxTheme : std::uint8_t { WindowsXP = 0, OfficeXP = 1 };
enum TdxGlyphLayout : std::uint8_t { glBottom, glCenter, glTop };
enum TOperation : std::uint8_t { opInsert, opRemove };

// Dialog keys the form offers its controls, with the values handlers compare against.
enum : int { VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 0x20 };

class TdxCustomControl;
class TdxCustomStyleControl;
class TdxStyleManager;

// Handlers receive the sender; an empty handler is not called.
using TNotifyEvent = std::function<void(QObject* sender)>;
using TKeyEvent = std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)>;

// Non-visual base: carries the read-only Version text.
class TdxCustomComponent : public QObject {
    Q_OBJECT
public:
    explicit TdxCustomComponent(QObject* owner = nullptr);
    QString Version() const { return dxLibraryVersion(); }
};

// Declared base that only carries a Color; the controls here do not use it.
class TdxWinControl : public QWidget {
    Q_OBJECT
public:
    explicit TdxWinControl(QWidget* parent = nullptr) : QWidget(parent) {}
    TColor Color() const { return m_Color; }
    void SetColor(TColor value);

private:
    TColor m_Color = clBtnFace;
};

// The self-drawn control base.
//
// Qt events are turned into hooks: enter/leave -> HookMouseEnter/HookMouseLeave (also
// while a press drags the mouse out and back in), a change of the window's focus widget
// -> HookFocusedChanged on every styled control of that window, enabled/palette/font
// changes -> HookEnabledChanged/HookParentColorChanged/HookParentFontChanged,
// move/resize -> HookPosChanged/HookResized, mouse buttons -> HookMouseDown/HookMouseUp.
// Each hook repaints when its RedrawEvents member is set.
//
// Painting is double-buffered: Paint draws into an off-screen image which is then copied
// onto the widget. PaintToImage returns that image (used by tests and tools). The image
// has the device's pixels: Paint draws in the control's own (logical) pixels, and at a
// device pixel ratio of 2 every pixel of the design is two by two device pixels, while
// text and gradients are drawn at the device's resolution.
class TdxCustomControl : public QWidget {
    Q_OBJECT
public:
    explicit TdxCustomControl(QWidget* parent = nullptr);
    ~TdxCustomControl() override;

    // --- state ---
    bool LeftButtonDown() const { return m_LeftButtonDown; }
    TdxDrawState PaintState() const { return m_PaintState; }
    bool UpdateLocked() const { return m_UpdateLocked; }
    // At the last focus change, the window's focus widget was a styled control.
    bool StyledFocus() const { return m_StyledFocus; }
    // The click that runs now came from the mouse (not a key or a screen reader).
    bool ClickedByMouse() const { return m_ClickByMouse; }
    // The focus came by the keyboard (Tab, Shift+Tab, a shortcut): controls that mark
    // the focus only for keyboard users ask this.
    bool KeyboardFocus() const { return m_KeyboardFocus; }
    QString Version() const { return dxLibraryVersion(); }

    // --- properties ---
    // Copied into the window on Click (see Click); 0 leaves a modal dialog open.
    int ModalResult() const { return m_ModalResult; }
    void SetModalResult(int value) { m_ModalResult = value; }
    TdxControlStyle RedrawEvents() const { return m_RedrawEvents; }
    void SetRedrawEvents(TdxControlStyle value) { m_RedrawEvents = value; }
    // Text with an optional "&" accelerator marker; also the accessible name.
    QString Caption() const { return m_Caption; }
    void SetCaption(const QString& value);
    // Tool tip; the accessible name when there is no caption.
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& value);
    // Background colour; follows the parent's background while ParentColor is on.
    TColor Color() const;
    void SetColor(TColor value);
    bool ParentColor() const { return m_ParentColor; }
    void SetParentColor(bool value);
    // Colour of enabled text (clWindowText by default).
    TColor FontColor() const { return m_FontColor; }
    void SetFontColor(TColor value);
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool value) { setEnabled(value); }
    // Whether Tab reaches the control. A control takes the focus on a left press either way.
    bool TabStop() const { return m_TabStop; }
    void SetTabStop(bool value);

    // --- events (called only when assigned) ---
    TNotifyEvent OnClick;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;

    // --- focus ---
    // The control is the focus widget of its window.
    bool Focused() const;
    // Visible and enabled, with every parent.
    bool CanFocus() const;

    // --- overridable operations ---
    // Repaints unless UpdateLocked.
    virtual void InternalRedraw();
    virtual void HookBorderChanged();
    virtual void HookEnabledChanged();
    virtual void HookFocusedChanged();
    virtual void HookMouseDown();
    virtual void HookMouseEnter();
    virtual void HookMouseLeave();
    virtual void HookMouseMove(int x, int y);
    virtual void HookMouseUp();
    virtual void HookParentColorChanged();
    virtual void HookParentFontChanged();
    virtual void HookPosChanged();
    virtual void HookResized();
    virtual void HookTextChanged();
    // A flag, not a counter: one EndUpdate unlocks and repaints once.
    virtual void BeginUpdate();
    virtual void EndUpdate();
    // Writes ModalResult into the window (a QDialog shown modally closes when it is not 0),
    // then runs OnClick, or the linked action when OnClick is empty, and emits clicked().
    virtual void Click();

    // The window offers a character (accelerator) or a dialog key (VK_RETURN, VK_ESCAPE)
    // to its styled controls in turn; true means handled, and nobody else sees it.
    virtual bool CMDialogChar(QChar ch, bool altDown);
    virtual bool CMDialogKey(int key, Qt::KeyboardModifiers shift);

    // Every styled control of `form` re-evaluates its focus state.
    static void BroadcastFocusChanged(QWidget* form);

    // Renders the control as it would appear now, at `devicePixelRatio` device pixels per
    // pixel of the control (the image's size is the control's times that, rounded up).
    QImage PaintToImage(qreal devicePixelRatio = 1.0);

signals:
    void clicked();

protected:
    // Draws the whole control; the canvas is an off-screen image of the control's size,
    // scaled to the device pixel ratio (canvas.device()->devicePixelRatio()).
    virtual void Paint(QPainter& canvas);
    // Runs the linked action, if any; true when there was one.
    virtual bool ExecuteAction();
    // Key handlers; setting key to 0 marks it consumed, else it travels on to the window.
    virtual void KeyDown(int& key, Qt::KeyboardModifiers shift);
    // A button's KeyDown: Space presses the control as the left mouse button does, with
    // the hover look, and is used up; every other key goes on as KeyDown takes it.
    void KeyDownPressingOnSpace(int& key, Qt::KeyboardModifiers shift);
    virtual void KeyUp(int& key, Qt::KeyboardModifiers shift);
    // Name used for accessibility when there is neither caption nor hint.
    virtual QString DesignName() const;
    // Screen position of the mouse cursor.
    virtual QPoint CursorPos() const;
    void UpdateAccessibleName();

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

    TdxDrawState m_PaintState = dsDefault;
    // A quick second press arrives as a double click; when off it is an ordinary press
    // that can click again.
    bool m_DoubleClicks = true;

private:
    void Redraw(TdxControlStyleItem reason);
    void EnsureFormRouter();

    bool m_LeftButtonDown = false;
    bool m_UpdateLocked = false;
    bool m_StyledFocus = false;
    bool m_ClickPending = false;  // left press on the control whose release may click
    bool m_ClickByMouse = false;  // during a click that a mouse release started
    bool m_KeyboardFocus = false;
    bool m_MouseInside = false;   // hover as last reported to the hooks
    int m_ModalResult = 0;
    TdxControlStyle m_RedrawEvents = dxDefaultRedrawEvents;
    QString m_Caption;
    TColor m_Color = clBtnFace;
    bool m_ParentColor = true;
    TColor m_FontColor = clWindowText;
    bool m_TabStop = false;
    QPoint m_MouseScreenPos;
};

// Adds no behaviour.
class TdxUnlimitedControl : public TdxCustomControl {
    Q_OBJECT
public:
    using TdxCustomControl::TdxCustomControl;
};

// The theme of one control.
class TdxStyle {
public:
    explicit TdxStyle(TdxCustomStyleControl* owner) : m_OwnerControl(owner) {}

    TdxTheme Theme() const { return m_Theme; }
    virtual void SetTheme(TdxTheme value);
    bool UseStyleManager() const { return m_UseStyleManager; }
    virtual void SetUseStyleManager(bool value);
    TdxCustomStyleControl* OwnerControl() const { return m_OwnerControl; }
    // The manager's theme when UseStyleManager is on and the owner is bound to a
    // manager, else the style's own.
    TdxTheme GetTheme() const;
    virtual ~TdxStyle() = default;

private:
    TdxTheme m_Theme = WindowsXP;
    bool m_UseStyleManager = true;
    TdxCustomStyleControl* m_OwnerControl;
};

// A control with its own style and an optional shared style manager.
class TdxCustomStyleControl : public TdxCustomControl {
    Q_OBJECT
public:
    explicit TdxCustomStyleControl(QWidget* parent = nullptr);
    ~TdxCustomStyleControl() override;

    TdxStyle* Style() const { return m_Style.get(); }
    TdxStyleManager* StyleManager() const { return m_StyleManager; }
    // Registers with the new manager, unregisters from the old one, repaints.
    virtual void SetStyleManager(TdxStyleManager* value);
    // A style manager being removed (destroyed) clears the binding, whichever manager it
    // is; when it is not the bound one, the control also leaves the bound one's registry.
    virtual void Notification(QObject* component, TOperation operation);

private:
    std::unique_ptr<TdxStyle> m_Style;
    TdxStyleManager* m_StyleManager = nullptr;
};

// A theme shared by many controls, with the registry of those controls.
//
// On destruction it repaints its controls and tells every styled control that shares its
// owner window, and every registered one, that it is gone.
class TdxStyleManager : public TdxCustomComponent {
    Q_OBJECT
public:
    explicit TdxStyleManager(QObject* owner = nullptr);
    ~TdxStyleManager() override;

    TdxTheme Theme() const { return m_Theme; }
    virtual void SetTheme(TdxTheme value);
    // Controls in first-registration order, each once.
    const QList<TdxCustomStyleControl*>& RegisteredControls() const { return m_RegisteredControls; }
    void RegisterControls(std::initializer_list<TdxCustomStyleControl*> controls);
    void UnregisterControls(std::initializer_list<TdxCustomStyleControl*> controls);
    void InvalidateControls();

    // Raised after the theme changed, before the controls repaint.
    TNotifyEvent OnThemeChanged;

signals:
    void themeChanged();

private:
    TdxTheme m_Theme = WindowsXP;
    QList<TdxCustomStyleControl*> m_RegisteredControls;
};

// Gradient bands kept in step with a styled control's size (call RecreateBands when the
// host resizes). Only drawn by the host when Enabled.
class TdxGradient {
public:
    explicit TdxGradient(TdxCustomStyleControl* host) : m_HostControl(host) {}
    virtual ~TdxGradient() = default;

    TdxGradientColors Colors() const { return m_Colors; }
    virtual void SetColors(TdxGradientColors value);
    bool Dithered() const { return m_Dithered; }
    virtual void SetDithered(bool value);
    bool Enabled() const { return m_Enabled; }
    virtual void SetEnabled(bool value);
    TColor EndColor() const { return m_EndColor; }
    virtual void SetEndColor(TColor value);
    TColor StartColor() const { return m_StartColor; }
    virtual void SetStartColor(TColor value);
    TdxGradientStyle Style() const { return m_Style; }
    virtual void SetGradientStyle(TdxGradientStyle value);
    TdxCustomStyleControl* HostControl() const { return m_HostControl; }
    const QImage& BandImage() const { return m_BandImage; }
    // Rebuilds BandImage at the host's current size.
    virtual void RecreateBands();

private:
    void Changed();

    TdxGradientColors m_Colors = 16;
    bool m_Dithered = true;
    bool m_Enabled = false;
    TColor m_EndColor = clSilver;
    TColor m_StartColor = clGray;
    TdxGradientStyle m_Style = gsLeft;
    TdxCustomStyleControl* m_HostControl;
    QImage m_BandImage;
};
