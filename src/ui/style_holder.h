#pragma once

#include <QColor>
#include <QString>

#include "ui/grid_column.h"

class QAbstractItemView;
class QWidget;

// The program's named styles, in one place. Windows refer to a style by its
// name; the holder turns it into a Qt style sheet.
class StyleHolder {
public:
    // Grid styles.
    static constexpr const char* GridCE = "cxGridTableViewStyleSheet_CE";
    static constexpr const char* GridClassic = "GridTableViewStyleSheetClassic";
    // Tree style.
    static constexpr const char* TreeCE = "TreeListStyleSheet_CE";
    // The single highlight style (columns drawn apart, e.g. totals).
    static constexpr const char* Highlight = "cxStyle11";
    // Layout group styles.
    static constexpr const char* LayoutWeb = "dxLayoutWebLookAndFeel2";
    static constexpr const char* LayoutBold = "dxLayoutWebLookAndFeel_BoldFont";
    static constexpr const char* LayoutReadOnly = "dxLayoutWeb_ReadOnly";
    static constexpr const char* LayoutWithBorder = "dxLayoutWebLookAndFeel_withBorder";
    static constexpr const char* LayoutStandard = "dxLayoutStandardLookAndFeel_ver";

    // The family every window uses; the installed CJK fonts stand in for it.
    static QString fontFamily() { return QStringLiteral("SimSun"); }
    // Registers the substitutions for the program's font (call once).
    static void installFonts();

    static QString gridStyleSheet(const QString& name);
    static QString treeStyleSheet(const QString& name = TreeCE);
    static QString layoutGroupStyleSheet(const QString& name);
    // Editors: bold navy text, orange when typed, grey border, blue disabled.
    static QString editorStyleSheet();
    static QColor highlightBackground() { return GridColumn::highlightBackground(); }
    static QColor footerBackground(const QString& gridStyle);
    static QColor footerText(const QString& gridStyle);

    static void applyGrid(QAbstractItemView* view, const QString& name);
    static void applyTree(QAbstractItemView* view, const QString& name = TreeCE);
};
