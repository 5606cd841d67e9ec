#pragma once

#include <QDateTime>
#include <QWidget>

class QPlainTextEdit;

namespace taxi {

// The standard error display: one non-modal window that collects every error the service reports,
// so that a burst of failures neither stacks up boxes nor blocks the event that reported them.
class ErrorWindow : public QWidget {
    Q_OBJECT
public:
    // A service left running for weeks must not grow without bound on a recurring error.
    static constexpr int kKeptEntries = 10000;

    explicit ErrorWindow(QWidget* parent = nullptr);

    // Adds the message after the others with its time and brings the window forward.
    void add(const QString& message, const QDateTime& when);

private:
    void clearEntries();
    void updateTitle();

    QPlainTextEdit* m_entries;
    qint64 m_received = 0;
    bool m_raisePending = false;
};

} // namespace taxi
