#pragma once

#include "plans/crecurring.h"

#include <QDialog>
#include <QVector>

class CSession;
class QPushButton;
class QTreeWidget;

// The logged-in user's recurring records: the list of templates (what, how much, when, and
// whether paused), and adding, changing, pausing or resuming and deleting them, each written
// at once.
class CRecurringDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl {
        IDCANCEL = 2,
        IDC_LIST = 1000,
        IDC_ADD = 1001,
        IDC_CHANGE = 1002,
        IDC_PAUSE = 1003,
        IDC_DELETE = 1004,
    };

    explicit CRecurringDlg(const CSession* pSession, QWidget* pParent = nullptr);

    // Reads the templates into the list.
    void OnInitDialog();

    // What a template writes, as the lists show it: "房租支出　房租" or "转账　现金 → 银行".
    static QString WhatText(const CRecurring::STemplate& t);

public Q_SLOTS:
    void OnAdd();
    void OnChange();
    void OnPause();
    void OnDelete();

private:
    // The template of the selected row, or null.
    const CRecurring::STemplate* Selected() const;
    void UpdateButtons();

    QTreeWidget* m_pList = nullptr;
    QVector<CRecurring::STemplate> m_templates;

    const CSession* m_pSession;
    QPushButton* m_pChange = nullptr;
    QPushButton* m_pPause = nullptr;
    QPushButton* m_pDelete = nullptr;
};
