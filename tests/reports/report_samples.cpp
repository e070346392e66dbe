#include "reports/report_samples.h"

#include <QTemporaryDir>
#include <algorithm>

#include "data/database.h"
#include "platform/app_paths.h"

ReportRows ReportSamples::rows(int n, int groups) {
    ReportRows r;
    r.fields = {"code", "grp", "amount", "note"};
    for (int i = 1; i <= n; ++i) {
        r.rows.append({QString("R%1").arg(i, 3, 10, QChar('0')), QString("G%1").arg((i - 1) * groups / std::max(1, n)),
                       double(i), QString()});
    }
    return r;
}

ReportTemplate ReportSamples::listTemplate(double detailHeight, const QString& footerText) {
    const auto item = [](double width, double height, const QString& text) {
        ReportItem i;
        i.rect = QRectF(0, 0, width, height);
        i.text = text;
        return i;
    };
    ReportTemplate t;
    t.margins = QMarginsF(10, 10, 10, 10);
    t.bands = {{ReportBand::Kind::PageHeader, 10, {}, {item(50, 10, "编号")}},
               {ReportBand::Kind::Detail, detailHeight, {}, {item(50, detailHeight, "[code]")}},
               {ReportBand::Kind::PageFooter, 10, {}, {item(150, 10, footerText)}}};
    return t;
}

QStringList ReportSamples::textsOf(const PreparedReport& report, std::optional<ReportBand::Kind> band, int page) {
    QStringList out;
    for (int i = 0; i < report.pages.size(); ++i) {
        if (page >= 0 && i != page) {
            continue;
        }
        for (const ReportPrimitive& p : report.pages[i].items) {
            if (p.kind == ReportPrimitive::Kind::Text &&
                (!band || (p.band >= 0 && p.band < report.bands.size() && report.bands[p.band].kind == *band))) {
                out << p.text;
            }
        }
    }
    return out;
}

QString ReportSamples::dump(const PreparedReport& report) {
    static const char* const kinds[] = {"title",       "pageHeader", "groupHeader", "detail",
                                        "groupFooter", "summary",    "pageFooter"};
    QStringList lines;
    for (int page = 0; page < report.pages.size(); ++page) {
        lines << QStringLiteral("== page %1").arg(page + 1);
        int band = -2;  // a new line for the first text of the page
        for (const ReportPrimitive& p : report.pages[page].items) {
            if (p.kind != ReportPrimitive::Kind::Text) {
                continue;
            }
            QString text = p.text;
            text.replace('\n', QStringLiteral("\\n"));
            if (p.band != band) {
                band = p.band;
                const QString kind = band >= 0 && band < report.bands.size()
                                         ? QString::fromLatin1(kinds[int(report.bands[band].kind)])
                                         : QStringLiteral("?");
                lines << QStringLiteral("[%1] %2").arg(kind, text);
            } else {
                lines.last() += " | " + text;
            }
        }
    }
    return lines.join('\n') + '\n';
}

void ReportSamples::insert(Database& db, const QString& table, const QString& names, const QVariantList& values) {
    QStringList marks;
    QVariantMap params;
    for (int i = 0; i < values.size(); ++i) {
        marks << QStringLiteral(":v%1").arg(i);
        params.insert(marks.last().mid(1), values[i]);
    }
    db.execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, names, marks.join(", ")), params);
}

bool ReportSamples::printout(Database& db, DocumentPrintouts::Kind kind, const QString& key, PreparedReport* out) {
    const QTemporaryDir folder;  // a program folder without templates of its own
    const QString path = AppPaths(folder.path()).reportFile(DocumentPrintouts::templateName(kind));
    ReportTemplate tmpl;
    QString error;
    if (ReportTemplate::load(path, &tmpl, &error) != ReportTemplate::LoadResult::Loaded) {
        qWarning("%s: %s", qPrintable(path), qPrintable(error));
        return false;
    }
    if (!ReportPreparer(tmpl).prepare(DocumentPrintouts(db).rows(kind, key), out, &error, QDate(2024, 4, 1))) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

QString ReportSamples::printoutDump(Database& db, DocumentPrintouts::Kind kind, const QString& key) {
    PreparedReport out;
    if (!printout(db, kind, key, &out)) {
        return {};
    }
    return QStringLiteral("template %1, caption %2, page %3 x %4\n")
               .arg(DocumentPrintouts::templateName(kind), DocumentPrintouts::caption(kind))
               .arg(out.pageSizeMm.width())
               .arg(out.pageSizeMm.height()) +
           dump(out);
}
