#include <QDir>

#include "reports/engine/report_preparer.h"
#include "reports/engine/report_preparer_parts.h"

// How a template is compiled for the rows it is filled with: columns made
// for every field where the template asks for them, expressions parsed,
// bands ordered and their groups bound to fields.

namespace {
QString bandName(ReportBand::Kind k) {
    switch (k) {
        case ReportBand::Kind::Title:
            return QStringLiteral("title");
        case ReportBand::Kind::PageHeader:
            return QStringLiteral("pageHeader");
        case ReportBand::Kind::GroupHeader:
            return QStringLiteral("groupHeader");
        case ReportBand::Kind::Detail:
            return QStringLiteral("detail");
        case ReportBand::Kind::GroupFooter:
            return QStringLiteral("groupFooter");
        case ReportBand::Kind::Summary:
            return QStringLiteral("summary");
        case ReportBand::Kind::PageFooter:
            return QStringLiteral("pageFooter");
    }
    return {};
}
}  // namespace

void ReportPreparer::expandAutoColumns(const ReportRows& rows) {
    const QSizeF page = m_template.effectivePageSize();
    const double width = page.width() - m_template.margins.left() - m_template.margins.right();
    const int n = std::max<int>(1, static_cast<int>(rows.fields.size()));
    const double w = width / n;
    ReportBand title{ReportBand::Kind::Title, 12, {}, {}};
    ReportItem t;
    t.rect = QRectF(0, 0, width, 10);
    t.text = m_template.title.isEmpty() ? QStringLiteral("数据列表") : m_template.title;
    t.text.replace('[', QLatin1String("[["));
    t.font.pointSize = 14;
    t.font.bold = true;
    t.align = Qt::AlignHCenter | Qt::AlignVCenter;
    title.items.append(t);
    ReportBand header{ReportBand::Kind::PageHeader, 8, {}, {}};
    ReportBand detail{ReportBand::Kind::Detail, 6, {}, {}};
    for (int i = 0; i < rows.fields.size(); ++i) {
        ReportItem caption;
        caption.rect = QRectF(i * w, 0, w, 7);
        caption.text = QString(rows.fields[i]).replace('[', QLatin1String("[["));
        caption.font.bold = true;
        caption.font.pointSize = 9;
        caption.border = true;
        header.items.append(caption);
        // The value by the column's name as it stands: a name need not be
        // one an expression could write.
        ReportItem cell;
        cell.kind = ReportItem::Kind::FieldValue;
        cell.rect = QRectF(i * w, 0, w, 6);
        cell.field = rows.fields[i];
        cell.font.pointSize = 9;
        cell.wrap = true;
        cell.border = true;
        detail.items.append(cell);
    }
    ReportBand footer{ReportBand::Kind::PageFooter, 8, {}, {}};
    ReportItem number;
    number.rect = QRectF(0, 1, width, 6);
    number.text = QStringLiteral("第 [page()] 页 / 共 [pages()] 页");
    number.font.pointSize = 9;
    number.align = Qt::AlignHCenter | Qt::AlignVCenter;
    footer.items.append(number);
    m_template.bands = {title, header, detail, footer};
}

bool ReportPreparer::compile(const ReportRows& rows, QString* error) {
    if (m_template.autoColumns) {
        expandAutoColumns(rows);
    }
    // Nothing of the last compile is kept: the slots point into its bands.
    m_bands.clear();
    m_reportSlots.clear();
    m_pageSlots.clear();
    m_slotArguments.clear();
    m_slotOfAggregate.clear();
    m_argumentSlots = 0;
    const QStringList groups = m_template.groupFields();
    m_groupSlots.assign(groups.size(), {});
    // One slot per distinct argument, over every sum; each sum adds a slot
    // once, however many of its aggregates read it.
    QHash<QString, int> slotOfKey;
    auto addToSums = [this, &slotOfKey](const ReportExpression::Aggregate& a, std::vector<int>& sums) {
        const QString key = ReportExpression::nodeKey(a.argument);
        int slot = slotOfKey.value(key, -1);
        if (slot < 0) {
            slot = static_cast<int>(m_slotArguments.size());
            slotOfKey.insert(key, slot);
            m_slotArguments.push_back(a.argument);
        }
        if (static_cast<size_t>(a.id) >= m_slotOfAggregate.size()) {
            m_slotOfAggregate.resize(static_cast<size_t>(a.id) + 1, -1);
        }
        m_slotOfAggregate[static_cast<size_t>(a.id)] = slot;
        if (std::find(sums.begin(), sums.end(), slot) == sums.end()) {
            sums.push_back(slot);
        }
    };
    int nextId = 0;
    for (int b = 0; b < m_template.bands.size(); ++b) {
        auto band = std::make_unique<CompiledBand>();
        band->band = m_template.bands[b];
        if (!band->band.groupField.isEmpty()) {
            band->level = static_cast<int>(groups.indexOf(band->band.groupField));
            band->groupFieldIndex = rows.fieldIndex(band->band.groupField);
        }
        for (int i = 0; i < band->band.items.size(); ++i) {
            const ReportItem& item = band->band.items[i];
            CompiledItem c;
            c.item = &band->band.items[i];
            if (item.kind == ReportItem::Kind::FieldValue) {
                c.text = ReportText::ofField(item.field);
                band->hasWrap = band->hasWrap || item.wrap;
            } else if (item.kind == ReportItem::Kind::Text) {
                QString why;
                if (!c.text.parse(item.text, &why, nextId)) {
                    if (error) {
                        *error = QStringLiteral("bands[%1](%2).items[%3]: %4")
                                     .arg(b)
                                     .arg(bandName(band->band.kind))
                                     .arg(i)
                                     .arg(why);
                    }
                    return false;
                }
                for (const auto& a : c.text.aggregates()) {
                    addToSums(a, sumsOf(band->band.kind, band->level, a.scope));
                    nextId = std::max(nextId, a.id + 1);
                }
                c.usesPages = c.text.usesPageCount();
                band->hasWrap = band->hasWrap || item.wrap;
            }
            c.font = {item.font.family, item.font.pointSize / 72.0 * PreparedReport::kDotsPerInch, item.font.bold,
                      item.font.italic};
            band->items.push_back(std::move(c));
        }
        m_bands.push_back(std::move(band));
    }
    m_argumentSlots = static_cast<int>(m_slotArguments.size());
    return true;
}

std::vector<int>& ReportPreparer::sumsOf(ReportBand::Kind kind, int level, const QString& scope) {
    // As emitBand answers an aggregate: by its scope, or by its band's kind
    // when it names none.
    QString resolved = scope;
    if (resolved.isEmpty()) {
        switch (kind) {
            case ReportBand::Kind::GroupHeader:
            case ReportBand::Kind::GroupFooter:
                resolved = QStringLiteral("group");
                break;
            case ReportBand::Kind::PageHeader:
            case ReportBand::Kind::PageFooter:
                resolved = QStringLiteral("page");
                break;
            default:
                resolved = QStringLiteral("report");
                break;
        }
    }
    if (resolved == QLatin1String("page")) {
        return m_pageSlots;
    }
    if (resolved == QLatin1String("group")) {
        const int groups = static_cast<int>(m_groupSlots.size());
        const int l = level >= 0 ? level : groups - 1;
        if (l >= 0 && l < groups) {
            return m_groupSlots[static_cast<size_t>(l)];
        }
    }
    return m_reportSlots;
}
