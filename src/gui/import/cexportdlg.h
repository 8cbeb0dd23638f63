#pragma once

#include <QDate>
#include <QDialog>

class QComboBox;
class QDateEdit;
class QLineEdit;
class CSession;

// "导出…": the user's records and transfers over a date range, as QIF or CSV.
class CExportDlg : public QDialog {
    Q_OBJECT
public:
    explicit CExportDlg(const CSession* pSession, QWidget* pParent = nullptr);
    // For tests: the choices a person would make.
    void Set(bool bQif, const QDate& from, const QDate& to, const QString& strPath);

private:
    void OnBrowse();
    void OnOK();

    const CSession* m_pSession;
    QComboBox* m_pFormat;
    QDateEdit* m_pFrom;
    QDateEdit* m_pTo;
    QLineEdit* m_pPath;
};
