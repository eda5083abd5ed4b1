#pragma once

#include <QString>

#include "framework/PropertyPage.h"

class QCheckBox;
class QLineEdit;

// The "General" page of the Options sheet: the system-file protection
// switch and, read-only, the directory it protects.
class CGeneralPage : public framework::PropertyPage {
    Q_OBJECT

public:
    explicit CGeneralPage(QWidget* parent = nullptr);

    // Bound to check box 1001: nonzero while checked. 0 at construction.
    [[nodiscard]] int Protect() const { return m_protect; }
    void SetProtect(int protect) { m_protect = protect; }
    // Bound to the read-only edit 1008. Empty at construction.
    [[nodiscard]] const QString& Directory() const { return m_directory; }
    void SetDirectory(const QString& directory) { m_directory = directory; }

    void DoDataExchange(bool save) override;

    [[nodiscard]] QCheckBox* ProtectBox() const { return m_protectBox; }
    [[nodiscard]] QLineEdit* DirectoryEdit() const { return m_directoryEdit; }

private:
    int m_protect = 0;
    QString m_directory;
    QCheckBox* m_protectBox;
    QLineEdit* m_directoryEdit;
};
