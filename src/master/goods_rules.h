#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// The rules every goods record keeps wherever it is written, the goods
// editor's save and the import alike, with one message each.
namespace GoodsRules {
// A code that cannot name the goods' picture file, or empty.
QString refusedCode(const QString& code);
QString unsafeCodeText();
// The captions of the fields a record must have and leaves empty (name,
// unit, with `withClass` the class, and supplier), in the editor's order.
QStringList missing(const QVariantMap& record, bool withClass);
// "请填写[商品名称,计量单位]".
QString missingText(const QStringList& captions);
}  // namespace GoodsRules
