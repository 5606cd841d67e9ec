#include "console/widget_style.h"

#include <QLabel>

namespace taxi {

QLabel* makeLabel(const QString& text, const QString& objectName, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    return label;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void enlargeBold(QWidget* widget, qreal scale) {
    QFont font = widget->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * scale);
    widget->setFont(font);
}

} // namespace taxi
