#include "gui/base/fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

namespace {
constexpr const char* kWineFonts[] = {"/usr/share/wine/fonts/ms_sans_serif.ttf", "/usr/share/wine/fonts/tahoma.ttf"};

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
    for (const char* file : kWineFonts) QFontDatabase::addApplicationFont(QString::fromLatin1(file));
}

QFont SansSerif8(qreal devicePixelRatio, qreal logicalDpi)
{
    if (devicePixelRatio == 1.0 && logicalDpi == 96.0)
        return PixelFont({"MS Sans Serif", "Liberation Sans", "DejaVu Sans"}, 11);
    // Tahoma and Liberation Sans run up to 7 % wider than MS Sans Serif ("Output File :").
    QFont outline = PixelFont({"Tahoma", "Liberation Sans", "DejaVu Sans"}, 11);
    outline.setStretch(93);
    return outline;
}

QFont SansSerif8()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return SansSerif8(screen->devicePixelRatio(), screen->logicalDotsPerInch());
}

QFont Arial13()
{
    return PixelFont({"Arial", "Liberation Sans", "DejaVu Sans"}, 13);
}
