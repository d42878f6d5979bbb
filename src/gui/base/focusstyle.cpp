#include "gui/base/focusstyle.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>

namespace {
class FocusStyle final : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (!(option->state & State_HasFocus)) return;
        if (element == CE_PushButton) {
            const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            if (button && !(button->features & QStyleOptionButton::Flat)) DrawDottedFocus(option, painter);
        } else if (element == CE_ShapedFrame) {  // multi-line text boxes
            DrawFocusFrame(option, painter);
        }
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element == PE_PanelLineEdit && (option->state & State_HasFocus) && (option->state & State_Enabled))
            DrawFocusFrame(option, painter);
    }

private:
    static void DrawDottedFocus(const QStyleOption* option, QPainter* painter)
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(option->palette.color(QPalette::ButtonText), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option->rect).adjusted(2.5, 2.5, -3.5, -3.5));
        painter->restore();
    }

    static void DrawFocusFrame(const QStyleOption* option, QPainter* painter)
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(option->palette.color(QPalette::Highlight), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
        painter->restore();
    }
};
}  // namespace

void UseFocusStyle()
{
    QApplication::setStyle(new FocusStyle);
}
