#pragma once

#include "console/console_parts.h"

#include <QWidget>

class QTabWidget;

namespace taxi {

class CallsignListsDialog;

// The operator's window: the header band over the page control PageControl1.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString kTitle =
        QStringLiteral("Сервіс роздач зєднань для GPRS/JAVA терміналів водіїв програмного комплексу "
                       "\"Korvent - TAXI\"");
    static constexpr QSize kSize{1000, 623};

    explicit MainWindow(ConsoleParts parts, QWidget* parent = nullptr);

    // The program is ending on the service's own decision: close without asking the service again.
    void closeForEnd();

signals:
    // The operator closed the window and the service let him.
    void closedByOperator();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showSettingsPageWhileStopped();

    const ConsoleParts m_parts;
    QTabWidget* m_pages;
    int m_settingsPage = -1;
    CallsignListsDialog* m_lists;
    bool m_ending = false;
};

} // namespace taxi
