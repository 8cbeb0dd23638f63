#pragma once

#include "import/cimporter.h"
#include "import/cstatementfile.h"

#include <QWizard>
#include <memory>

class CPreviewModel;

// "导入账单…": choose a file and what it is, preview every row, import the ticked ones.
// The pages share what they found through the wizard's members.
class CImportWizard : public QWizard {
    Q_OBJECT
public:
    enum EPage { PageFile, PagePreview, PageDone };

    // nSessionUser: the UserID the session logged in to (its writes are refused once that
    // user row is gone); 0 checks nothing.
    CImportWizard(const QString& strUser, qint64 nSessionUser, QWidget* pParent = nullptr);

    QString m_strUser;
    qint64 m_nSessionUser = 0;
    CImporter m_importer;
    std::shared_ptr<CStatementFile> m_pFile; // null until a file was read
    SStatement m_statement;
    QString m_strAccount;
    QString m_strLayoutKey; // a CSV's layout, remembered with m_mapping once confirmed
    SColumnMapping m_mapping;
    QVector<SImportRule> m_rules;
    CPreviewModel* m_pModel = nullptr;
    CImporter::SResult m_result;
};
