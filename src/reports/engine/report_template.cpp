#include "reports/engine/report_template.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr qint64 kMaxTemplateBytes = 4 * 1024 * 1024;
constexpr int kMaxBands = 200;
constexpr int kMaxItems = 2000;
constexpr double kMaxMillimetres = 5000;

struct Reader {
    QString error;

    bool fail(const QString& where, const QString& what) {
        if (error.isEmpty()) {
            error = QStringLiteral("%1: %2").arg(where, what);
        }
        return false;
    }
    bool number(const QJsonObject& o, const char* key, const QString& where, double min, double max, double* out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            return true;
        }
        if (!v.isDouble()) {
            return fail(where + '.' + key, QStringLiteral("应为数字"));
        }
        const double d = v.toDouble();
        if (!(d >= min && d <= max)) {
            return fail(where + '.' + key, QStringLiteral("数值超出范围(%1..%2)").arg(min).arg(max));
        }
        *out = d;
        return true;
    }
    bool string(const QJsonObject& o, const char* key, const QString& where, QString* out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            return true;
        }
        if (!v.isString()) {
            return fail(where + '.' + key, QStringLiteral("应为文字"));
        }
        *out = v.toString();
        return true;
    }
    bool boolean(const QJsonObject& o, const char* key, const QString& where, bool* out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            return true;
        }
        if (!v.isBool()) {
            return fail(where + '.' + key, QStringLiteral("应为 true 或 false"));
        }
        *out = v.toBool();
        return true;
    }
    bool rect(const QJsonObject& o, const QString& where, QRectF* out) {
        const QJsonValue v = o.value(QLatin1String("rect"));
        if (v.isUndefined()) {
            return true;
        }
        const QJsonArray a = v.toArray();
        if (!v.isArray() || a.size() != 4) {
            return fail(where + ".rect", QStringLiteral("应为 [x, y, 宽, 高]"));
        }
        double n[4];
        for (int i = 0; i < 4; ++i) {
            if (!a[i].isDouble() || !(a[i].toDouble() >= -kMaxMillimetres && a[i].toDouble() <= kMaxMillimetres)) {
                return fail(where + ".rect", QStringLiteral("应为毫米数"));
            }
            n[i] = a[i].toDouble();
        }
        if (n[2] < 0 || n[3] < 0) {
            return fail(where + ".rect", QStringLiteral("宽和高不能为负"));
        }
        *out = QRectF(n[0], n[1], n[2], n[3]);
        return true;
    }
    bool font(const QJsonObject& o, const QString& where, ReportFont* out) {
        const QJsonValue v = o.value(QLatin1String("font"));
        if (v.isUndefined()) {
            return true;
        }
        if (!v.isObject()) {
            return fail(where + ".font", QStringLiteral("应为对象"));
        }
        const QJsonObject f = v.toObject();
        return string(f, "family", where + ".font", &out->family) &&
               number(f, "size", where + ".font", 1, 400, &out->pointSize) &&
               boolean(f, "bold", where + ".font", &out->bold) && boolean(f, "italic", where + ".font", &out->italic);
    }
    bool align(const QJsonObject& o, const QString& where, Qt::Alignment* out) {
        QString a;
        if (!string(o, "align", where, &a)) {
            return false;
        }
        if (a.isEmpty()) {
            return true;
        }
        Qt::Alignment h = Qt::AlignLeft;
        if (a.contains("right")) {
            h = Qt::AlignRight;
        } else if (a.contains("center")) {
            h = Qt::AlignHCenter;
        }
        Qt::Alignment v = Qt::AlignVCenter;
        if (a.contains("top")) {
            v = Qt::AlignTop;
        } else if (a.contains("bottom")) {
            v = Qt::AlignBottom;
        }
        *out = h | v;
        return true;
    }
};

const QList<QPair<QString, ReportBand::Kind>>& bandKinds() {
    static const QList<QPair<QString, ReportBand::Kind>> kinds = {{"title", ReportBand::Kind::Title},
                                                                  {"pageHeader", ReportBand::Kind::PageHeader},
                                                                  {"groupHeader", ReportBand::Kind::GroupHeader},
                                                                  {"detail", ReportBand::Kind::Detail},
                                                                  {"groupFooter", ReportBand::Kind::GroupFooter},
                                                                  {"summary", ReportBand::Kind::Summary},
                                                                  {"pageFooter", ReportBand::Kind::PageFooter}};
    return kinds;
}

const QList<QPair<QString, ReportItem::Kind>>& itemKinds() {
    static const QList<QPair<QString, ReportItem::Kind>> kinds = {{"text", ReportItem::Kind::Text},
                                                                  {"line", ReportItem::Kind::Line},
                                                                  {"rect", ReportItem::Kind::Rect},
                                                                  {"picture", ReportItem::Kind::Picture}};
    return kinds;
}
}  // namespace

bool ReportTemplate::fromJson(const QByteArray& json, ReportTemplate* out, QString* error) {
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        if (error) {
            *error = QStringLiteral("第 %1 个字符处: %2").arg(parse.offset).arg(parse.errorString());
        }
        return false;
    }
    if (!doc.isObject()) {
        if (error) {
            *error = QStringLiteral("模板应为一个 JSON 对象");
        }
        return false;
    }
    const QJsonObject root = doc.object();
    Reader r;
    ReportTemplate t;
    double version = kVersion;
    double columns = 1;
    QString orientation;
    r.number(root, "version", "version", 1, 1000, &version);
    if (r.error.isEmpty() && int(version) > kVersion) {
        r.fail("version", QStringLiteral("模板版本 %1 比本程序新").arg(int(version)));
    }
    t.version = int(version);
    if (root.contains("page")) {
        const QJsonObject page = root.value("page").toObject();
        double w = t.pageSize.width(), h = t.pageSize.height();
        double left = 10, top = 10, right = 10, bottom = 10;
        r.number(page, "width", "page", 10, kMaxMillimetres, &w) &&
            r.number(page, "height", "page", 10, kMaxMillimetres, &h) &&
            r.string(page, "orientation", "page", &orientation);
        if (page.contains("margins")) {
            const QJsonObject m = page.value("margins").toObject();
            r.number(m, "left", "page.margins", 0, 1000, &left) && r.number(m, "top", "page.margins", 0, 1000, &top) &&
                r.number(m, "right", "page.margins", 0, 1000, &right) &&
                r.number(m, "bottom", "page.margins", 0, 1000, &bottom);
        }
        t.pageSize = QSizeF(w, h);
        t.landscape = orientation == QLatin1String("landscape");
        t.margins = QMarginsF(left, top, right, bottom);
        r.number(page, "columns", "page", 1, 50, &columns) &&
            r.number(page, "columnGap", "page", 0, 1000, &t.columnGap) &&
            r.number(page, "columnWidth", "page", 0, kMaxMillimetres, &t.columnWidth);
        QString order;
        r.string(page, "columnOrder", "page", &order);
        t.columnsAcross = order != QLatin1String("down");
    }
    t.columns = int(columns);
    r.boolean(root, "autoColumns", "autoColumns", &t.autoColumns);
    r.string(root, "title", "title", &t.title);
    const QJsonValue bandsValue = root.value("bands");
    if (!bandsValue.isUndefined() && !bandsValue.isArray()) {
        r.fail("bands", QStringLiteral("应为数组"));
    }
    const QJsonArray bands = bandsValue.toArray();
    if (bands.size() > kMaxBands) {
        r.fail("bands", QStringLiteral("带区太多(最多 %1 个)").arg(kMaxBands));
    }
    int itemCount = 0;
    for (int b = 0; b < bands.size() && r.error.isEmpty(); ++b) {
        const QString where = QStringLiteral("bands[%1]").arg(b);
        if (!bands[b].isObject()) {
            r.fail(where, QStringLiteral("应为对象"));
            break;
        }
        const QJsonObject bo = bands[b].toObject();
        ReportBand band;
        QString kind;
        r.string(bo, "kind", where, &kind);
        bool known = false;
        for (const auto& [name, k] : bandKinds()) {
            if (name == kind) {
                band.kind = k;
                known = true;
            }
        }
        if (!known) {
            r.fail(where + ".kind", QStringLiteral("未知的带区类型 \"%1\"").arg(kind));
            break;
        }
        r.number(bo, "height", where, 0, kMaxMillimetres, &band.height) &&
            r.string(bo, "group", where, &band.groupField) && r.boolean(bo, "newPage", where, &band.newPage) &&
            r.boolean(bo, "hideForOneRow", where, &band.hideForOneRow);
        if ((band.kind == ReportBand::Kind::GroupHeader || band.kind == ReportBand::Kind::GroupFooter) &&
            band.groupField.isEmpty() && r.error.isEmpty()) {
            r.fail(where + ".group", QStringLiteral("分组带区需要分组字段"));
        }
        const QJsonArray items = bo.value("items").toArray();
        if (!bo.value("items").isUndefined() && !bo.value("items").isArray()) {
            r.fail(where + ".items", QStringLiteral("应为数组"));
        }
        for (int i = 0; i < items.size() && r.error.isEmpty(); ++i) {
            const QString iw = QStringLiteral("%1.items[%2]").arg(where).arg(i);
            if (++itemCount > kMaxItems) {
                r.fail(iw, QStringLiteral("项目太多(最多 %1 个)").arg(kMaxItems));
                break;
            }
            if (!items[i].isObject()) {
                r.fail(iw, QStringLiteral("应为对象"));
                break;
            }
            const QJsonObject io = items[i].toObject();
            ReportItem item;
            QString type = QStringLiteral("text");
            r.string(io, "type", iw, &type);
            bool knownItem = false;
            for (const auto& [name, k] : itemKinds()) {
                if (name == type) {
                    item.kind = k;
                    knownItem = true;
                }
            }
            if (!knownItem) {
                r.fail(iw + ".type", QStringLiteral("未知的项目类型 \"%1\"").arg(type));
                break;
            }
            QString color;
            r.rect(io, iw, &item.rect) && r.string(io, "text", iw, &item.text) &&
                r.string(io, "format", iw, &item.format) && r.font(io, iw, &item.font) &&
                r.align(io, iw, &item.align) && r.boolean(io, "wrap", iw, &item.wrap) &&
                r.boolean(io, "shrink", iw, &item.shrink) && r.boolean(io, "border", iw, &item.border) &&
                r.number(io, "lineWidth", iw, 0, 50, &item.lineWidth) && r.string(io, "color", iw, &color) &&
                r.string(io, "file", iw, &item.pictureFile) && r.string(io, "field", iw, &item.field) &&
                r.string(io, "image", iw, &item.pictureName);
            if (!color.isEmpty()) {
                item.color = QColor(color);
                if (!item.color.isValid()) {
                    r.fail(iw + ".color", QStringLiteral("无效的颜色 \"%1\"").arg(color));
                }
            }
            if (item.text.size() > 100000) {
                r.fail(iw + ".text", QStringLiteral("文字太长"));
            }
            band.items.append(item);
        }
        t.bands.append(band);
    }
    if (!r.error.isEmpty()) {
        if (error) {
            *error = r.error;
        }
        return false;
    }
    *out = t;
    return true;
}

ReportTemplate::LoadResult ReportTemplate::load(const QString& path, ReportTemplate* out, QString* error) {
    QString file = path;
    if (!QFileInfo::exists(file) && QFileInfo(file).suffix().isEmpty()) {
        file += QStringLiteral(".rmf");
    }
    if (!QFileInfo::exists(file)) {
        *out = ReportTemplate();
        return LoadResult::Missing;
    }
    QFile f(file);
    if (QFileInfo(file).size() > kMaxTemplateBytes) {
        if (error) {
            *error = QStringLiteral("报表模板[%1]太大").arg(file);
        }
        return LoadResult::Failed;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral("无法读取报表模板[%1]: %2").arg(file, f.errorString());
        }
        return LoadResult::Failed;
    }
    QString why;
    if (!fromJson(f.readAll(), out, &why)) {
        if (error) {
            *error = QStringLiteral("报表模板[%1]有错误: %2").arg(file, why);
        }
        return LoadResult::Failed;
    }
    return LoadResult::Loaded;
}

QSizeF ReportTemplate::effectivePageSize() const {
    return landscape ? QSizeF(pageSize.height(), pageSize.width()) : pageSize;
}

QStringList ReportTemplate::groupFields() const {
    QStringList out;
    for (const ReportBand& b : bands) {
        if (b.kind == ReportBand::Kind::GroupHeader && !out.contains(b.groupField, Qt::CaseInsensitive)) {
            out.append(b.groupField);
        }
    }
    for (const ReportBand& b : bands) {
        if (b.kind == ReportBand::Kind::GroupFooter && !out.contains(b.groupField, Qt::CaseInsensitive)) {
            out.append(b.groupField);
        }
    }
    return out;
}

const ReportBand* ReportTemplate::band(ReportBand::Kind kind) const {
    for (const ReportBand& b : bands) {
        if (b.kind == kind) {
            return &b;
        }
    }
    return nullptr;
}
