#include "StripLabel.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include <algorithm>

StripLabel::StripLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setAttribute(Qt::WA_TranslucentBackground);
}

bool StripLabel::AsciiInk(const QString& text, int& top, int& bottom) const
{
    bool any = false;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < u' ' || code > u'~')
            return false;
        const std::size_t at = code - u' ';
        if (!m_asciiInkKnown[at]) {
            m_asciiInk[at] = QFontMetrics(m_measures.font).tightBoundingRect(QString(c));
            m_asciiInkKnown[at] = true;
        }
        const QRect& ink = m_asciiInk[at];
        if (ink.isEmpty())
            continue;
        top = any ? std::min(top, ink.top()) : ink.top();
        bottom = any ? std::max(bottom, ink.top() + ink.height()) : ink.top() + ink.height();
        any = true;
    }
    if (!any)
        top = bottom = 0;
    return true;
}

const StripLabel::Measures& StripLabel::Measured() const
{
    return Measured(text());
}

const StripLabel::Measures& StripLabel::Measured(const QString& current) const
{
    const QFont currentFont = font();
    if (m_measures.valid && m_measures.text == current && m_measures.font == currentFont)
        return m_measures;
    if (!m_measures.valid || m_measures.font != currentFont) {
        m_asciiInkKnown.fill(false);
        const QFontMetrics metrics(currentFont);
        m_measures.ascent = metrics.ascent();
        m_measures.descent = metrics.descent();
    }
    m_measures.font = currentFont;
    // The clock's text changes every second: its ink comes from its characters' ink,
    // known from the first time each was measured, and its width from their cells.
    int top = 0;
    int bottom = 0;
    if (!AsciiInk(current, top, bottom)) {
        const QRect ink = QFontMetrics(currentFont).tightBoundingRect(current);
        top = ink.isEmpty() ? 0 : ink.top();
        bottom = ink.isEmpty() ? 0 : ink.top() + ink.height();
    }
    m_measures.text = current;
    if (!m_glyphs.Advance(currentFont, current, m_measures.advance))
        m_measures.advance = QFontMetrics(currentFont).horizontalAdvance(current);
    m_measures.baseline = std::max(m_measures.ascent, -top);
    m_measures.below = std::max(m_measures.descent, bottom);
    m_measures.valid = true;
    return m_measures;
}

int StripLabel::Baseline() const
{
    return Measured().baseline;
}

QSize StripLabel::sizeHint() const
{
    const Measures& measures = Measured();
    return {measures.advance, measures.baseline + measures.below};
}

QSize StripLabel::minimumSizeHint() const
{
    return sizeHint();
}

void StripLabel::DrawText(QPainter& painter, const QString& text) const
{
    const Measures& measures = Measured(text);
    const QColor colour = palette().color(foregroundRole());
    int x = 0;
    if (alignment() & Qt::AlignRight)
        x = width() - measures.advance;
    else if (alignment() & Qt::AlignHCenter)
        x = (width() - measures.advance) / 2;
    if (m_glyphs.Draw(painter, x, measures.baseline, font(), colour, text))
        return;
    painter.setFont(font());
    painter.setPen(colour);
    painter.drawText(x, measures.baseline, text);
}

void StripLabel::paintEvent(QPaintEvent*)
{
    // Whatever made the toolkit paint the label may have changed what lies under it, or
    // where the label lies.
    m_back = QImage();
    m_placeKnown = false;
    QPainter painter(this);
    DrawText(painter, Shown());
}

void StripLabel::moveEvent(QMoveEvent* event)
{
    m_back = QImage();
    m_placeKnown = false;
    QLabel::moveEvent(event);
}

void StripLabel::resizeEvent(QResizeEvent* event)
{
    m_back = QImage();
    m_placeKnown = false;
    QLabel::resizeEvent(event);
}

QString StripLabel::Shown() const
{
    return m_live.isEmpty() ? text() : m_live;
}

bool StripLabel::ShowLive(const QString& text)
{
    if (!(m_placeKnown && m_window.SameWindow(this)))
        m_placeKnown = m_window.StillFor(this) || m_window.Attach(this);
    const bool can = m_placeKnown && !QAccessible::isActive() && isVisible() && !text.isEmpty()
                     && (!m_back.isNull() || PaintBack());
    if (!can) {
        // The window may hold a live text the label's own text() does not say: the
        // toolkit paints the label afresh, whatever text the caller sets.
        if (!m_live.isEmpty())
            update();
        m_live.clear();
        return false;
    }
    if (QWindow* window = this->window()->windowHandle(); window != m_watched) {
        if (m_watched)
            m_watched->removeEventFilter(this);
        m_watched = window;
        window->installEventFilter(this);
    }
    if (text == m_live && !m_frame.isNull())
        return true;
    m_live = text;
    m_frame = m_back.copy();
    QPainter painter(&m_frame);
    DrawText(painter, m_live);
    painter.end();
    PutLive();
    return true;
}

void StripLabel::PutLive()
{
    m_window.Put(m_frame.constBits(), m_frame.width(), m_frame.height());
}

bool StripLabel::PaintBack()
{
    QWidget* parent = parentWidget();
    if (!parent)
        return false;
    const QRect area = geometry();
    const QObjectList& siblings = parent->children();
    const qsizetype self = siblings.indexOf(this);
    for (qsizetype i = 0; i < siblings.size(); ++i) {
        auto* sibling = qobject_cast<QWidget*>(siblings[i]);
        if (i == self || !sibling || sibling->isWindow() || !sibling->isVisible() || !sibling->geometry().intersects(area))
            continue;
        if (i > self)
            return false;  // it would be painted over
    }
    QImage back(area.size(), QImage::Format_RGB32);
    back.fill(Qt::black);
    parent->render(&back, QPoint(), QRegion(area), QWidget::DrawWindowBackground);
    for (qsizetype i = 0; i < self; ++i) {
        auto* sibling = qobject_cast<QWidget*>(siblings[i]);
        if (!sibling || sibling->isWindow() || !sibling->isVisible())
            continue;
        const QRect part = area & sibling->geometry();
        if (part.isEmpty())
            continue;
        sibling->render(&back, part.topLeft() - area.topLeft(), QRegion(part.translated(-sibling->pos())),
                        QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    m_back = back;
    return true;
}

bool StripLabel::eventFilter(QObject* watched, QEvent* event)
{
    // An exposed window is put back from the toolkit's copy, which holds the text of the
    // label's last repaint: the live text goes up again once that is done.
    if (watched == m_watched && event->type() == QEvent::Expose && !m_live.isEmpty()) {
        QTimer::singleShot(0, this, [this] {
            if (!m_live.isEmpty() && !m_frame.isNull() && m_window.StillFor(this))
                PutLive();
        });
    }
    return QLabel::eventFilter(watched, event);
}
