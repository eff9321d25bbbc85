#include "ClockGlyphs.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

int ClockGlyphs::IndexOf(QChar c)
{
    for (std::size_t i = 0; i < kCount; ++i) {
        if (kCharacters[i] == c.unicode())
            return static_cast<int>(i);
    }
    return -1;
}

bool ClockGlyphs::Measure(const QFont& font)
{
    if (m_measured && m_font == font)
        return m_fixed;
    m_font = font;
    m_measured = true;
    m_made = false;
    m_fixed = false;
    const QFontMetricsF exact(font);
    const QFontMetrics metrics(font);
    const qreal cell = exact.horizontalAdvance(QChar(u'0'));
    if (cell <= 0 || cell != qRound(cell))
        return false;
    m_cell = qRound(cell);
    // Every character a cell wide, and a whole text as wide as its cells: no kerning.
    // (Fonts made for code do not always say they have a fixed pitch: this is the test.)
    const QString all = QString::fromUtf16(kCharacters);
    for (const QChar c : all) {
        if (exact.horizontalAdvance(c) != cell)
            return false;
    }
    if (metrics.horizontalAdvance(all + all) != m_cell * 2 * static_cast<int>(kCount))
        return false;
    m_ascent = metrics.ascent();
    m_height = metrics.height();
    m_pad = std::max(2, m_height / 4);  // room for ink beyond the cell (the check says if it is enough)
    m_fixed = true;
    return true;
}

bool ClockGlyphs::Advance(const QFont& font, const QString& text, int& advance)
{
    if (!Measure(font))
        return false;
    for (const QChar c : text) {
        if (IndexOf(c) < 0)
            return false;
    }
    advance = m_cell * static_cast<int>(text.size());
    return true;
}

void ClockGlyphs::Compose(QPainter& painter, int x, int baseline, const QString& text) const
{
    for (const QChar c : text) {
        painter.drawImage(QPoint(x - m_pad, baseline - m_ascent - m_pad), m_pictures[IndexOf(c)]);
        x += m_cell;
    }
}

bool ClockGlyphs::MakePictures(const QFont& font, const QColor& colour, qreal ratio)
{
    if (m_made && m_colour == colour && m_ratio == ratio)
        return m_usable;
    m_made = true;
    m_usable = false;
    m_colour = colour;
    m_ratio = ratio;
    const QSize logical(m_cell + 2 * m_pad, m_height + 2 * m_pad);
    const QSize device = (QSizeF(logical) * ratio).toSize();
    if (QSizeF(device) != QSizeF(logical) * ratio)
        return false;
    for (std::size_t i = 0; i < kCount; ++i) {
        QImage picture(device, QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(m_pad, m_pad + m_ascent, QString(QChar(kCharacters[i])));
        m_pictures[i] = picture;
    }
    // The check: the characters twice over, each beside every other, laid out whole and
    // put together from the pictures.
    QString probe;
    for (const char16_t a : kCharacters) {
        if (a == 0)
            break;
        probe += QChar(a);
        probe += QString::fromUtf16(kCharacters);
    }
    const QSize probeLogical(m_cell * static_cast<int>(probe.size()) + 2 * m_pad, m_height + 2 * m_pad);
    auto blank = [&] {
        QImage image((QSizeF(probeLogical) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        return image;
    };
    QImage whole = blank();
    QImage pieces = blank();
    {
        QPainter painter(&whole);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(m_pad, m_pad + m_ascent, probe);
    }
    {
        QPainter painter(&pieces);
        Compose(painter, m_pad, m_pad + m_ascent, probe);
    }
    m_usable = whole == pieces;
    return m_usable;
}

bool ClockGlyphs::Draw(QPainter& painter, int x, int baseline, const QFont& font, const QColor& colour,
                       const QString& text)
{
    int advance = 0;
    if (!Advance(font, text, advance))
        return false;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // Pictures land on whole device pixels only, as the text engine's glyphs do.
    const QTransform& transform = painter.transform();
    if (transform.type() > QTransform::TxTranslate || transform.dx() * ratio != qRound(transform.dx() * ratio)
        || transform.dy() * ratio != qRound(transform.dy() * ratio))
        return false;
    if (!MakePictures(font, colour, ratio))
        return false;
    Compose(painter, x, baseline, text);
    return true;
}
