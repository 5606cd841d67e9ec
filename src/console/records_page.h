#pragma once

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace taxi {

namespace net {
class ConnectionRecords;
struct PortList;
} // namespace net

// The page "  НАСТРОЙКИ  КЛІЄНТІВ  ": the records grid DBGrid1, the button column and the record panel with
// its create and edit groups. Every action is the records' own; the page only shows them.
class RecordsPage : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("  НАСТРОЙКИ  КЛІЄНТІВ  ");

    explicit RecordsPage(net::ConnectionRecords& records, QWidget* parent = nullptr);

private:
    QFrame* buildCreateGroup();
    QFrame* buildEditGroup();
    // The rows both groups have, the port list with its "Auto ..." button, and the group's own button.
    void layOut(QWidget* body, QWidget* callsign, QWidget* name, QWidget* password, QComboBox* ports,
                const QString& autoName, QPushButton* action);
    void openNewRecord();
    void openEditRecord();
    void hidePanel();
    // One group fills the panel, the other keeps only its caption line.
    void expand(QFrame* group, QFrame* collapsed);
    void followGrid(int row);
    void showCurrentInEditGroup();
    static void fillPorts(QComboBox& list, const net::PortList& ports);

    net::ConnectionRecords& m_records;
    QTableView* m_grid;
    QWidget* m_panel;
    QFrame* m_createGroup;
    QFrame* m_editGroup;
    QComboBox* m_createCallsigns = nullptr;
    QComboBox* m_createNames = nullptr;
    QLineEdit* m_createPassword = nullptr;
    QComboBox* m_createPorts = nullptr;
    QLabel* m_editCallsign = nullptr;
    QLabel* m_editName = nullptr;
    QLineEdit* m_editPassword = nullptr;
    QComboBox* m_editPorts = nullptr;
};

} // namespace taxi
