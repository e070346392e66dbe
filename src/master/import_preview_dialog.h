#pragma once

#include <QDialog>
#include <QHash>
#include <QList>

#include "master/master_import.h"

class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;

// The preview of an import: the file's first rows under its own captions,
// in the header under each caption the field it fills (guessed from the caption, and open
// to change), the rows that would be refused with their reasons, and how
// many would go in, and the columns left out that hold something. 导入
// closes it with the plan of the mapping shown.
class ImportPreviewDialog : public QDialog {
    Q_OBJECT
public:
    ImportPreviewDialog(MasterImport& importer, const SpreadsheetReader::Sheet& sheet, const QString& title,
                        QWidget* parent = nullptr);

    const MasterImport::Plan& plan() const { return m_plan; }
    QStringList mapping() const;
    QComboBox* fieldChoice(int column) const { return m_choices.value(column); }
    QListWidget* refusals() const { return m_refusals; }
    // The file's rows; its header holds the field choices.
    QTableWidget* table() const { return m_table; }
    QLabel* summary() const { return m_summary; }
    class QPushButton* importButton() const {
        return m_import;
    }
    // The columns left out that a user may miss, and why; hidden when none.
    QLabel* leftOut() const { return m_leftOut; }
    // Goods only: whether classes the file names that are missing are made.
    class QCheckBox* createClasses() const {
        return m_createClasses;
    }

private:
    // A column's field changed.
    void chosen(int column);
    // Checks every row again with the mapping shown.
    void recheck();

    MasterImport& m_importer;
    const SpreadsheetReader::Sheet& m_sheet;
    MasterImport::Plan m_plan;
    QList<QComboBox*> m_choices;
    QHash<int, int> m_tableRowOf;  // the file's row number -> the table's row
    QTableWidget* m_table;
    QListWidget* m_refusals;
    QLabel* m_summary;
    QLabel* m_leftOut;
    class QPushButton* m_import;
    class QCheckBox* m_createClasses = nullptr;
};
