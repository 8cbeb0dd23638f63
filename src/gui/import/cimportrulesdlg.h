#pragma once

#include "import/cimporter.h"

#include <QDialog>

class QTableWidget;

// The keyword → category rules of the user: a keyword found in the counterpart or the
// goods of a row gives its category (the first matching rule wins).
class CImportRulesDlg : public QDialog {
    Q_OBJECT
public:
    // sorts: the user's categories the preview offers.
    CImportRulesDlg(const QVector<SImportRule>& rules, const SImportSorts& sorts,
                    QWidget* pParent = nullptr);
    QVector<SImportRule> Rules() const;

private:
    void AddRow(const SImportRule& rule);

    SImportSorts m_sorts;
    QTableWidget* m_pTable;
};
