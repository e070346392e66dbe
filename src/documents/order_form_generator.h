#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include "data/derived_forms.h"

class Clock;
class Database;
class Prompter;

// Makes the forms that follow from one order form: its work forms (one per
// goods series, numbered by the day), its ware-out form (one row that sums
// up the goods and the locks) and its shipment form (one row per goods
// row). Forms of the same kind made before are replaced, after the user
// agreed. Each command is one transaction: the old forms are deleted and the
// new ones written together, or nothing changes at all.
class OrderFormGenerator {
public:
    OrderFormGenerator(Database& db, const Clock& clock, Prompter& prompter, const QString& userName);

    // Each takes the order codes selected in the list (exactly one is
    // accepted) and returns true when the forms were written. A refusal or
    // a "No" to the overwrite question returns false with nothing written; a
    // failed write throws with the old forms left in place.
    bool create(DerivedForm form, const QStringList& codes);
    bool createWorkForms(const QStringList& codes);
    bool createWareOutForm(const QStringList& codes);
    bool createShipmentForm(const QStringList& codes);

    // The ware-out form's goods text: per goods series and unit name, the
    // series name, the quantity with the unit name and the codes of every
    // goods row of that series, e.g. "推拉窗 4樘 (1)(2)(5);平开窗 2.5米 (3)".
    // Only rows whose series and unit are both in the code lists count.
    static QString goodsSummary(Database& db, const QString& code);
    // The ware-out form's lock text: per lock model in the code list, its
    // name, the quantity and the fittings typed on its rows, e.g.
    // "执手锁 3 红色 加长 ;挂锁 1 ".
    static QString lockSummary(Database& db, const QString& code);
    // The sums the two texts are made of, per series and unit and per lock
    // model (parameters :code, and :seriesField and :unitField, or
    // :lockField, the code lists' field names in lower case).
    static QString goodsSumsStatement();
    static QString lockSumsStatement();
    // A quantity as plain text: no trailing zeros, no trailing point (4 ->
    // "4", 2.50 -> "2.5"); an empty value is "0". Both engines' sums (a
    // double on SQLite, decimal text on PostgreSQL) read the same.
    static QString plainNumber(const QVariant& value);

    // The work forms an order's goods rows make, given each row's series:
    // one form per series in the series' order, then one of the rows
    // without a series; each form lists its rows' positions in order.
    static QList<QList<int>> workFormGroups(const QList<QVariant>& series);

    // What the user is told when the order is no longer in the book.
    static QString orderGoneText(const QString& code);

private:
    enum class Outcome { Done, OrderGone, NoGoods, FormsAppeared };
    struct GoodsRow {
        qlonglong id;
        QString goodsCode;
        QVariant series;
    };

    // Inside one transaction: deletes the old forms of the kind and writes
    // the new ones; commits only when everything was written. Without
    // `mayReplace`, forms found there are left and FormsAppeared returned.
    Outcome replaceForms(DerivedForm kind, const QString& code, bool mayReplace);
    // Counts the order's forms of the kind (bound value :code).
    static QString formsCountStatement(DerivedForm kind);
    void deleteForms(DerivedForm kind, const QString& code);
    void writeWorkForms(const QString& code, const QList<GoodsRow>& rows);
    void writeWareOutForm(const QString& code);
    void writeShipmentForm(const QString& code, const QList<GoodsRow>& rows);
    QString receiverTelephone(const QString& code);

    Database& m_db;
    const Clock& m_clock;
    Prompter& m_prompter;
    QString m_userName;
};
