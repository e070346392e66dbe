#include "ui/style_holder.h"

#include "platform/font_setup.h"

#include <QAbstractItemView>
#include <QFont>
#include <QHeaderView>

void StyleHolder::installFonts() {
    QFont::insertSubstitutions(fontFamily(), {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                                              QStringLiteral("WenQuanYi Zen Hei")});
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {fontFamily(), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
}

QString StyleHolder::gridStyleSheet(const QString& name) {
    if (name == QLatin1String(GridClassic)) {
        return QStringLiteral(
            "QTableView { background: #D9EAF7; alternate-background-color: #D9EAF7; color: black;"
            " selection-background-color: #316AC5; selection-color: white; gridline-color: #B0C4DE; }"
            "QTableView:!active { selection-background-color: #A4C4EB; selection-color: black; }"
            "QHeaderView::section { background: #DFF7E0; font-weight: bold; color: black;"
            " border: 1px solid #B0C4DE; padding: 2px; }");
    }
    return QStringLiteral(
        "QTableView { background: white; alternate-background-color: #ECFEFF; color: black;"
        " selection-background-color: yellow; selection-color: black; gridline-color: #C8D8E8; }"
        "QTableView:!active { selection-background-color: yellow; }"
        "QHeaderView::section { background: #A4C4EB; color: black; border: 1px solid #8FAFD6; padding: 2px; }"
        "QLineEdit#gridFilter { background: #A4C4EB; }");
}

QString StyleHolder::treeStyleSheet(const QString&) {
    return QStringLiteral(
        "QTreeView { background: navy; color: #DAEEEF; selection-background-color: yellow;"
        " selection-color: black; }"
        "QTreeView:!active { selection-background-color: yellow; selection-color: black; }"
        "QHeaderView::section { background: #316AC5; color: white; font-weight: bold; padding: 2px; }");
}

QString StyleHolder::layoutGroupStyleSheet(const QString& name) {
    if (name == QLatin1String(LayoutReadOnly)) {
        return QStringLiteral(
            "QGroupBox { font-weight: bold; border: 1px solid #8080FF; margin-top: 10px; }"
            "QGroupBox::title { color: yellow; background: #8080FF; subcontrol-origin: margin; padding: 0 4px; }"
            "QLabel { font-weight: bold; }");
    }
    if (name == QLatin1String(LayoutBold)) {
        return QStringLiteral(
            "QGroupBox { border: 1px solid #8080FF; margin-top: 10px; }"
            "QGroupBox::title { color: #8080FF; subcontrol-origin: margin; padding: 0 4px; }"
            "QLabel { font-weight: bold; } QLabel:hover { color: #FF8000; }");
    }
    if (name == QLatin1String(LayoutStandard)) {
        return QStringLiteral("QGroupBox { margin-top: 10px; } QGroupBox::title { subcontrol-origin: margin; }");
    }
    const QString border = name == QLatin1String(LayoutWithBorder) ? QStringLiteral("2px") : QStringLiteral("1px");
    return QStringLiteral(
               "QGroupBox { border: %1 solid #8080FF; margin-top: 10px; }"
               "QGroupBox::title { color: #8080FF; subcontrol-origin: margin; padding: 0 4px; }")
        .arg(border);
}

QString StyleHolder::editorStyleSheet() {
    return QStringLiteral(
        "QLineEdit, QComboBox, QDateEdit, QPlainTextEdit, QDoubleSpinBox, QSpinBox {"
        " font-weight: bold; color: #FF8000; border: 1px solid #D5D5D5; background: white; }"
        "QLineEdit:focus, QComboBox:focus, QDateEdit:focus, QPlainTextEdit:focus { border: 1px solid navy; }"
        "QLineEdit:hover, QComboBox:hover, QDateEdit:hover, QPlainTextEdit:hover { border: 1px solid navy; }"
        "QLineEdit:disabled, QComboBox:disabled, QDateEdit:disabled, QPlainTextEdit:disabled {"
        " background: #E1E4FD; color: #8080C0; }"
        "QLabel { color: navy; }");
}

QColor StyleHolder::footerBackground(const QString&) {
    return QColor("#FFFFE1");
}

QColor StyleHolder::footerText(const QString& gridStyle) {
    return gridStyle == QLatin1String(GridClassic) ? QColor("navy") : QColor("black");
}

void StyleHolder::applyGrid(QAbstractItemView* view, const QString& name) {
    view->setAlternatingRowColors(true);
    view->setStyleSheet(gridStyleSheet(name));
}

void StyleHolder::applyTree(QAbstractItemView* view, const QString& name) {
    view->setStyleSheet(treeStyleSheet(name));
}
