#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "master/master_import.h"

// One import of customers, suppliers or goods, as the lists' 导入… and
// olvendctl both run it: the file read, the importer set up for the user's
// right to see costs, the rows checked against the book and written in one
// transaction, and what is said afterwards. The caller chooses the target
// group and the mapping (the preview lets the user change it; olvendctl
// takes the one the captions give).
class MasterImportRun {
public:
    MasterImportRun(Database& db, const Clock& clock, const QString& userName, MasterKind kind, bool seesCost);

    MasterImport& importer() { return m_importer; }

    // Reads the file; false when it has no row below its captions.
    bool read(const QString& file);
    static QString noRowsText() { return QStringLiteral("文件中没有可导入的行"); }
    const SpreadsheetReader::Sheet& sheet() const { return m_sheet; }
    // The fields the captions fill; refused (UserError) when none of them
    // is a caption the program knows, which is the mark of a file with no
    // caption row or in another encoding.
    QStringList recognisedMapping() const;
    // Checks every row with `mapping` against the book as it is now.
    const MasterImport::Plan& check(const QStringList& mapping);
    // Checks once more (the book may have changed since the preview) and
    // writes the accepted rows, all or none; returns how many were written.
    int write(const QStringList& mapping);

    // What the list says after a write: how many records went in, how many
    // rows were refused, the goods classes made, and the refusals that
    // `namedBefore` (the preview's) did not name, at most ten of them.
    QString summary(int written, const QList<MasterImport::Refusal>& namedBefore) const;

private:
    MasterKind m_kind;
    MasterImport m_importer;
    SpreadsheetReader::Sheet m_sheet;
    MasterImport::Plan m_plan;
};
