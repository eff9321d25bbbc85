// Text measuring and drawing of the styled controls, with the DT_ flag semantics their
// callers are written against, laid out with QFontMetrics.

#include "Dxcoreutils.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

struct TextLine {
    QString text;
    std::vector<int> underlined;  // indices into text
};

// Removes the ampersand markers; "&&" stands for one ampersand, "&x" underlines x.
QString stripPrefixes(const QString& text, std::vector<int>& underlined)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'&') {
            if (i + 1 >= text.size())
                break;
            ++i;
            if (text.at(i) != u'&' && !text.at(i).isSpace())
                underlined.push_back(int(plain.size()));
        }
        plain.append(text.at(i));
    }
    return plain;
}

std::vector<int> underlinesIn(const std::vector<int>& all, int from, int length)
{
    std::vector<int> out;
    for (int u : all)
        if (u >= from && u < from + length)
            out.push_back(u - from);
    return out;
}

// Splits into lines: at line feeds unless single-line, and at spaces to fit `width` when
// word-breaking. Lines wider than `width` are elided with DT_END_ELLIPSIS.
std::vector<TextLine> layoutLines(const QString& text, int flags, int width, const QFontMetrics& fm)
{
    std::vector<int> underlined;
    QString plain = (flags & DT_NOPREFIX) ? text : stripPrefixes(text, underlined);
    if (flags & DT_SINGLELINE)
        plain.replace(u'\r', u' ').replace(u'\n', u' ');
    else
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');

    const bool wrap = (flags & DT_WORDBREAK) && !(flags & DT_SINGLELINE) && width > 0;
    std::vector<TextLine> lines;
    int paraStart = 0;
    while (paraStart <= plain.size()) {
        int paraEnd = (flags & DT_SINGLELINE) ? int(plain.size()) : int(plain.indexOf(u'\n', paraStart));
        if (paraEnd < 0)
            paraEnd = int(plain.size());
        int lineStart = paraStart;
        if (wrap) {
            // Greedy: take words while they fit; a word wider than the width stands alone.
            while (lineStart < paraEnd) {
                int lineEnd = lineStart;
                int pos = lineStart;
                while (pos < paraEnd) {
                    int wordEnd = pos;
                    while (wordEnd < paraEnd && plain.at(wordEnd) == u' ')
                        ++wordEnd;
                    while (wordEnd < paraEnd && plain.at(wordEnd) != u' ')
                        ++wordEnd;
                    const int w = fm.horizontalAdvance(plain.mid(lineStart, wordEnd - lineStart));
                    if (w > width && lineEnd > lineStart)
                        break;
                    lineEnd = wordEnd;
                    pos = wordEnd;
                }
                lines.push_back({plain.mid(lineStart, lineEnd - lineStart),
                                 underlinesIn(underlined, lineStart, lineEnd - lineStart)});
                lineStart = lineEnd;
                while (lineStart < paraEnd && plain.at(lineStart) == u' ')
                    ++lineStart;
            }
            if (paraStart == paraEnd)
                lines.push_back({});
        } else {
            lines.push_back({plain.mid(paraStart, paraEnd - paraStart),
                             underlinesIn(underlined, paraStart, paraEnd - paraStart)});
        }
        paraStart = paraEnd + 1;
    }

    if ((flags & DT_END_ELLIPSIS) && width > 0) {
        for (TextLine& line : lines) {
            if (fm.horizontalAdvance(line.text) <= width)
                continue;
            const QString elided = fm.elidedText(line.text, Qt::ElideRight, width);
            const int kept = std::max<int>(0, int(elided.size()) - 1);
            std::erase_if(line.underlined, [kept](int u) { return u >= kept; });
            line.text = elided;
        }
    }
    return lines;
}

// Qt draws text in the pen colour; the right-to-left adjustment mirrors the alignment.
int adjustForDirection(const QWidget* control, int flags)
{
    if (!control || control->layoutDirection() != Qt::RightToLeft)
        return flags;
    flags |= DT_RTLREADING;
    if (flags & DT_RIGHT)
        flags &= ~DT_RIGHT;
    else if (!(flags & DT_CENTER))
        flags |= DT_RIGHT;
    return flags;
}

void drawTextOnce(QPainter& canvas, const QString& text, TRect& rect, int flags)
{
    const QFontMetrics fm(canvas.font());
    const std::vector<TextLine> lines = layoutLines(text, flags, rect.Width(), fm);
    const int lineHeight = fm.height();
    if (flags & DT_CALCRECT) {
        int widest = 0;
        for (const TextLine& line : lines)
            widest = std::max(widest, fm.horizontalAdvance(line.text));
        rect.Right = rect.Left + widest;
        rect.Bottom = rect.Top + lineHeight * int(lines.size());
        return;
    }
    canvas.save();
    canvas.setClipRect(rect.toQRect(), Qt::IntersectClip);
    canvas.setLayoutDirection((flags & DT_RTLREADING) ? Qt::RightToLeft : Qt::LeftToRight);
    const QColor color = canvas.pen().color();
    const int underlineY = fm.ascent() + fm.underlinePos();
    const int underlineHeight = std::max(1, int(fm.lineWidth()));
    int y = rect.Top;
    for (const TextLine& line : lines) {
        const int w = fm.horizontalAdvance(line.text);
        int x = rect.Left;
        if (flags & DT_CENTER)
            x = rect.Left + (rect.Width() - w) / 2;
        else if (flags & DT_RIGHT)
            x = rect.Right - w;
        canvas.drawText(QPoint(x, y + fm.ascent()), line.text);
        for (int u : line.underlined) {
            const int ux = x + fm.horizontalAdvance(line.text.left(u));
            canvas.fillRect(QRect(ux, y + underlineY, fm.horizontalAdvance(line.text.at(u)), underlineHeight), color);
        }
        y += lineHeight;
    }
    canvas.restore();
}

}  // namespace

void dxRenderText(const QWidget* control, QPainter& canvas, QString text, const QFont& font, bool enabled,
                  bool showAccelChar, TRect& rect, int flags)
{
    if (((flags & DT_CALCRECT) && text.isEmpty()) || (showAccelChar && text == QStringLiteral("&")))
        text += u' ';
    if (!showAccelChar)
        flags |= DT_NOPREFIX;
    flags = adjustForDirection(control, flags);
    canvas.setFont(font);
    if (enabled) {
        drawTextOnce(canvas, text, rect, flags);
        return;
    }
    const QPalette palette = control ? control->palette() : QGuiApplication::palette();
    const QPen saved = canvas.pen();
    rect.Offset(1, 1);
    canvas.setPen(dxColorToQColor(clBtnHighlight, palette));
    drawTextOnce(canvas, text, rect, flags);
    rect.Offset(-1, -1);
    canvas.setPen(dxColorToQColor(clBtnShadow, palette));
    drawTextOnce(canvas, text, rect, flags);
    canvas.setPen(saved);
}

void dxSetDrawFlags(TAlignment alignment, bool wordWrap, int& flags)
{
    flags = DT_END_ELLIPSIS;
    if (alignment == taRightJustify)
        flags |= DT_RIGHT;
    else if (alignment == taCenter)
        flags |= DT_CENTER;
    flags |= wordWrap ? DT_WORDBREAK : DT_SINGLELINE;
}

// The measured block is placed relative to the original rectangle, so a rectangle that
// does not start at (0, 0) still gets its text right-aligned, centred and in the middle.
void dxPlaceText(const QWidget* control, QPainter& canvas, const QString& text, const QFont& font, bool enabled,
                 bool showAccelChar, TAlignment alignment, bool wordWrap, TRect& rect)
{
    const int h0 = rect.Height();
    const int w0 = rect.Width();
    int flags = 0;
    dxSetDrawFlags(alignment, wordWrap, flags);
    dxRenderText(control, canvas, text, font, enabled, showAccelChar, rect, flags | DT_CALCRECT);
    int dx = 0;
    if (alignment == taRightJustify)
        dx = w0 - rect.Width();
    else if (alignment == taCenter)
        dx = (w0 - rect.Width()) / 2;
    const int dy = (h0 - rect.Height()) / 2;
    rect.Offset(dx, dy);
    dxRenderText(control, canvas, text, font, enabled, showAccelChar, rect, flags);
}
