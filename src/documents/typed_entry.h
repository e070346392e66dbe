#pragma once

#include <QString>
#include <functional>

#include "master/record_finder.h"

class BaseWindow;
class DataGrid;
class MatchPopup;
class MemoEdit;
class QLineEdit;

// Keyboard entry in the documents: goods typed into the line under a
// grid's rows, customers typed into a head field, each with its drop-down
// of matches. What a match does is the caller's; lookups and takes run
// inside the window's command boundary.
class TypedEntry {
public:
    // Goods by code, name or initials in the grid's entry line under
    // `field`. `take` adds the goods of a code and says whether it did;
    // the line is then emptied, else it keeps the text. Enter on a text
    // that matches nothing says "没有找到商品[…]" beside the line.
    static MatchPopup* goods(BaseWindow& window, DataGrid& grid, const QString& field,
                             const std::function<bool(const QString& code)>& take);
    // The same over other rows (their first text is what `take` gets).
    using Finder = std::function<QList<QStringList>(const QString&)>;
    static MatchPopup* goods(BaseWindow& window, DataGrid& grid, const QString& field, const QStringList& headers,
                             const Finder& finder, const std::function<bool(const QString& code)>& take);
    // Records of `setup` typed into a head field (code, name, initials,
    // telephone); `take` fills the document from the record's code.
    static MatchPopup* records(BaseWindow& window, QLineEdit& edit, const RecordFinder::Setup& setup,
                               const QStringList& headers, const std::function<void(const QString& code)>& take);
    // Texts offered from a list as typed (the most recent first): those
    // containing the text, or whose initials begin with it.
    static MatchPopup* texts(MemoEdit& edit, const QString& header, const std::function<QStringList()>& offered);
    // The texts of `offered` that contain `text` or whose initials begin
    // with it, in their order; at most 20.
    static QList<QStringList> textsMatching(const QStringList& offered, const QString& text);

    static QString notFoundText(const QString& typed) { return QStringLiteral("没有找到商品[%1]").arg(typed); }
};
