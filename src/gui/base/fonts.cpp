#include "gui/base/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {
constexpr const char* kWineSansSerif = "/usr/share/wine/fonts/ms_sans_serif.ttf";

QFont PixelFont(const QStringList& families, int pixels)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
}  // namespace

void LoadFonts()
{
    QFontDatabase::addApplicationFont(QString::fromLatin1(kWineSansSerif));
}

QFont SansSerif8()
{
    return PixelFont({"MS Sans Serif", "Liberation Sans", "DejaVu Sans"}, 11);
}

QFont Arial13()
{
    return PixelFont({"Arial", "Liberation Sans", "DejaVu Sans"}, 13);
}
