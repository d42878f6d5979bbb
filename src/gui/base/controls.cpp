#include "gui/base/controls.h"

#include "gui/base/accessibility.h"

QPushButton* MakeButton(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(true);
    return button;
}

QPushButton* MakeFlatButton(QWidget* parent, const QString& caption, const QRect& geometry,
                            const QColor& textColor)
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    SetTextColor(button, textColor);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry, const QColor& textColor)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAttribute(Qt::WA_TranslucentBackground);
    SetTextColor(label, textColor);
    return label;
}

namespace {
class Picture final : public QLabel {
public:
    Picture(QWidget* parent, std::function<QPixmap(qreal)> draw) : QLabel(parent), draw_(std::move(draw))
    {
        setPixmap(draw_(devicePixelRatioF()));
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (pixmap().devicePixelRatio() != devicePixelRatioF()) setPixmap(draw_(devicePixelRatioF()));
        QLabel::paintEvent(event);
    }

private:
    std::function<QPixmap(qreal)> draw_;
};
}  // namespace

QLabel* MakePicture(QWidget* parent, std::function<QPixmap(qreal scale)> draw, const QRect& geometry)
{
    auto* label = new Picture(parent, std::move(draw));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    MarkDecorative(label);
    return label;
}

QFrame* MakeBevel(QWidget* parent, const QRect& geometry, BevelStyle style)
{
    auto* bevel = new QFrame(parent);
    bevel->setGeometry(geometry);
    bevel->setFrameShape(QFrame::Panel);
    bevel->setFrameShadow(style == BevelStyle::Raised ? QFrame::Raised : QFrame::Sunken);
    bevel->setAttribute(Qt::WA_TransparentForMouseEvents);
    MarkDecorative(bevel);
    return bevel;
}

void DescribeKey(QWidget* control, const QString& key)
{
    const QString description = control->accessibleDescription();
    control->setAccessibleDescription(description.isEmpty() ? "Key: " + key : description + " (key: " + key + ")");
}

void SetTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

void SetBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
