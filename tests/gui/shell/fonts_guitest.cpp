#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>

#include "gui/base/fonts.h"
#include "gui/shell/starter.h"
#include "support/fakedialogs.h"

TEST(Fonts, TheBitmapFaceOnlyAtOneToOneScale)
{
    const struct {
        qreal devicePixelRatio, logicalDpi;
        QString face;
        int stretch;
    } cases[] = {
        {1.0, 96, "MS Sans Serif", QFont::AnyStretch}, {2.0, 96, "Tahoma", 93}, {1.25, 96, "Tahoma", 93},
        {1.0, 120, "Tahoma", 93},                      {1.0, 144, "Tahoma", 93},
    };
    for (const auto& c : cases) {
        const QFont font = SansSerif8(c.devicePixelRatio, c.logicalDpi);
        const std::string what = std::to_string(c.devicePixelRatio) + "x at " + std::to_string(c.logicalDpi) + " DPI";
        EXPECT_EQ(font.families(), QStringList({c.face, "Liberation Sans", "DejaVu Sans"})) << what;
        EXPECT_EQ(font.pixelSize(), 11) << what;
        EXPECT_EQ(font.stretch(), c.stretch) << what;
    }
}

// The tests' screen is 1x at 96 DPI; the outline face must be there for every other scale.
TEST(Fonts, BothFacesAreInstalledAndOnlyTheStandInScales)
{
    EXPECT_EQ(QFontInfo(SansSerif8()).family(), "MS Sans Serif");
    EXPECT_FALSE(QFontDatabase::isSmoothlyScalable("MS Sans Serif"));
    EXPECT_EQ(QFontInfo(SansSerif8(2.0, 96)).family(), "Tahoma");
    EXPECT_TRUE(QFontDatabase::isSmoothlyScalable("Tahoma"));
}

TEST(Fonts, EveryCaptionInTheDefaultFontFitsItsLabelInTheStandIn)
{
    FakeDialogs dialogs;
    const auto form1 = CreateForms(dialogs);
    const QFontMetricsF standIn(SansSerif8(2.0, 96));
    int labels = 0;
    for (const QLabel* label : form1->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || label->font() != SansSerif8()) continue;
        // The ink, not the advance: a label of 3 pixels holds a "-" without its bearings. The
        // test screen's 1x hinting rounds the ink out by up to a pixel.
        EXPECT_LE(standIn.tightBoundingRect(label->text()).right(), label->width() + 1) << label->text().toStdString();
        ++labels;
    }
    EXPECT_GE(labels, 10);
}
