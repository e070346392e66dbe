#include "master/master_import_run.h"

#include <QSet>
#include <algorithm>

#include "platform/errors.h"

MasterImportRun::MasterImportRun(Database& db, const Clock& clock, const QString& userName, MasterKind kind,
                                 bool seesCost)
    : m_kind(kind), m_importer(db, clock, userName, kind) {
    m_importer.setSeesCost(seesCost);
}

bool MasterImportRun::read(const QString& file) {
    m_sheet = SpreadsheetReader::read(file);
    return m_sheet.rows.size() >= 2;
}

QStringList MasterImportRun::recognisedMapping() const {
    const QStringList mapping = m_importer.guessMapping(m_sheet.rows.value(0));
    if (std::all_of(mapping.cbegin(), mapping.cend(), [](const QString& f) { return f.isEmpty(); })) {
        throw UserError(QStringLiteral("文件的第一行没有认得出的列标题（例如 %1）。请检查第一行是否是列标题，"
                                       "以及文件的编码是否正确。")
                            .arg(m_importer.fieldCaptions(m_importer.importableFields().value(0)).value(0)));
    }
    // Captions read in the wrong encoding still match the few written in
    // ASCII (QQ, E-MAIL): rows of those alone would become records without
    // code or name, so the file is refused as unreadable.
    if (!MasterColumns::mapsIdentifyingField(m_kind, mapping)) {
        QStringList named;
        for (const QString& field : MasterColumns::identifyingFields(m_kind)) {
            named << QLatin1Char('[') + m_importer.fieldCaptions(field).value(0) + QLatin1Char(']');
        }
        throw UserError(
            QStringLiteral("文件的第一行没有%1中的任何一列，导入的记录将无法区分。请检查第一行是否是列标题，"
                           "以及文件的编码是否正确。")
                .arg(named.join(QStringLiteral("、"))));
    }
    return mapping;
}

const MasterImport::Plan& MasterImportRun::check(const QStringList& mapping) {
    m_plan = m_importer.check(m_sheet, mapping);
    return m_plan;
}

int MasterImportRun::write(const QStringList& mapping) {
    check(mapping);
    return m_importer.write(m_plan);
}

QString MasterImportRun::summary(int written, const QList<MasterImport::Refusal>& namedBefore) const {
    const QString word = MasterColumns::recordWord(m_kind);
    QString said =
        QStringLiteral("已导入 %1 个%2%3")
            .arg(written)
            .arg(word,
                 m_plan.refused.isEmpty() ? QString() : QStringLiteral("，%1 行不能导入").arg(m_plan.refused.size()));
    if (written > 0 && !m_plan.newClasses.isEmpty()) {
        said += QStringLiteral("\n新建了商品分类：%1").arg(m_plan.newClasses.join(QStringLiteral("、")));
    }
    // Rows another user's work refused since the preview was shown: named,
    // as the preview named the others.
    QSet<int> shown;
    for (const MasterImport::Refusal& r : namedBefore) {
        shown.insert(r.rowNumber);
    }
    int unnamed = 0;
    for (const MasterImport::Refusal& r : m_plan.refused) {
        if (!shown.contains(r.rowNumber) && unnamed++ < 10) {
            said += QStringLiteral("\n第 %1 行：%2").arg(r.rowNumber).arg(r.reason);
        }
    }
    if (unnamed > 10) {
        said += QStringLiteral("\n另有 %1 行").arg(unnamed - 10);
    }
    return said;
}
