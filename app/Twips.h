#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>
#include <cmath>

namespace halvorix {

// Positions and sizes are designed in twips: 15 twips to a pixel at 96 dpi.
constexpr int kTwipsPerPixel = 15;
inline int tw(int twips)
{
    return static_cast<int>(std::lround(twips / double(kTwipsPerPixel)));
}

// Background colours are set through the widget's own style sheet (a palette would be overridden
// by the window's sheet), addressed by object name so children do not inherit them.
inline void setBackgroundColour(QWidget &widget, const QColor &colour)
{
    static const QString begin = QStringLiteral("/*background*/");
    static const QString end = QStringLiteral("/*end*/");
    QString sheet = widget.styleSheet();
    const qsizetype from = sheet.indexOf(begin);
    if (from >= 0)
        sheet.remove(from, sheet.indexOf(end, from) + end.size() - from);
    sheet += begin + QStringLiteral("QWidget#") + widget.objectName()
        + QStringLiteral(" { background-color: ") + colour.name() + QStringLiteral("; }") + end;
    widget.setStyleSheet(sheet);
}

} // namespace halvorix
