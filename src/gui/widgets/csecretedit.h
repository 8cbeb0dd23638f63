#pragma once

#include <QLineEdit>

// A password field: shows dots, and Wipe() overwrites what was typed where it lies in memory
// before emptying the field (which also drops its undo steps). Wiped when destroyed too.
class CSecretEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CSecretEdit(QWidget* pParent = nullptr);
    ~CSecretEdit() override;

    void Wipe();
};
