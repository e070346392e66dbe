#include "reports/engine/report_preparer.h"

#include "reports/engine/report_preparer_parts.h"

#include "data/field_def.h"
#include "platform/font_setup.h"
#include "platform/picture_reader.h"

#include <QDir>
#include <QFontMetricsF>
#include <QImageReader>
#include <algorithm>
#include <cfloat>
#include <limits>

namespace {

// A text of ASCII letters and digits alone: it has no place to break a
// line (a number, a code), so it takes one line whatever its width, as high
// as any other such text in the same font.
bool isPlainWord(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))) {
            return false;
        }
    }
    return true;
}

// Whether two values of a group field belong to one group: as their texts
// compare, without making the texts where the values' kind allows.
bool sameGroupValue(const QVariant& a, const QVariant& b) {
    if (a.typeId() == b.typeId() && !a.isNull() && !b.isNull()) {
        switch (a.typeId()) {
            case QMetaType::QString:
                return a.toString() == b.toString();
            case QMetaType::QDate:
                return a.toDate() == b.toDate();
            case QMetaType::Int:
            case QMetaType::LongLong:
                return a.toLongLong() == b.toLongLong();
            default:
                break;
        }
    }
    return a.toString() == b.toString();
}
}  // namespace

ReportPreparer::ReportPreparer(const ReportTemplate& tmpl, const QString& templateFolder)
    : m_template(tmpl), m_folder(templateFolder) {
    installFontSubstitutions();
}

ReportPreparer::~ReportPreparer() = default;

void ReportPreparer::setParameters(const QVariantMap& parameters) {
    m_parameters.clear();
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        m_parameters.insert(it.key().toLower(), it.value());
    }
}

void ReportPreparer::setImage(const QString& name, const QImage& image) {
    m_namedImages.insert(name, image);
}

QVariant ReportPreparer::fieldValue(const State& s, const QString& field, int row) const {
    auto known = s.nameIndex.constFind(field);
    if (known == s.nameIndex.constEnd()) {
        known = s.nameIndex.insert(field, s.fieldIndex.value(field.toLower(), -1));
    }
    const int i = known.value();
    if (i >= 0) {
        return row >= 0 && row < s.rows->rows.size() ? s.rows->rows[row].value(i) : QVariant();
    }
    return m_parameters.value(field.toLower());
}

void ReportPreparer::bindRow(ReportExpression::Context& ctx, const State& s, int row) const {
    ctx.field = [this, &s, row](const QString& f) { return fieldValue(s, f, row); };
    if (row >= 0 && row < s.rows->rows.size()) {
        ctx.row = &s.rows->rows[row];
        ctx.columnOf = [&s](const QString& f) { return s.fieldIndex.value(f.toLower(), -1); };
    }
}

int ReportPreparer::namedImageIndex(State& s, const QString& name) {
    const QString key = QStringLiteral("@") + name;
    const auto it = s.images.constFind(key);
    if (it != s.images.constEnd()) {
        return it.value();
    }
    int index = -1;
    const QImage image = m_namedImages.value(name);
    if (!image.isNull()) {
        s.out->images.append(image);
        index = static_cast<int>(s.out->images.size()) - 1;
    }
    s.images.insert(key, index);
    return index;
}

int ReportPreparer::imageIndex(State& s, const QString& path) {
    if (path.isEmpty()) {
        return -1;
    }
    const auto it = s.images.constFind(path);
    if (it != s.images.constEnd()) {
        return it.value();
    }
    const QString file = QDir::isAbsolutePath(path) || m_folder.isEmpty() ? path : QDir(m_folder).filePath(path);
    QImage image;
    if (PictureReader::pngChunksFit(file)) {
        QImageReader reader(file);
        reader.setAllocationLimit(256);
        image = reader.read();
    }
    int index = -1;
    if (!image.isNull()) {
        s.out->images.append(image);
        index = static_cast<int>(s.out->images.size()) - 1;
    }
    s.images.insert(path, index);
    return index;
}

double ReportPreparer::bandHeight(State& s, const CompiledBand& band, int row, double width) {
    Q_UNUSED(width);
    double height = band.band.height * kMm;
    if (!band.hasWrap) {
        return height;
    }
    ReportExpression::Context ctx;
    bindRow(ctx, s, row);
    ctx.page = s.out->pages.size();
    ctx.today = s.today;
    for (const CompiledItem& c : band.items) {
        if (!c.item->wrap || (c.item->kind != ReportItem::Kind::Text && c.item->kind != ReportItem::Kind::FieldValue)) {
            continue;
        }
        // A number never wraps (it is set smaller instead).
        QVariant single;
        if (c.text.singleValue(ctx, &single) && isNumericValue(single)) {
            continue;
        }
        const QString text = c.text.evaluate(ctx, c.item->format);
        auto measure = [&c, &text] {
            if (!c.metrics) {
                c.metrics = std::make_unique<QFontMetricsF>(c.font.toFont());
            }
            const QRectF box(0, 0, std::max(1.0, c.item->rect.width() * kMm - 2 * kMm * 0.5), 1e9);
            return c.metrics->boundingRect(box, Qt::TextWordWrap | int(c.item->align), text).height() + kMm;
        };
        double needed = 0;
        if (isPlainWord(text)) {
            if (c.wordHeight < 0) {
                c.wordHeight = measure();
            }
            needed = c.wordHeight;
        } else {
            auto measured = c.heights.constFind(text);
            if (measured == c.heights.constEnd()) {
                measured = c.heights.insert(text, measure());
            }
            needed = measured.value();
        }
        height = std::max(height, c.item->rect.y() * kMm + needed + (band.band.height - c.item->rect.bottom()) * kMm);
    }
    return height;
}

namespace {
// What numbers are written with.
const QString kNumberCharacters = QStringLiteral("0123456789,.-+ ");

// Whether a number's text is as wide in this font as its characters added
// up: no pair of its characters is kerned. Checked once per font, pair by
// pair.
bool numbersAddUp(const QFontMetricsF& metrics, const QFont& font) {
    thread_local QHash<QString, bool> known;
    const QString key = font.key();
    if (const auto it = known.constFind(key); it != known.constEnd()) {
        return it.value();
    }
    bool addUp = true;
    for (const QChar a : kNumberCharacters) {
        for (const QChar b : kNumberCharacters) {
            const QString pair = QString(a) + b;
            addUp =
                addUp && metrics.horizontalAdvance(pair) == metrics.horizontalAdvance(a) + metrics.horizontalAdvance(b);
        }
    }
    known.insert(key, addUp);
    return addUp;
}
}  // namespace

int ReportPreparer::shrunkFont(State& s, const CompiledItem& c, const QString& text, double width) {
    if (!c.metrics) {
        c.metrics = std::make_unique<QFontMetricsF>(c.font.toFont());
    }
    // The painter leaves half a millimetre on each side.
    const double room = width - 2 * 0.5 * kMm;
    if (room <= 0) {
        return c.fontIndex;
    }
    // A text no wider than its length in the font's widest characters fits
    // without being measured. So does one whose characters' own widths add
    // up to well inside the room: shaping only ever narrows a plain text by
    // kerning and ligatures, and never widens it by a tenth.
    if (c.widestCharacter < 0) {
        c.widestCharacter = c.metrics->maxWidth();
    }
    if (text.size() * c.widestCharacter <= room) {
        return c.fontIndex;
    }
    double characters = 0;
    bool number = true;
    for (const QChar ch : text) {
        if (ch.isSurrogate() || ch.isMark() || ch.category() == QChar::Other_Format) {
            characters = -1;  // pairs, marks and joiners are measured whole
            break;
        }
        number = number && kNumberCharacters.contains(ch);
        auto w = c.characterWidths.constFind(ch.unicode());
        if (w == c.characterWidths.constEnd()) {
            w = c.characterWidths.insert(ch.unicode(), c.metrics->horizontalAdvance(ch));
        }
        characters += w.value();
    }
    if (characters >= 0 && characters <= room * 0.9) {
        return c.fontIndex;
    }
    double needed = 0;
    if (characters >= 0 && number && c.numbersAddUp < 0) {
        c.numbersAddUp = numbersAddUp(*c.metrics, c.font.toFont()) ? 1 : 0;
    }
    if (characters >= 0 && number && c.numbersAddUp == 1) {
        // A running total or an amount: as wide as its characters.
        needed = characters;
    } else {
        auto known = c.widths.constFind(text);
        if (known == c.widths.constEnd()) {
            if (c.widths.size() > 100000) {
                c.widths.clear();
            }
            known = c.widths.insert(text, c.metrics->horizontalAdvance(text));
        }
        needed = known.value();
    }
    if (needed <= room) {
        return c.fontIndex;
    }
    // In steps of a twentieth, so that a column of long numbers shares a
    // few fonts; never below a quarter of the size.
    const double factor = std::max(0.25, std::floor(room / needed * 20) / 20);
    ReportFontStyle smaller = c.font;
    smaller.pixelSize = c.font.pixelSize * factor;
    return s.out->fontIndex(smaller);
}

void ReportPreparer::emitBand(State& s, const CompiledBand& band, int row, double xOffset, double y, bool deferred,
                              double height) {
    const int instance = s.bandInstance++;
    ReportPage& page = s.out->pages.last();
    s.out->bands.append({band.band.kind, static_cast<int>(s.out->pages.size()) - 1, QPointF(xOffset, y)});
    const double grown = (height >= 0 ? height : bandHeight(s, band, row, 0)) - band.band.height * kMm;
    // Aggregates answer by the band's scope: groups in group bands, the page
    // in page bands, the whole report elsewhere.
    auto aggregateValue = [&s, &band, this](const ReportExpression::Aggregate& a) -> QVariant {
        QString scope = a.scope;
        if (scope.isEmpty()) {
            switch (band.band.kind) {
                case ReportBand::Kind::GroupHeader:
                case ReportBand::Kind::GroupFooter:
                    scope = QStringLiteral("group");
                    break;
                case ReportBand::Kind::PageHeader:
                case ReportBand::Kind::PageFooter:
                    scope = QStringLiteral("page");
                    break;
                default:
                    scope = QStringLiteral("report");
                    break;
            }
        }
        const std::vector<Accumulator>* accs = &s.report;
        if (scope == QLatin1String("page")) {
            accs = &s.page;
        } else if (scope == QLatin1String("group")) {
            const int level = band.level >= 0 ? band.level : static_cast<int>(s.group.size()) - 1;
            if (level >= 0 && level < static_cast<int>(s.group.size())) {
                accs = &s.group[static_cast<size_t>(level)];
            }
        }
        const int slot = a.id >= 0 && static_cast<size_t>(a.id) < m_slotOfAggregate.size()
                             ? m_slotOfAggregate[static_cast<size_t>(a.id)]
                             : -1;
        return slot >= 0 ? (*accs)[static_cast<size_t>(slot)].result(a.function) : Accumulator().result(a.function);
    };
    ReportExpression::Context ctx;
    bindRow(ctx, s, row);
    ctx.aggregate = aggregateValue;
    ctx.page = s.out->pages.size();
    ctx.pages = s.out->pages.size();
    ctx.today = s.today;

    for (const CompiledItem& c : band.items) {
        const ReportItem& item = *c.item;
        ReportPrimitive p;
        p.rect = QRectF(xOffset + item.rect.x() * kMm, y + item.rect.y() * kMm, item.rect.width() * kMm,
                        item.rect.height() * kMm);
        p.color = item.color.rgba();
        p.lineWidth = item.lineWidth * kMm;
        p.band = instance;
        p.row = row;
        switch (item.kind) {
            case ReportItem::Kind::Text:
            case ReportItem::Kind::FieldValue: {
                p.kind = ReportPrimitive::Kind::Text;
                // A text of one expression is that value formatted: the
                // value is worked out once for both.
                QVariant v;
                const bool single = c.text.singleValue(ctx, &v);
                if (!single) {
                    p.text = c.text.evaluate(ctx, item.format);
                } else if (v.typeId() == c.lastValue.typeId() && v.isNull() == c.lastValue.isNull() &&
                           v == c.lastValue) {
                    p.text = c.lastText;
                } else {
                    p.text = formatReportValue(v, item.format);
                    c.lastValue = v;
                    c.lastText = p.text;
                }
                if (c.fontIndex < 0) {
                    c.fontIndex = s.out->fontIndex(c.font);
                }
                p.font = c.fontIndex;
                // A number is never cut or wrapped on paper: one too wide
                // for its box is set smaller, as a text that may shrink is.
                const bool number = single && isNumericValue(v);
                const bool wraps = item.wrap && !number;
                const bool holdsFigures =
                    std::any_of(p.text.cbegin(), p.text.cend(), [](QChar ch) { return ch.isDigit(); });
                if ((item.shrink || number || holdsFigures) && !wraps && !p.text.isEmpty()) {
                    p.font = shrunkFont(s, c, p.text, p.rect.width());
                }
                p.align = int(item.align);
                p.wrap = wraps;
                p.border = item.border;
                if (wraps) {
                    p.rect.setHeight(p.rect.height() + grown);
                }
                if (single) {
                    // A date kept as text is passed on as the date it
                    // shows, so that a workbook holds it as a date.
                    const QDateTime shownDate = dateFromText(v, item.format);
                    p.value = shownDate.isValid() ? QVariant(shownDate) : v;
                    p.format = item.format;
                }
                if (c.usesPages && deferred) {
                    QHash<int, QVariant> snapshot;
                    for (const auto& a : c.text.aggregates()) {
                        snapshot.insert(a.id, aggregateValue(a));
                    }
                    s.deferred.append({static_cast<int>(s.out->pages.size()) - 1, static_cast<int>(page.items.size()),
                                       &c, row, snapshot});
                }
                break;
            }
            case ReportItem::Kind::Line:
                p.kind = ReportPrimitive::Kind::Line;
                break;
            case ReportItem::Kind::Rect:
                p.kind = ReportPrimitive::Kind::Rect;
                break;
            case ReportItem::Kind::Picture: {
                if (!item.pictureName.isEmpty()) {
                    p.image = namedImageIndex(s, item.pictureName);
                } else {
                    p.image =
                        imageIndex(s, !item.field.isEmpty() ? ctx.field(item.field).toString() : item.pictureFile);
                }
                // A picture that cannot be read leaves an empty box.
                p.kind = p.image >= 0 ? ReportPrimitive::Kind::Image : ReportPrimitive::Kind::Rect;
                if (p.image < 0) {
                    p.color = QColor(Qt::lightGray).rgba();
                }
                break;
            }
        }
        page.items.append(std::move(p));
        ++s.primitives;
    }
}

void ReportPreparer::startPage(State& s) {
    // A page holds about as much as the one before it: room for that much
    // is taken at once rather than grown into.
    const qsizetype previous = s.out->pages.isEmpty() ? 0 : s.out->pages.last().items.size();
    s.out->pages.append(ReportPage());
    s.out->pages.last().items.reserve(previous + previous / 8);
    s.page.assign(static_cast<size_t>(m_argumentSlots), Accumulator());
    s.y = s.top;
    s.column = 0;
    s.rowHeight = 0;
    s.bodyOnPage = false;
    if (s.out->pages.size() == 1) {
        for (const auto& b : m_bands) {
            if (b->band.kind == ReportBand::Kind::Title) {
                const double h = bandHeight(s, *b, s.rows->rows.isEmpty() ? -1 : 0, s.contentWidth);
                emitBand(s, *b, s.rows->rows.isEmpty() ? -1 : 0, s.left, s.y, true, h);
                s.y += h;
            }
        }
    }
    s.pageHeaderY = s.y;
    for (const auto& b : m_bands) {
        if (b->band.kind == ReportBand::Kind::PageHeader) {
            s.y += b->band.height * kMm;
        }
    }
    s.contentTop = s.y;
}

void ReportPreparer::finishPage(State& s) {
    // Page bands are drawn last, when the page's sums are complete.
    double y = s.pageHeaderY;
    for (const auto& b : m_bands) {
        if (b->band.kind == ReportBand::Kind::PageHeader) {
            emitBand(s, *b, s.lastRow, s.left, y, true);
            y += b->band.height * kMm;
        }
    }
    double footerY = s.bottomLimit;
    for (const auto& b : m_bands) {
        if (b->band.kind == ReportBand::Kind::PageFooter) {
            emitBand(s, *b, s.lastRow, s.left, footerY, true);
            footerY += b->band.height * kMm;
        }
    }
}

void ReportPreparer::placeFullWidth(State& s, const CompiledBand& band, int row) {
    if (s.column > 0) {
        // Leave a row of labels before a band across the page.
        s.y += s.rowHeight;
        s.column = 0;
        s.rowHeight = 0;
    }
    const double h = bandHeight(s, band, row, s.contentWidth);
    if ((s.y + h > s.bottomLimit || band.band.newPage) && s.bodyOnPage) {
        finishPage(s);
        startPage(s);
    }
    emitBand(s, band, row, s.left, s.y, true, h);
    s.y += h;
    s.bodyOnPage = true;
}

void ReportPreparer::placeDetail(State& s, const CompiledBand& band, int row) {
    const int columns = std::max(1, m_template.columns);
    if (columns == 1) {
        const double h = bandHeight(s, band, row, s.contentWidth);
        if ((s.y + h > s.bottomLimit || band.band.newPage) && s.bodyOnPage) {
            finishPage(s);
            startPage(s);
        }
        s.lastRow = row;
        emitBand(s, band, row, s.left, s.y, true, h);
        s.y += h;
        s.bodyOnPage = true;
        return;
    }
    const double h = band.band.height * kMm;
    const double step = s.columnWidth + m_template.columnGap * kMm;
    if (m_template.columnsAcross) {
        if (s.column == 0 && s.y + h > s.bottomLimit && s.bodyOnPage) {
            finishPage(s);
            startPage(s);
        }
        s.lastRow = row;
        emitBand(s, band, row, s.left + s.column * step, s.y, true);
        s.rowHeight = std::max(s.rowHeight, h);
        s.bodyOnPage = true;
        if (++s.column >= columns) {
            s.column = 0;
            s.y += s.rowHeight;
            s.rowHeight = 0;
        }
        return;
    }
    // Down: fill a column, then the next; a new page after the last.
    if (s.y + h > s.bottomLimit && s.bodyOnPage) {
        if (++s.column >= columns) {
            finishPage(s);
            startPage(s);
        } else {
            s.y = s.contentTop;
        }
    }
    s.lastRow = row;
    emitBand(s, band, row, s.left + s.column * step, s.y, true);
    s.y += h;
    s.bodyOnPage = true;
}

std::vector<const ReportPreparer::CompiledBand*> ReportPreparer::bandsOf(ReportBand::Kind kind, int level) const {
    std::vector<const CompiledBand*> out;
    for (const auto& b : m_bands) {
        if (b->band.kind == kind && (level < 0 || b->level == level)) {
            out.push_back(b.get());
        }
    }
    return out;
}

bool ReportPreparer::sameGroup(int a, int b, int level) const {
    const int f = m_state->groupFieldIndex[level];
    const auto& rows = m_state->rows->rows;
    return f < 0 || sameGroupValue(rows[a][f], rows[b][f]);
}

void ReportPreparer::accumulate(std::vector<Accumulator>& sums, int row, const std::vector<int>& argumentSlots) {
    if (argumentSlots.empty()) {
        return;
    }
    State& s = *m_state;
    ReportExpression::Context ctx;
    bindRow(ctx, s, row);
    for (const int slot : argumentSlots) {
        ArgumentValue& value = s.arguments[static_cast<size_t>(slot)];
        if (value.row != row) {
            const QVariant v = ReportExpression::evaluateNode(m_slotArguments[static_cast<size_t>(slot)], ctx);
            bool number = false;
            value.number = 0;
            if (!v.isValid() || v.isNull()) {
                value.kind = ArgumentValue::Kind::Null;
            } else {
                value.number = v.toDouble(&number);
                value.kind = number ? ArgumentValue::Kind::Number : ArgumentValue::Kind::NotNumber;
            }
            value.row = row;
        }
        sums[static_cast<size_t>(slot)].add(value.kind, value.number);
    }
}

void ReportPreparer::placeGroupFooters(int level, int lastRow) {
    for (const CompiledBand* b : bandsOf(ReportBand::Kind::GroupFooter, level)) {
        if (!(b->band.hideForOneRow && lastRow == m_state->groupStart[level])) {
            placeFullWidth(*m_state, *b, lastRow);
        }
    }
}

bool ReportPreparer::rowReady(int r) const {
    // Only a group header with sums reads ahead: each group that starts at
    // this row and sums its rows must be seen to end, at the first row of
    // another group at its level or an outer one.
    const State& s = *m_state;
    const int n = static_cast<int>(s.rows->rows.size());
    const int levels = static_cast<int>(s.groupFieldIndex.size());
    int changed = levels;
    for (int level = 0; level < levels && r > 0; ++level) {
        if (!sameGroup(r, r - 1, level)) {
            changed = level;
            break;
        }
    }
    if (r == 0) {
        changed = 0;
    }
    for (int level = changed; level < levels; ++level) {
        if (m_groupSlots[level].empty()) {
            continue;
        }
        bool closed = false;
        for (int g = r + 1; g < n && !closed; ++g) {
            for (int l = 0; l <= level && !closed; ++l) {
                closed = !sameGroup(g, r, l);
            }
        }
        if (!closed) {
            return false;
        }
    }
    return true;
}

void ReportPreparer::placeRow(int r) {
    State& s = *m_state;
    const auto& rows = s.rows->rows;
    const int n = static_cast<int>(rows.size());
    const int levels = static_cast<int>(s.groupFieldIndex.size());
    int changed = levels;
    for (int level = 0; level < levels; ++level) {
        if (r == 0 || !sameGroup(r, r - 1, level)) {
            changed = level;
            break;
        }
    }
    if (r > 0) {
        for (int level = levels - 1; level >= changed; --level) {
            placeGroupFooters(level, r - 1);
        }
    }
    for (int level = changed; level < levels; ++level) {
        s.groupStart[level] = r;
        // The group's sums are known from its header on.
        auto& sums = s.group[static_cast<size_t>(level)];
        std::fill(sums.begin(), sums.end(), Accumulator());
        for (int g = r; g < n && !m_groupSlots[level].empty(); ++g) {
            bool same = true;
            for (int l = 0; l <= level && same; ++l) {
                same = sameGroup(g, r, l);
            }
            if (!same) {
                break;
            }
            accumulate(sums, g, m_groupSlots[level]);
        }
        for (const CompiledBand* b : bandsOf(ReportBand::Kind::GroupHeader, level)) {
            placeFullWidth(s, *b, r);
        }
    }
    accumulate(s.report, r, m_reportSlots);
    const auto details = bandsOf(ReportBand::Kind::Detail, -1);
    for (size_t d = 0; d < details.size(); ++d) {
        placeDetail(s, *details[d], r);
        if (d == 0) {
            // The row counts on the page its first detail band is placed on.
            accumulate(s.page, r, m_pageSlots);
        }
    }
    if (details.empty()) {
        accumulate(s.page, r, m_pageSlots);
        s.lastRow = r;
    }
}

bool ReportPreparer::prepare(const ReportRows& rows, PreparedReport* out, QString* error, const QDate& today) {
    const bool done = begin(&rows, out, error, today) && finish(error);
    // Nothing is kept that points at the caller's rows.
    m_state.reset();
    return done;
}

bool ReportPreparer::begin(const ReportRows* rows, PreparedReport* out, QString* error, const QDate& today) {
    m_state.reset();
    if (!compile(*rows, error)) {
        return false;
    }
    *out = PreparedReport();
    const QSizeF page = m_template.effectivePageSize();
    out->pageSizeMm = page;
    m_state = std::make_unique<State>();
    State& s = *m_state;
    s.rows = rows;
    s.out = out;
    s.today = today.isValid() ? today : QDate::currentDate();
    s.arguments.assign(static_cast<size_t>(m_argumentSlots), ArgumentValue());
    s.report.assign(static_cast<size_t>(m_argumentSlots), Accumulator());
    // A statement may return two columns of one name (d.*, h.*): a name
    // reads the first of them, as ReportRows::fieldIndex (and with it the
    // grouping) does.
    for (int i = 0; i < rows->fields.size(); ++i) {
        const QString key = rows->fields[i].toLower();
        if (!s.fieldIndex.contains(key)) {
            s.fieldIndex.insert(key, i);
        }
    }
    s.pageWidth = page.width() * kMm;
    s.pageHeight = page.height() * kMm;
    s.left = m_template.margins.left() * kMm;
    s.top = m_template.margins.top() * kMm;
    s.contentWidth = (page.width() - m_template.margins.left() - m_template.margins.right()) * kMm;
    const int columns = std::max(1, m_template.columns);
    s.columnWidth = m_template.columnWidth > 0
                        ? m_template.columnWidth * kMm
                        : (s.contentWidth - (columns - 1) * m_template.columnGap * kMm) / columns;
    double footer = 0;
    for (const auto& b : m_bands) {
        if (b->band.kind == ReportBand::Kind::PageFooter) {
            footer += b->band.height * kMm;
        }
    }
    s.bottomLimit = s.pageHeight - m_template.margins.bottom() * kMm - footer;
    const QStringList groups = m_template.groupFields();
    s.group.assign(static_cast<size_t>(groups.size()), std::vector<Accumulator>(static_cast<size_t>(m_argumentSlots)));
    s.groupStart.fill(0, groups.size());
    for (const QString& g : groups) {
        s.groupFieldIndex.append(rows->fieldIndex(g));
    }
    startPage(s);
    return true;
}

bool ReportPreparer::advance(bool rowsComplete, int budget, QString* error) {
    State& s = *m_state;
    const int n = static_cast<int>(s.rows->rows.size());
    for (int placed = 0; placed < budget && s.next < n; ++placed) {
        if (s.primitives > kMaxPrimitives) {
            if (error) {
                *error = QStringLiteral("报表太大，无法生成");
            }
            return false;
        }
        if (!rowsComplete && !rowReady(s.next)) {
            break;
        }
        placeRow(s.next++);
    }
    return true;
}

int ReportPreparer::rowsPlaced() const {
    return m_state ? m_state->next : 0;
}

int ReportPreparer::finishedPages() const {
    return m_state ? std::max(0, static_cast<int>(m_state->out->pages.size()) - 1) : 0;
}

QString ReportPreparer::pageCountText(int deferred, int pages) const {
    const State& s = *m_state;
    const State::Deferred& d = s.deferred[deferred];
    ReportExpression::Context ctx;
    bindRow(ctx, s, d.row);
    ctx.aggregate = [&d](const ReportExpression::Aggregate& a) { return d.aggregates.value(a.id); };
    ctx.page = d.page + 1;
    ctx.pages = pages;
    ctx.today = s.today;
    return d.item->text.evaluate(ctx, d.item->item->format);
}

PreparedReport ReportPreparer::finishedSoFar() const {
    if (!m_state) {
        return {};
    }
    // Grown from the pages given last time: a page once finished is copied
    // and given its "…" once.
    const PreparedReport& out = *m_state->out;
    PreparedReport& soFar = m_state->soFar;
    const int pages = finishedPages();
    soFar.pageSizeMm = out.pageSizeMm;
    soFar.fonts = out.fonts;
    soFar.images = out.images;
    const qsizetype had = soFar.pages.size();
    soFar.pages.append(out.pages.mid(had, pages - had));
    while (soFar.bands.size() < out.bands.size() && out.bands[soFar.bands.size()].page < pages) {
        soFar.bands.append(out.bands[soFar.bands.size()]);
    }
    // The texts that wait for the page count come in the order of their
    // pages.
    int& next = m_state->soFarDeferred;
    while (next < m_state->deferred.size() && m_state->deferred[next].page < pages) {
        const State::Deferred& d = m_state->deferred[next];
        soFar.pages[d.page].items[d.primitive].text = pageCountText(next, -1);
        ++next;
    }
    return soFar;
}

bool ReportPreparer::finish(QString* error) {
    State& s = *m_state;
    if (!advance(true, std::numeric_limits<int>::max(), error)) {
        return false;
    }
    const int n = static_cast<int>(s.rows->rows.size());
    if (n > 0) {
        for (int level = static_cast<int>(s.groupFieldIndex.size()) - 1; level >= 0; --level) {
            placeGroupFooters(level, n - 1);
        }
    }
    for (const CompiledBand* b : bandsOf(ReportBand::Kind::Summary, -1)) {
        placeFullWidth(s, *b, n > 0 ? n - 1 : -1);
    }
    finishPage(s);

    // Second pass: texts that show the page count.
    PreparedReport& out = *s.out;
    const int total = static_cast<int>(out.pages.size());
    for (int i = 0; i < s.deferred.size(); ++i) {
        const State::Deferred& d = s.deferred[i];
        out.pages[d.page].items[d.primitive].text = pageCountText(i, total);
    }
    m_state.reset();
    return true;
}
