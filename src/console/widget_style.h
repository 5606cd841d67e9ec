#pragma once

#include <QColor>
#include <QString>

class QLabel;
class QWidget;

// Small helpers the pages share for their labels' looks.
namespace taxi {

QLabel* makeLabel(const QString& text, const QString& objectName, QWidget* parent);
void setTextColour(QWidget* widget, const QColor& colour);
void enlargeBold(QWidget* widget, qreal scale);

} // namespace taxi
