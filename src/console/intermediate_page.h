#pragma once

#include <QWidget>

class QTabWidget;

namespace taxi {

struct ConsoleParts;

// The page "  ПРОМІЖНІ  ДАНІ  ": the stand table, the order flow with its counts and the news, each an
// inner page, with a column of page buttons to their left.
class IntermediatePage : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("  ПРОМІЖНІ  ДАНІ  ");
    static inline const QString kStandsCaption = QStringLiteral("  ТАБЛИЦЯ  СТОЯНОК  ");
    static inline const QString kFlowCaption = QStringLiteral("  ПОТІК  ЗАМОВЛЕНЬ  ");
    static inline const QString kNewsCaption = QStringLiteral(" НОВИНИ  ...  ");

    IntermediatePage(const ConsoleParts& parts, QWidget* parent = nullptr);

private:
    QWidget* standsPage(const ConsoleParts& parts);
    QWidget* flowPage(const ConsoleParts& parts);
    QWidget* newsPage(const ConsoleParts& parts);

    QTabWidget* m_pages;
};

} // namespace taxi
