#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>

namespace taxi::test {

// A control of a window by its object name; a missing one ends the test program with its name.
template <typename Widget> Widget* child(const QObject& parent, const QString& name) {
    auto* widget = parent.findChild<Widget*>(name);
    if (!widget)
        qFatal("no child %s", qPrintable(name));
    return widget;
}

// A push button by the caption the operator reads on it.
inline QPushButton* buttonCalled(const QWidget& parent, const QString& text) {
    for (QPushButton* button : parent.findChildren<QPushButton*>()) {
        if (button->text() == text || button->accessibleName() == text)
            return button;
    }
    qFatal("no button %s", qPrintable(text));
}

} // namespace taxi::test
