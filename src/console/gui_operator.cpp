#include "console/gui_operator.h"

#include "console/error_window.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMessageBox>

namespace taxi {

GuiOperator::GuiOperator() : m_errorWindow(std::make_unique<ErrorWindow>()) {}

GuiOperator::~GuiOperator() = default;

void GuiOperator::inform(const QString& message) {
    QMessageBox::information(nullptr, QCoreApplication::applicationName(), message);
}

bool GuiOperator::confirm(const QString& question) {
    return QMessageBox::question(nullptr, QCoreApplication::applicationName(), question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void GuiOperator::showError(const QString& message) {
    m_errorWindow->add(message, QDateTime::currentDateTime());
}

} // namespace taxi
