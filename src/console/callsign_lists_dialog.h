#pragma once

#include <QDialog>

class QStackedWidget;

namespace taxi {

class CallsignListPage;
struct ConsoleParts;

// The dialog TForm2 ("Додаткові налаштувння потоку"): the flow access list and the debtor list, a page
// each. It never blocks the main window; edits live in the page's model until confirmed.
class CallsignListsDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("Додаткові налаштувння потоку");

    CallsignListsDialog(const ConsoleParts& parts, QWidget* parent = nullptr);

    // The buttons of the settings page: the page is filled afresh from its list and the dialog shown.
    void openFlowAccess();
    void openDebtors();

private:
    struct PageTexts;
    QWidget* page(CallsignListPage& model, const PageTexts& texts);
    void open(CallsignListPage& model, int pageIndex);

    const ConsoleParts& m_parts;
    QStackedWidget* m_notebook;
};

} // namespace taxi
