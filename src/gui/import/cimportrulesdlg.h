#pragma once

#include "import/cimporter.h"

#include <QDialog>

class QTableWidget;

// The keyword → category rules of the user: a keyword found in the counterpart or the
// goods of a row gives its category (the first matching rule wins).
class CImportRulesDlg : public QDialog {
    Q_OBJECT
public:
    CImportRulesDlg(const QVector<SImportRule>& rules, QWidget* pParent = nullptr);
    QVector<SImportRule> Rules() const;

private:
    void AddRow(const SImportRule& rule);

    QTableWidget* m_pTable;
};
