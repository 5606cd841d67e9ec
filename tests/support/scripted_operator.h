#pragma once

#include "core/operator.h"

#include <QList>
#include <QStringList>

namespace taxi::test {

// The operator of a test: records what the service said and answers questions from a script
// (Yes once the script is used up).
class ScriptedOperator : public Operator {
public:
    void inform(const QString& message) override { informed.append(message); }
    bool confirm(const QString& question) override {
        questions.append(question);
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void showError(const QString& message) override { errors.append(message); }

    QStringList informed;
    QStringList questions;
    QStringList errors;
    QList<bool> answers;
};

} // namespace taxi::test
