#pragma once

// Controls placed in pixels, as every window of the program lays them out. Each is created
// on top of the ones created before it, and push buttons join the Tab order in creation order.

#include <functional>

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRect>

// A push button that Enter presses while it holds the focus.
QPushButton* MakeButton(QWidget* parent, const QString& caption, const QRect& geometry);

// A flat button with a coloured caption that never takes the focus.
QPushButton* MakeFlatButton(QWidget* parent, const QString& caption, const QRect& geometry,
                            const QColor& textColor);

// A label drawn straight onto what lies below it.
QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry, const QColor& textColor);

// A picture drawn unscaled from the control's top-left corner and clipped to it; decoration,
// which screen readers skip. draw makes the picture for a device pixel ratio; the control draws
// it again when its screen's ratio changes.
QLabel* MakePicture(QWidget* parent, std::function<QPixmap(qreal scale)> draw, const QRect& geometry);

// A frame around other controls, drawn over what lies below it; decoration too.
enum class BevelStyle { Raised, Sunken };
QFrame* MakeBevel(QWidget* parent, const QRect& geometry, BevelStyle style);

// Tells screen readers the key that reaches a control, after what its description says.
void DescribeKey(QWidget* control, const QString& key);

// Sets the colour of a widget's text, leaving everything else of its palette alone.
void SetTextColor(QWidget* widget, const QColor& color);

// Fills a widget's background with one colour.
void SetBackground(QWidget* widget, const QColor& color);
