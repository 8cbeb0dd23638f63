#pragma once

#include "records/ccategorybook.h"

#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class CSession;

// "类别管理": the logged-in user's categories of income or outlay. Add, rename (every record
// follows), merge one into another, hide, move up and down, give a short name for charts, or
// delete one no record uses. Below the list, the texts the user's records carry that the list
// lacks ("账本中出现的类别"), to adopt into the list or merge into one of it. Every button
// writes at once; the lists are read afresh after each write.
class CCategoriesDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl {
        IDC_KIND = 1301,
        IDC_LIST = 1302,
        IDC_FOUND = 1303,
        IDC_NAME = 1304,
        IDC_SHORT = 1305,
        IDC_INTO = 1306,
        IDC_ADD = 1310,
        IDC_RENAME = 1311,
        IDC_SET_SHORT = 1312,
        IDC_HIDE = 1313,
        IDC_UP = 1314,
        IDC_DOWN = 1315,
        IDC_DELETE = 1316,
        IDC_MERGE = 1317,
        IDC_ADOPT = 1318,
        IDC_CLOSE = 2,
    }; // The session's user's categories; the writes of a user deleted elsewhere are refused.
    explicit CCategoriesDlg(const CSession* pSession, QWidget* pParent = nullptr);
    // Shows the categories, outlay first; returns when the dialog is closed.
    int Run();
    // Reads the lists of the kind shown again; false after a database error.
    bool Reload();

    // Whether anything was written while the dialog was up (the caller then refreshes).
    bool m_bChanged = false;

public Q_SLOTS:
    void OnAdd();
    void OnRename();
    void OnSetShort();
    void OnHide();
    void OnUp();
    void OnDown();
    void OnDelete();
    void OnMerge();
    void OnAdopt();

private:
    CCategoryBook Book() const;
    void OnSelectionChanged(QTreeWidget* pFrom);
    // The name chosen in the list ("" for none), and in the found texts.
    QString Selected() const;
    QString SelectedFound() const;
    // Shows a refusal ("" for none); after a write, reads the lists again and selects strName.
    bool Done(const QString& strRefusal, const QString& strName);
    void Select(const QString& strName);
    void UpdateButtons();

    const CSession* m_pSession;
    QList<CCategoryBook::SCategory> m_list;
    QList<CCategoryBook::SCategory> m_found;
    QComboBox* m_pKind = nullptr;
    QTreeWidget* m_pList = nullptr;
    QTreeWidget* m_pFound = nullptr;
    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pShort = nullptr;
    QComboBox* m_pInto = nullptr;
    QPushButton* m_pRename = nullptr;
    QPushButton* m_pSetShort = nullptr;
    QPushButton* m_pHide = nullptr;
    QPushButton* m_pUp = nullptr;
    QPushButton* m_pDown = nullptr;
    QPushButton* m_pDelete = nullptr;
    QPushButton* m_pMerge = nullptr;
    QPushButton* m_pAdopt = nullptr;
};
