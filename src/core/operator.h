#pragma once

#include <QString>

namespace taxi {

// The person at the console, as the service speaks to them: the window's message boxes,
// the headless front's stderr, or a test's scripted answers.
class Operator {
public:
    virtual ~Operator() = default;

    // A message the operator acknowledges.
    virtual void inform(const QString& message) = 0;
    // A Yes/No question; true for Yes.
    virtual bool confirm(const QString& question) = 0;
    // The standard error box. A burst of errors must never stack up windows or nest.
    virtual void showError(const QString& message) = 0;
};

} // namespace taxi
