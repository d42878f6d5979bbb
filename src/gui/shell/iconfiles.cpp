// Writes the program's icon, ProgramIcon(), as the files of a desktop icon theme; run by the
// build: zorvanta-icons DIRECTORY NAME SIZE... writes DIRECTORY/SIZExSIZE/apps/NAME.png for
// each size and DIRECTORY/scalable/apps/NAME.svg.
//
// The icon is drawn as 32 x 32 flat pixels, so the SVG is those pixels as squares, and the
// PNGs keep them square: enlarged by whole multiples, then averaged down to sizes in between.

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <QTextStream>

#include "gui/base/artwork.h"

namespace {
constexpr int kDrawnSize = 32;

// A rectangle of pixels of one colour.
struct Block {
    int x, y, width, height;
    QRgb colour;
};

std::vector<Block> RowRuns(const QImage& image, int y)
{
    std::vector<Block> runs;
    for (int x = 0; x < image.width();) {
        const QRgb colour = image.pixel(x, y);
        int end = x + 1;
        while (end < image.width() && image.pixel(end, y) == colour) ++end;
        runs.push_back({x, y, end - x, 1, colour});
        x = end;
    }
    return runs;
}

// The image as rectangles: the runs of each row, stacked where the next row repeats them.
std::vector<Block> Blocks(const QImage& image)
{
    std::vector<Block> closed, open;
    for (int y = 0; y < image.height(); ++y) {
        std::vector<Block> row = RowRuns(image, y);
        for (const Block& above : open) {
            const auto below = std::find_if(row.begin(), row.end(), [&](const Block& run) {
                return run.x == above.x && run.width == above.width && run.colour == above.colour;
            });
            if (below == row.end()) {
                closed.push_back(above);
            } else {
                below->y = above.y;
                below->height = above.height + 1;
            }
        }
        open = std::move(row);
    }
    closed.insert(closed.end(), open.begin(), open.end());
    return closed;
}

// One path per colour, each block a closed square-cornered outline.
QString Svg(const QImage& image)
{
    std::map<QRgb, QString> outlines;
    for (const Block& block : Blocks(image)) {
        outlines[block.colour] +=
            QStringLiteral("M%1 %2h%3v%4h-%3z").arg(block.x).arg(block.y).arg(block.width).arg(block.height);
    }
    QString svg = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                      "viewBox=\"0 0 %1 %2\" shape-rendering=\"crispEdges\">\n")
                      .arg(image.width())
                      .arg(image.height());
    for (const auto& [colour, outline] : outlines) {
        svg += QStringLiteral("<path fill=\"%1\" d=\"%2\"/>\n").arg(QColor(colour).name(), outline);
    }
    return svg + QStringLiteral("</svg>\n");
}

QImage Scaled(const QImage& image, int size)
{
    const int whole = (size + kDrawnSize - 1) / kDrawnSize * kDrawnSize;
    const QImage enlarged = image.scaled(whole, whole, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return enlarged.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool WriteText(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QTextStream(&file) << text;
    return file.flush();
}

bool WriteIcons(const QDir& directory, const QString& name, const std::vector<int>& sizes)
{
    const QImage drawn = ProgramIcon().pixmap(kDrawnSize, kDrawnSize).toImage();
    for (const int size : sizes) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!directory.mkpath(folder)) return false;
        if (!Scaled(drawn, size).save(directory.filePath(folder + "/" + name + ".png"))) return false;
    }
    return directory.mkpath("scalable/apps") &&
           WriteText(directory.filePath("scalable/apps/" + name + ".svg"), Svg(drawn));
}
}  // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DIRECTORY NAME SIZE...\n", argv[0]);
        return 2;
    }
    std::vector<int> sizes;
    for (int i = 3; i < argc; ++i) sizes.push_back(QString::fromLatin1(argv[i]).toInt());
    if (!WriteIcons(QDir(QString::fromLocal8Bit(argv[1])), QString::fromLatin1(argv[2]), sizes)) {
        std::fprintf(stderr, "%s: cannot write the icons into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
