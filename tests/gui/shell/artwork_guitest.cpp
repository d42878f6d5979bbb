#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include <QImage>
#include <QLabel>

#include "gui/base/artwork.h"
#include "gui/shell/about.h"
#include "gui/shell/starter.h"
#include "support/fakedialogs.h"

namespace {
struct Drawing {
    const char* name;
    std::function<QPixmap(qreal)> draw;
    QRect lettering;  // where the letters are, in logical pixels
};

const Drawing kDrawings[] = {
    {"main background", MainBackground, QRect(40, 8, 328, 52)},
    {"file window", [](qreal s) { return SwirlBackground("Twofish Encryption", kCentreTitleTop, s); },
     QRect(0, kCentreTitleTop, 397, 40)},
    {"text window", [](qreal s) { return SwirlBackground("Multi Encryption", kLowerTitleTop, s); },
     QRect(0, kLowerTitleTop, 397, 40)},
    {"help", [](qreal s) { return Lettering("Help", QSize(85, 57), s); }, QRect(0, 0, 81, 57)},
    {"logo", Logo, QRect(0, 0, 217, 41)},
    {"folder", [](qreal s) { return FolderIcon().pixmap(QSize(18, 16), s); }, QRect(0, 8, 18, 8)},  // its slanted flap
};

int Gray(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y));
}

// The 2x drawing brought down to 1x by averaging each 2 x 2 block, against the 1x drawing:
// the mean difference of their brightness.
double MeanDifferenceWhenHalved(const QImage& one, const QImage& two)
{
    double sum = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x) {
            const int block = Gray(two, 2 * x, 2 * y) + Gray(two, 2 * x + 1, 2 * y) + Gray(two, 2 * x, 2 * y + 1) +
                              Gray(two, 2 * x + 1, 2 * y + 1);
            sum += std::abs(block / 4.0 - Gray(one, x, y));
        }
    return sum / (one.width() * one.height());
}

// Detail inside the device pixels of one logical pixel, which a 1x picture scaled up lacks:
// the brightness steps between the two columns of each 2 x 2 block, against the steps between
// neighbouring pixels of the 1x picture, in the region of the letters.
double DetailRatio(const QImage& one, const QImage& two, const QRect& region)
{
    double within = 0, across = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x < region.right(); ++x) {
            within += std::abs(Gray(two, 2 * x, 2 * y) - Gray(two, 2 * x + 1, 2 * y));
            across += std::abs(Gray(one, x, y) - Gray(one, x + 1, y));
        }
    return within / across;
}
}  // namespace

// At twice the scale every picture has twice the pixels, the same look when brought down, and
// its letters' edges drawn in the finer pixels.
TEST(Artwork, DrawnAtTwiceTheScaleIsTheSamePictureWithFinerEdges)
{
    for (const Drawing& drawing : kDrawings) {
        const QPixmap onePixmap = drawing.draw(1), twoPixmap = drawing.draw(2);
        EXPECT_EQ(onePixmap.devicePixelRatio(), 1.0) << drawing.name;
        EXPECT_EQ(twoPixmap.devicePixelRatio(), 2.0) << drawing.name;
        ASSERT_EQ(twoPixmap.size(), onePixmap.size() * 2) << drawing.name;
        EXPECT_EQ(twoPixmap.deviceIndependentSize(), onePixmap.deviceIndependentSize());
        const QImage one = onePixmap.toImage(), two = twoPixmap.toImage();
        EXPECT_LT(MeanDifferenceWhenHalved(one, two), 4.0) << drawing.name;
        EXPECT_GT(DetailRatio(one, two, drawing.lettering), 0.3) << drawing.name;
    }
}

// Every window's pictures match the device pixel ratio of its screen (this test runs at 1x
// and again at QT_SCALE_FACTOR=2).
TEST(Artwork, WindowsShowTheirPicturesAtTheScreensScale)
{
    FakeDialogs dialogs;
    const auto form1 = CreateForms(dialogs);
    std::vector<QWidget*> windows{form1.get()};
    for (QObject* child : form1->children())
        if (auto* window = qobject_cast<QWidget*>(child); window && window->isWindow()) windows.push_back(window);
    int pictures = 0;
    for (QWidget* window : windows) {
        window->show();
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->pixmap().isNull() || label->window() != window) continue;
            ++pictures;
            const QImage shown = label->grab().toImage();
            EXPECT_EQ(label->pixmap().devicePixelRatio(), window->devicePixelRatioF())
                << window->windowTitle().toStdString();
            EXPECT_EQ(shown.devicePixelRatio(), window->devicePixelRatioF());
        }
        window->hide();
    }
    EXPECT_EQ(pictures, 13 + 1);  // a picture in each window, and the About window's logo
}
