#pragma once

#include "core/operator.h"

#include <memory>

namespace taxi {

class ErrorWindow;

// The operator at the window: modal message and Yes/No boxes, and the one error window for errors.
class GuiOperator : public Operator {
public:
    GuiOperator();
    ~GuiOperator() override;

    void inform(const QString& message) override;
    bool confirm(const QString& question) override;
    void showError(const QString& message) override;

private:
    std::unique_ptr<ErrorWindow> m_errorWindow;
};

} // namespace taxi
