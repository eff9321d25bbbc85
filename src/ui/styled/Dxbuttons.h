#pragma once
// The styled push button (TdxButton) and the caption tool button (TdxToolButton).
//
// TdxButton: a rounded dark outline around a white-to-warm-grey gradient face, an orange
// ring while hovered, a blue ring while focused, while it is the active default button or
// while pressed with the mouse moved off it, a pressed face with the content shifted by
// (1, 1), an optional glyph beside, above or below the caption, and an embossed caption
// with a greyed glyph when disabled. Its look does not depend on the style's theme.
//
//   auto* play = new TdxButton(panel);
//   play->setGeometry(4, 4, 24, 18);
//   play->SetGlyph(QImage(":/play.bmp"));       // bottom-left pixel colour is transparent
//   play->OnClick = [](QObject*) { ... };       // or connect to clicked()
//
// Keyboard: space presses and releases it like the mouse; Enter clicks the focused button,
// or the Default button while no styled control has the focus; Escape (without Shift, Ctrl
// or Alt) clicks the Cancel button; Alt+accelerator ("&Save") clicks it from anywhere in
// its window, the letter alone when it is focused.
//
// TdxToolButton: fixed 15 x 15, one of seven built-in glyphs tinted in Color (clBlack = no
// tint) on the parent's background; WindowsXP draws raised and sunken frames, OfficeXP a
// flat outlined highlight.
//
// Everything is GUI-thread only.

#include "Dxactions.h"
#include "Dxcore.h"

#include <QImage>
#include <QPointer>

#include <memory>

enum TdxLayout : std::uint8_t { blGlyphLeft = 0, blGlyphRight = 1, blGlyphTop = 2, blGlyphBottom = 3 };

class TdxCustomButton;

// Links a button to a TdxAction: caption, enabled state and hint follow the action, a click
// runs it, and its image index selects the glyph from the action list's image list.
class TdxCustomButtonActionLink {
public:
    explicit TdxCustomButtonActionLink(TdxCustomButton* client);
    // Repaints the button, which then falls back to its own Glyph.
    ~TdxCustomButtonActionLink();
    TdxCustomButtonActionLink(const TdxCustomButtonActionLink&) = delete;
    TdxCustomButtonActionLink& operator=(const TdxCustomButtonActionLink&) = delete;

    TdxCustomButton* ButtonClient() const { return m_ButtonClient; }
    TdxAction* Action() const { return m_Action; }
    void SetAction(TdxAction* action);
    bool IsImageIndexLinked() const { return true; }
    // Stores the index in the button (no range check) and repaints it.
    void SetImageIndex(int index);
    // Runs the action; false when there is none.
    bool Execute();

private:
    TdxCustomButton* m_ButtonClient;
    QPointer<TdxAction> m_Action;
    QList<QMetaObject::Connection> m_Connections;
};

class TdxCustomButton : public TdxCustomStyleControl {
    Q_OBJECT
public:
    // 73 x 21, in the tab order.
    explicit TdxCustomButton(QWidget* parent = nullptr);
    ~TdxCustomButton() override;

    // Grey the glyph while disabled (default true).
    bool AutoGray() const { return m_AutoGray; }
    virtual void SetAutoGray(bool value);
    // Escape clicks the button (default false).
    bool Cancel() const { return m_Cancel; }
    void SetCancel(bool value) { m_Cancel = value; }
    // Enter clicks the button while no styled control has the focus, and it then shows the
    // blue ring (default false).
    bool Default() const { return m_Default; }
    virtual void SetDefault(bool value);
    // Drawn with its bottom-left pixel's colour transparent; may be null.
    const QImage& Glyph() const { return m_Glyph; }
    virtual void SetGlyph(const QImage& value);
    TdxLayout Layout() const { return m_Layout; }
    virtual void SetLayout(TdxLayout value);
    // An ampersand in the caption marks the underlined accelerator (default true).
    bool ShowAccelChar() const { return m_ShowAccelChar; }
    virtual void SetShowAccelChar(bool value);
    // Dotted rectangle inside the button while focused (default false).
    bool ShowFocusRect() const { return m_ShowFocusRect; }
    virtual void SetShowFocusRect(bool value);
    // Softens the outline's four corners (default true).
    bool SmoothEdges() const { return m_SmoothEdges; }
    virtual void SetSmoothEdges(bool value);
    // Pixels between glyph and caption (default 3).
    std::uint8_t Spacing() const { return m_Spacing; }
    virtual void SetSpacing(std::uint8_t value);
    // The caption may wrap onto several lines (default true).
    bool WordWrap() const { return m_WordWrap; }
    virtual void SetWordWrap(bool value);

    // --- action link ---
    TdxAction* Action() const;
    // Null unlinks.
    void SetAction(TdxAction* action);
    // Glyph index in the linked action's image list, -1 for none.
    int ActionImageIndex() const { return m_ActionImageIndex; }
    void SetActionImageIndex(int value) { m_ActionImageIndex = value; }
    virtual void ActionChange(QObject* sender, bool checkDefaults);
    void ImageListChange(TdxImageList* sender);

    // The ring shows: pressed with the mouse off the button, else hovered or focused; and,
    // unless ignoreDefault, as the active default button.
    bool IsSpecialDrawState(bool ignoreDefault) const;

    // The four gradients, rebuilt only when the size changes.
    const QImage& FaceImage() const { return m_FaceImage; }
    const QImage& PressedImage() const { return m_PressedImage; }
    const QImage& FocusImage() const { return m_FocusImage; }
    const QImage& HotImage() const { return m_HotImage; }

    void HookResized() override;
    bool CMDialogKey(int key, Qt::KeyboardModifiers shift) override;

protected:
    void Paint(QPainter& canvas) override;
    void KeyDown(int& key, Qt::KeyboardModifiers shift) override;
    void KeyUp(int& key, Qt::KeyboardModifiers shift) override;
    bool ExecuteAction() override;

private:
    friend class TdxCustomButtonActionLink;
    QImage CurrentGlyph() const;
    void PaintFace(QPainter& canvas, bool special, bool pressed) const;
    void PaintOutline(QPainter& canvas) const;
    void PaintContent(QPainter& canvas, bool pressed);

    bool m_AutoGray = true;
    QImage m_FaceImage;
    bool m_Cancel = false;
    QImage m_PressedImage;
    bool m_Default = false;
    QImage m_FocusImage;
    QImage m_Glyph;
    QImage m_HotImage;
    std::unique_ptr<TdxChangeLink> m_ImagesLink;
    int m_ActionImageIndex = -1;
    TdxLayout m_Layout = blGlyphLeft;
    bool m_ShowAccelChar = true;
    bool m_ShowFocusRect = false;
    bool m_SmoothEdges = true;
    std::uint8_t m_Spacing = 3;
    bool m_WordWrap = true;
    std::unique_ptr<TdxCustomButtonActionLink> m_ActionLink;
};

class TdxButton : public TdxCustomButton {
    Q_OBJECT
public:
    using TdxCustomButton::TdxCustomButton;
};

enum TdxToolType : std::uint8_t {
    ttArrowLeft = 0,
    ttArrowRight = 1,
    ttClose = 2,
    ttMaximize = 3,
    ttMinimize = 4,
    ttPopup = 5,
    ttRestore = 6,
};

// The glyph name of a tool type: its enumeration name without "tt" ("Close", ...).
QString dxToolTypeName(TdxToolType type);

// The system's dotted focus rectangle: every other pixel of the border inverted.
void dxDrawFocusRect(QPainter& canvas, const TRect& r);

// A bool property of a styled button: when set, screen readers see the button as
// checkable, checked while it is true (the play button while a song is heard).
inline constexpr char kDxAccessibleChecked[] = "dxAccessibleChecked";

class TdxCustomToolButton : public TdxCustomStyleControl {
    Q_OBJECT
public:
    // 15 x 15, ttClose, Color clBlack (untinted); not in the tab order. Whoever puts it
    // in the tab order gets a button that Space and Enter press, and that marks the
    // focus with a dotted rectangle when the focus came by the keyboard.
    explicit TdxCustomToolButton(QWidget* parent = nullptr);

    TdxToolType ToolType() const { return m_ToolType; }
    virtual void SetToolType(TdxToolType value);

    // Keeps the button at 15 x 15 whatever size it is given.
    void HookResized() override;

    bool CMDialogKey(int key, Qt::KeyboardModifiers shift) override;

protected:
    void Paint(QPainter& canvas) override;
    QString DesignName() const override;
    void KeyDown(int& key, Qt::KeyboardModifiers shift) override;
    void KeyUp(int& key, Qt::KeyboardModifiers shift) override;

private:
    TdxToolType m_ToolType = ttClose;
};

class TdxToolButton : public TdxCustomToolButton {
    Q_OBJECT
public:
    using TdxCustomToolButton::TdxCustomToolButton;
};
