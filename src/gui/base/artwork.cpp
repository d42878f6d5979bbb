#include "gui/base/artwork.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QIconEngine>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr double kPi = 3.14159265358979323846;

// Named explicitly so that the pictures look the same wherever the program runs.
QFont TitleFont(int pixels, int weight = QFont::Black)
{
    QFont font;
    font.setFamilies({"Liberation Sans", "DejaVu Sans"});
    font.setPixelSize(pixels);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// An image of size logical pixels at scale device pixels each; a painter on it draws in
// logical pixels.
QImage Canvas(QSize size, qreal scale)
{
    QImage image((QSizeF(size) * scale).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    return image;
}

// Letters centred in rect, filled with a red gradient over a dark outline.
void DrawRedLettering(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                      qreal outline)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    path.translate(rect.center() - bounds.center());
    QLinearGradient red(0, path.boundingRect().top(), 0, path.boundingRect().bottom());
    red.setColorAt(0.0, QColor(255, 120, 100));
    red.setColorAt(0.45, QColor(235, 20, 20));
    red.setColorAt(1.0, QColor(130, 0, 0));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(path, QPen(QColor(0, 0, 0, 220), outline * 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, red);
}
}  // namespace

QPixmap MainBackground(qreal scale)
{
    constexpr int kSize = 425;
    constexpr double kHorizon = 118;
    constexpr double kVanishX = 204;  // the middle of the visible columns 32 to 375
    QImage image = Canvas(QSize(kSize, kSize), scale);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // A faint glow on the horizon.
    QLinearGradient glow(0, kHorizon - 40, 0, kHorizon + 30);
    glow.setColorAt(0.0, QColor(0, 0, 0));
    glow.setColorAt(0.6, QColor(10, 20, 70));
    glow.setColorAt(1.0, QColor(0, 0, 0));
    painter.fillRect(QRectF(0, kHorizon - 40, kSize, 70), glow);

    // The floor's lines grow brighter towards the viewer.
    auto gridPen = [](double nearness) {
        const int shade = static_cast<int>(40 + 150 * nearness);
        return QPen(QColor(0, shade / 3, shade), 1.0 + nearness);
    };
    for (int i = -14; i <= 14; ++i) {
        const double footX = kVanishX + i * 70.0;
        QLinearGradient fade(0, kHorizon, 0, kSize);
        fade.setColorAt(0.0, QColor(0, 0, 40));
        fade.setColorAt(1.0, QColor(20, 70, 200));
        painter.setPen(QPen(QBrush(fade), 1.3));
        painter.drawLine(QPointF(kVanishX, kHorizon), QPointF(footX, kSize));
    }
    for (double depth = 1.0; depth < 40.0; depth *= 1.28) {
        const double y = kHorizon + (kSize - kHorizon) / depth;
        painter.setPen(gridPen(1.0 / depth));
        painter.drawLine(QPointF(0, y), QPointF(kSize, y));
    }

    // Stars in the sky, placed by a fixed rule so the picture never changes.
    for (int i = 0; i < 60; ++i) {
        const double x = std::fmod(i * 137.508, kSize);
        const double y = std::fmod(i * 53.7 + i * i * 0.61, kHorizon - 20);
        painter.setPen(QColor(120 + (i * 29) % 120, 120 + (i * 29) % 120, 160 + (i * 17) % 90));
        painter.drawPoint(QPointF(x, y));
    }

    // The title banner along the upper edge.
    QLinearGradient band(0, 8, 0, 60);
    band.setColorAt(0.0, QColor(40, 0, 0));
    band.setColorAt(0.5, QColor(90, 0, 10));
    band.setColorAt(1.0, QColor(20, 0, 0));
    const QRectF banner(40, 8, 328, 52);
    painter.setPen(QPen(QColor(200, 40, 40), 1));
    painter.setBrush(band);
    painter.drawRoundedRect(banner, 6, 6);
    DrawRedLettering(painter, banner.adjusted(0, -6, 0, -6), QStringLiteral("ZORVANTA"), TitleFont(34), 1.5);
    painter.setPen(QColor(230, 230, 240));
    painter.setFont(TitleFont(10, QFont::Bold));
    painter.drawText(banner.adjusted(0, 0, 0, -3), Qt::AlignHCenter | Qt::AlignBottom,
                     QStringLiteral("TEXT  \u00b7  FILE  \u00b7  ENCRYPTION"));
    painter.end();
    return QPixmap::fromImage(image);
}

QPixmap SwirlBackground(const QString& title, int titleTop, qreal scale)
{
    constexpr int kWidth = 397, kHeight = 283;
    QImage image = Canvas(QSize(kWidth, kHeight), scale);
    const double cx = kWidth / 2.0, cy = kHeight / 2.0;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double dx = x / scale - cx, dy = (y / scale - cy) * 1.3;
            const double r = std::hypot(dx, dy);
            const double angle = std::atan2(dy, dx);
            // Three arms twisting with the distance, softened towards the edges.
            const double arms = 0.5 + 0.5 * std::sin(3 * angle + r * 0.045);
            const double ripple = 0.5 + 0.5 * std::sin(r * 0.12 - angle * 2);
            const double fade = std::clamp(1.15 - r / 260.0, 0.25, 1.0);
            const double v = (0.7 * arms * arms + 0.3 * ripple) * fade;
            line[x] = qRgb(static_cast<int>(8 * v), static_cast<int>(22 + 40 * v), static_cast<int>(45 + 105 * v));
        }
    }
    QPainter painter(&image);
    const QRectF band(0, titleTop, kWidth, 40);
    DrawRedLettering(painter, band, title.toUpper(), TitleFont(22), 2.0);
    painter.end();
    return QPixmap::fromImage(image);
}

QPixmap Lettering(const QString& word, QSize size, qreal scale)
{
    QImage image = Canvas(size, scale);
    image.fill(Qt::black);
    QPainter painter(&image);
    DrawRedLettering(painter, QRectF(0, 0, size.width() - 4, size.height()), word,
                     TitleFont(size.height() / 2, QFont::Bold), 1.0);
    painter.end();
    return QPixmap::fromImage(image);
}

QPixmap Logo(qreal scale)
{
    QImage image = Canvas(QSize(227, 57), scale);
    image.fill(Qt::black);
    QPainter painter(&image);
    // The control shows the upper 41 rows and left 217 columns.
    const QRectF visible(0, 0, 217, 41);
    painter.setPen(QPen(QColor(150, 0, 0), 1));
    painter.drawLine(QPointF(6, 37.5), QPointF(211, 37.5));
    DrawRedLettering(painter, visible.adjusted(0, -2, 0, -2), QStringLiteral("ZORVANTA"), TitleFont(32), 1.0);
    painter.end();
    return QPixmap::fromImage(image);
}

namespace {
struct FolderColors {
    QColor back, front, edge;
};

// The folder in the 18 x 16 logical pixels of the browse buttons' icon.
void DrawFolder(QPainter& painter, const FolderColors& colors)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colors.edge, 1));
    QPainterPath body;  // the back of the folder with its tab
    body.moveTo(1.5, 3.5);
    body.lineTo(6.5, 3.5);
    body.lineTo(8, 5);
    body.lineTo(14.5, 5);
    body.lineTo(14.5, 14.5);
    body.lineTo(1.5, 14.5);
    body.closeSubpath();
    painter.setBrush(colors.back);
    painter.drawPath(body);
    QPolygonF flap({{4.0, 8.0}, {17.0, 8.0}, {14.5, 14.5}, {1.5, 14.5}});  // the opened front
    painter.setBrush(colors.front);
    painter.drawPolygon(flap);
}

// Draws the folder at whatever size in device pixels a button asks for, so it is as sharp at
// 2x as the text beside it.
class FolderIconEngine final : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        static const FolderColors normal{QColor(200, 160, 40), QColor(250, 215, 90), QColor(110, 80, 10)};
        static const FolderColors disabled{QColor(150, 150, 150), QColor(190, 190, 190), QColor(110, 110, 110)};
        painter->save();
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / kFolderSize.width(), rect.height() / kFolderSize.height());
        DrawFolder(*painter, mode == QIcon::Disabled ? disabled : normal);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new FolderIconEngine; }

private:
    static constexpr QSizeF kFolderSize{18, 16};
};
}  // namespace

QIcon FolderIcon()
{
    return QIcon(new FolderIconEngine);
}

QIcon ProgramIcon()
{
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 128));
    QPainter painter(&image);  // no antialiasing: the icon keeps to a few flat colours
    painter.fillRect(2, 2, 28, 28, Qt::black);
    painter.setPen(QColor(0, 0, 255));
    for (int y = 20; y < 30; y += 3) painter.drawLine(2, y, 29, y);
    for (int x = 4; x < 30; x += 6) painter.drawLine(16, 18, x, 29);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 0, 0));
    painter.drawPolygon(QPolygon({{7, 5}, {25, 5}, {25, 9}, {13, 21}, {25, 21}, {25, 25},
                                  {7, 25}, {7, 21}, {19, 9}, {7, 9}}));
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}
