// Renders every state of the styled push button and tool button to PNG files, plus two
// enlarged contact sheets, for checking the looks by eye.
//
//   render_styled_states [output-folder]      (default: styled-states)

#include "Dxbuttons.h"
#include "support/StyledStates.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

using styled_states::State;
using styled_states::States;

// A small "play" triangle on a fuchsia background (the bottom-left pixel, transparent).
QImage DemoGlyph()
{
    QImage g(10, 10, QImage::Format_RGB32);
    g.fill(qRgb(255, 0, 255));
    for (int y = 1; y < 9; ++y)
        for (int x = 2; x < 2 + (y < 5 ? y : 9 - y) * 2; ++x)
            g.setPixel(x, y, qRgb(0, 96, 0));
    return g;
}

// Written to a temporary file in the same folder and renamed over the old picture.
bool SavePng(const QImage& image, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG"))
        return false;
    return file.commit();
}

struct Variant {
    QString name;
    std::function<TdxCustomControl*(QWidget*)> make;
};

std::vector<Variant> ButtonVariants()
{
    auto button = [](QString caption, bool glyph, TdxLayout layout, QSize size) {
        return [=](QWidget* form) -> TdxCustomControl* {
            auto* b = new TdxButton(form);
            b->SetCaption(caption);
            if (glyph)
                b->SetGlyph(DemoGlyph());
            b->SetLayout(layout);
            b->resize(size);
            return b;
        };
    };
    std::vector<Variant> out{
        {"caption", button(QStringLiteral("&Reload"), false, blGlyphLeft, {73, 21})},
        {"glyph-left", button(QStringLiteral("Save To File"), true, blGlyphLeft, {100, 24})},
        {"glyph-right", button(QStringLiteral("Save To File"), true, blGlyphRight, {100, 24})},
        {"glyph-top", button(QStringLiteral("&Top"), true, blGlyphTop, {60, 40})},
        {"glyph-bottom", button(QStringLiteral("&Bottom"), true, blGlyphBottom, {60, 40})},
        {"glyph-only", [](QWidget* form) -> TdxCustomControl* {
             auto* b = new TdxButton(form);
             QFont f = b->font();
             f.setPixelSize(1);
             b->setFont(f);
             b->SetSpacing(0);
             b->SetGlyph(DemoGlyph());
             b->resize(24, 18);
             return b;
         }},
        {"wrapped", button(QStringLiteral("Save all the pages to file"), false, blGlyphLeft, {80, 36})},
    };
    out.push_back({"focus-rect", [](QWidget* form) -> TdxCustomControl* {
                       auto* b = new TdxButton(form);
                       b->SetCaption(QStringLiteral("Focus"));
                       b->SetShowFocusRect(true);
                       return b;
                   }});
    return out;
}

std::vector<Variant> ToolVariants()
{
    std::vector<Variant> out;
    for (TdxTheme theme : {OfficeXP, WindowsXP}) {
        for (int type = ttArrowLeft; type <= ttRestore; ++type) {
            for (TColor tint : {clAqua, clBlack}) {
                const QString name = QStringLiteral("%1-%2-%3")
                                         .arg(theme == OfficeXP ? "office" : "xp")
                                         .arg(dxToolTypeName(TdxToolType(type)).toLower())
                                         .arg(tint == clBlack ? "black" : "aqua");
                out.push_back({name, [=](QWidget* form) -> TdxCustomControl* {
                                   auto* t = new TdxToolButton(form);
                                   t->Style()->SetTheme(theme);
                                   t->SetToolType(TdxToolType(type));
                                   t->SetColor(tint);
                                   return t;
                               }});
            }
        }
    }
    return out;
}

// Renders each variant in each state; returns the rows (one per variant) of images.
std::vector<std::vector<QImage>> RenderAll(const std::vector<Variant>& variants, const QString& folder,
                                           const QString& prefix, QColor background)
{
    std::vector<std::vector<QImage>> rows;
    for (const Variant& v : variants) {
        std::vector<QImage> row;
        for (const State& s : States()) {
            QWidget form;
            QPalette pal = form.palette();
            pal.setColor(QPalette::Window, background);
            form.setPalette(pal);
            form.resize(200, 80);
            auto* edit = new QLineEdit(&form);
            edit->setGeometry(0, 60, 50, 20);
            TdxCustomControl* control = v.make(&form);
            control->move(10, 10);
            form.show();
            form.activateWindow();
            QApplication::processEvents();
            s.apply(control, edit);
            const QImage image = control->PaintToImage();
            if (!SavePng(image, QStringLiteral("%1/%2-%3-%4.png").arg(folder, prefix, v.name, QLatin1String(s.name))))
                std::fprintf(stderr, "cannot write into %s\n", qPrintable(folder));
            row.push_back(image);
        }
        rows.push_back(row);
    }
    return rows;
}

void SaveSheet(const std::vector<std::vector<QImage>>& rows, int scale, const QString& path)
{
    int cellW = 0, cellH = 0;
    for (const auto& row : rows)
        for (const QImage& img : row) {
            cellW = std::max(cellW, img.width());
            cellH = std::max(cellH, img.height());
        }
    const int gap = 4;
    const int columns = rows.empty() ? 0 : int(rows.front().size());
    QImage sheet((cellW + gap) * columns * scale + gap, (cellH + gap) * int(rows.size()) * scale + gap,
                 QImage::Format_RGB32);
    sheet.fill(qRgb(128, 128, 128));
    QPainter p(&sheet);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const QImage& img = rows[r][c];
            p.drawImage(QRect(gap + int(c) * (cellW + gap) * scale, gap + int(r) * (cellH + gap) * scale,
                              img.width() * scale, img.height() * scale),
                        img);
        }
    p.end();
    if (!SavePng(sheet, path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("styled-states");
    QDir().mkpath(folder);
    const auto buttons = RenderAll(ButtonVariants(), folder, QStringLiteral("button"), QColor(236, 233, 216));
    SaveSheet(buttons, 3, folder + QStringLiteral("/sheet-buttons.png"));
    // The plain caption button enlarged, for the outline, corners and ring widths.
    SaveSheet({{buttons[0][0], buttons[0][1], buttons[0][4]}, {buttons[0][5], buttons[0][6], buttons[5][4]}}, 7,
              folder + QStringLiteral("/zoom-button.png"));
    const auto tools = RenderAll(ToolVariants(), folder, QStringLiteral("tool"), QColor(40, 40, 40));
    SaveSheet(tools, 4, folder + QStringLiteral("/sheet-tools.png"));
    std::printf("states (columns):");
    for (const State& s : States())
        std::printf(" %s", s.name);
    std::printf("\nwrote %zu button and %zu tool-button images to %s\n", buttons.size() * States().size(),
                tools.size() * States().size(), qPrintable(folder));
    return 0;
}
