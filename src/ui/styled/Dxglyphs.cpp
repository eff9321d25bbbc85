#include "Dxglyphs.h"

#include <array>

namespace {

struct GlyphData {
    const char* name;
    int width;
    int height;
    const char* rows;  // 'X' black, '.' silver, rows top to bottom, concatenated
};

constexpr std::array<GlyphData, 7> kGlyphs{{
    {"ARROWLEFT", 9, 9,
     "....XX..."
     "...XXX..."
     "..XXXXXXX"
     ".XXXXXXXX"
     "XXXXXXXXX"
     ".XXXXXXXX"
     "..XXXXXXX"
     "...XXX..."
     "....XX..."},
    {"ARROWRIGHT", 9, 9,
     "...XX...."
     "...XXX..."
     "XXXXXXX.."
     "XXXXXXXX."
     "XXXXXXXXX"
     "XXXXXXXX."
     "XXXXXXX.."
     "...XXX..."
     "...XX...."},
    {"CLOSE", 10, 9,
     ".........."
     ".XX....XX."
     "..XX..XX.."
     "...XXXX..."
     "....XX...."
     "...XXXX..."
     "..XX..XX.."
     ".XX....XX."
     ".........."},
    {"MAXIMIZE", 10, 9,
     ".........."
     ".XXXXXXXX."
     ".X......X."
     ".X......X."
     ".X......X."
     ".X......X."
     ".X......X."
     ".XXXXXXXX."
     ".........."},
    {"MINIMIZE", 10, 9,
     ".........."
     ".........."
     ".........."
     ".........."
     ".........."
     ".........."
     ".XXXXXXXX."
     ".XXXXXXXX."
     ".........."},
    {"POPUP", 7, 4,
     "XXXXXXX"
     ".XXXXX."
     "..XXX.."
     "...X..."},
    {"RESTORE", 10, 9,
     ".........."
     ".XXXXXXXX."
     ".X..X...X."
     ".X..X...X."
     ".X..XXXXX."
     ".X......X."
     ".X......X."
     ".XXXXXXXX."
     ".........."},
}};

}  // namespace

QImage dxLoadGlyphResource(const QString& name)
{
    for (const GlyphData& g : kGlyphs) {
        if (name.compare(QLatin1String(g.name), Qt::CaseInsensitive) != 0)
            continue;
        QImage image(g.width, g.height, QImage::Format_RGB32);
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x)
                image.setPixel(x, y, g.rows[y * g.width + x] == 'X' ? qRgb(0, 0, 0) : qRgb(192, 192, 192));
        return image;
    }
    return {};
}
