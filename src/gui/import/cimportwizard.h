#pragma once

#include "import/cimporter.h"
#include "import/cstatementfile.h"

#include <QWizard>
#include <memory>

class CPreviewModel;
class CSession;

// "导入账单…": choose a file and what it is, preview every row, import the ticked ones.
// The pages share what they found through the wizard's members, which only they reach.
class CImportWizard : public QWizard {
    Q_OBJECT
public:
    enum EPage { PageFile, PagePreview, PageDone };

    // Imports for the session's user; its writes are refused once the user row the session
    // logged in to is gone.
    explicit CImportWizard(const CSession* pSession, QWidget* pParent = nullptr);

    // What the import wrote (bDone false: cancelled, nothing written).
    const CImporter::SResult& Result() const { return m_result; }

private:
    friend class CImportFilePage;
    friend class CImportPreviewPage;
    friend class CImportDonePage;
    friend class CTestAccess;

    const CSession* m_pSession;
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
