#include "reports/engine/report_file.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include "platform/file_problem.h"
#include "platform/picture_reader.h"
#include "reports/engine/prepared_report.h"

namespace {
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
constexpr quint32 kMaxCount = 5'000'000;
// No template makes a smaller page. A page of a fraction of a millimetre,
// fitted to a window, would be drawn at a scale that makes every glyph
// larger than memory.
constexpr double kMinPageMm = 10;

bool fail(QString* error, const QString& message) {
    if (error) {
        *error = message;
    }
    return false;
}

// Whether the value the stream holds next is of a kind a prepared text
// shows: what a field, a parameter or an expression gives. Any other kind
// (a list, a map, a picture) comes from a damaged file, and reading it could
// claim memory for the billions of elements its count may name before the
// data runs out. A value cut short is left to the reading, which fails.
bool plainValueNext(QDataStream& in) {
    const QByteArray head = in.device()->peek(sizeof(quint32));
    if (head.size() < qsizetype(sizeof(quint32))) {
        return true;
    }
    switch (qFromBigEndian<quint32>(head.constData())) {
        case QMetaType::UnknownType:
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::QString:
        case QMetaType::QByteArray:
        case QMetaType::QDate:
        case QMetaType::QTime:
        case QMetaType::QDateTime:
            return true;
        default:
            return false;
    }
}
}  // namespace

bool ReportFile::save(const PreparedReport& report, const QString& name, QString* error) {
    const QString file = QFileInfo(name).suffix().isEmpty() ? name + QStringLiteral(".rmp") : name;
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly)) {
        return fail(error,
                    QStringLiteral("无法写入[%1]: %2").arg(QDir::toNativeSeparators(file), FileProblem::writing(f)));
    }
    QDataStream out(&f);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << report.pageSizeMm;
    out << quint32(report.fonts.size());
    for (const ReportFontStyle& ft : report.fonts) {
        out << ft.family << ft.pixelSize << ft.bold << ft.italic;
    }
    out << quint32(report.images.size());
    for (const QImage& img : report.images) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, "PNG");
        out << png;
    }
    out << quint32(report.pages.size());
    for (const ReportPage& page : report.pages) {
        out << quint32(page.items.size());
        for (const ReportPrimitive& p : page.items) {
            out << quint8(p.kind) << p.rect << p.text << qint32(p.font) << qint32(p.align) << p.wrap << p.border
                << quint32(p.color) << p.lineWidth << qint32(p.image) << qint32(p.band) << qint32(p.row) << p.value
                << p.format;
        }
    }
    out << quint32(report.bands.size());
    for (const ReportBandInstance& b : report.bands) {
        out << quint8(b.kind) << qint32(b.page) << b.origin;
    }
    if (!f.commit()) {
        return fail(error,
                    QStringLiteral("无法写入[%1]: %2").arg(QDir::toNativeSeparators(file), FileProblem::writing(f)));
    }
    return true;
}

bool ReportFile::load(const QString& file, PreparedReport* out, QString* error) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return fail(
            error,
            QStringLiteral("无法打开报表文件[%1]: %2").arg(QDir::toNativeSeparators(file), FileProblem::reading(f)));
    }
    const QString damaged = QStringLiteral("报表文件[%1]已损坏，无法打开").arg(QDir::toNativeSeparators(file));
    if (f.size() > kMaxFileBytes) {
        return fail(error, damaged);
    }
    QDataStream in(&f);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 version = 0;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kMagic) {
        return fail(error, QStringLiteral("[%1]不是报表文件").arg(QDir::toNativeSeparators(file)));
    }
    if (version > kVersion) {
        return fail(error, QStringLiteral("报表文件[%1]的版本(%2)比本程序新，请升级程序")
                               .arg(QDir::toNativeSeparators(file))
                               .arg(version));
    }
    PreparedReport r;
    in >> r.pageSizeMm;
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > kMaxCount || !(r.pageSizeMm.width() >= kMinPageMm) ||
        r.pageSizeMm.width() > 10000 || !(r.pageSizeMm.height() >= kMinPageMm) || r.pageSizeMm.height() > 10000) {
        return fail(error, damaged);
    }
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        ReportFontStyle ft;
        in >> ft.family >> ft.pixelSize >> ft.bold >> ft.italic;
        if (!(ft.pixelSize > 0 && ft.pixelSize < 100000)) {
            return fail(error, damaged);
        }
        r.fonts.append(ft);
    }
    in >> count;
    if (count > kMaxCount) {
        return fail(error, damaged);
    }
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QByteArray png;
        in >> png;
        QImage img;
        // A picture whose chunk claims more than it holds stays empty, as
        // one the PNG reader cannot decode does, before the reader sets the
        // claimed length aside.
        if (PictureReader::pngChunksFit(png)) {
            img.loadFromData(png, "PNG");
        }
        r.images.append(img);
    }
    in >> count;
    if (count > kMaxCount) {
        return fail(error, damaged);
    }
    for (quint32 pg = 0; pg < count && in.status() == QDataStream::Ok; ++pg) {
        ReportPage page;
        quint32 items = 0;
        in >> items;
        if (items > kMaxCount) {
            return fail(error, damaged);
        }
        for (quint32 i = 0; i < items && in.status() == QDataStream::Ok; ++i) {
            ReportPrimitive p;
            quint8 kind = 0;
            qint32 font = 0, align = 0, image = 0, band = 0, row = 0;
            quint32 color = 0;
            in >> kind >> p.rect >> p.text >> font >> align >> p.wrap >> p.border >> color >> p.lineWidth >> image >>
                band >> row;
            if (in.status() == QDataStream::Ok && !plainValueNext(in)) {
                return fail(error, damaged);
            }
            in >> p.value >> p.format;
            if (kind > quint8(ReportPrimitive::Kind::Image) || font >= r.fonts.size() || image >= r.images.size()) {
                return fail(error, damaged);
            }
            p.kind = ReportPrimitive::Kind(kind);
            p.font = font;
            p.align = align;
            p.color = color;
            p.image = image;
            p.band = band;
            p.row = row;
            page.items.append(p);
        }
        r.pages.append(page);
    }
    if (version >= 2 && in.status() == QDataStream::Ok) {
        in >> count;
        if (count > kMaxCount) {
            return fail(error, damaged);
        }
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            quint8 kind = 0;
            qint32 page = 0;
            ReportBandInstance b;
            in >> kind >> page >> b.origin;
            if (kind > quint8(ReportBand::Kind::PageFooter) || page < 0 || page >= r.pages.size()) {
                return fail(error, damaged);
            }
            b.kind = ReportBand::Kind(kind);
            b.page = page;
            r.bands.append(b);
        }
    }
    if (in.status() != QDataStream::Ok || !in.atEnd()) {
        return fail(error, damaged);
    }
    *out = r;
    return true;
}
