#pragma once

#include <QDate>
#include <QObject>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "data/data_module.h"
#include "master/goods_list_window.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/grid_model.h"

// What the suites of the document windows share: a prepared program whose
// book the administrator opens on 25 June 2006, and a grid's cells by their
// column caption.
class DocumentWindowSuite : public QObject {
protected:
    void start() {
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->openAsAdministrator();
        context().clock().setToday(QDate(2006, 6, 25));
    }
    void stop() { m_program.reset(); }
    AppContext& context() { return m_program->context(); }
    Database& db() { return context().data().main(); }
    ScriptedPrompter& prompter() { return m_program->prompter(); }
    ScriptedWindowRunner& windows() { return m_program->windows(); }
    // A user `name` of `group`, which holds the commands `where` picks out
    // of Sys_Operation_Table; signed in.
    void signInAs(const QString& name, const QString& group, const QString& where) {
        db().query("insert into Sys_user (User_name, password, User_Group) values (:n, '', :g)",
                   {{"n", name}, {"g", group}});
        grant(group, where);
        context().CurrentUser = {name, "", group};
    }
    void grant(const QString& group, const QString& where) {
        db().query(
            "insert into Sys_user_Operation (User_name, Action_id) select :g, id from Sys_Operation_Table where " +
                where,
            {{"g", group}});
    }
    static QString cell(DataGrid* grid, int gridRow, const QString& caption) {
        GridModel* m = grid->model();
        for (int c = 0; c < m->columnCount(); ++c) {
            if (m->headerData(c, Qt::Horizontal).toString() == caption) {
                return m->data(m->index(gridRow, c)).toString();
            }
        }
        qFatal("no column %s", qPrintable(caption));
    }
    // The cells given as "row:caption", joined by '|'.
    static QString cells(DataGrid* grid, const QStringList& at) {
        QStringList out;
        for (const QString& a : at) {
            out << cell(grid, a.section(':', 0, 0).toInt(), a.section(':', 1));
        }
        return out.join('|');
    }
    // Clicks the window's button of `action`.
    template <class Window>
    static void click(Window& w, const QString& action) {
        QTest::mouseClick(w.button(action), Qt::LeftButton);
    }
    // The goods list the quotation editor opens to add goods: the goods of
    // `codes` put in its pick list, as a user picks them.
    void pickGoods(const QStringList& codes) {
        windows().then<GoodsListWindow>([codes](GoodsListWindow& goods) {
            goods.show();
            goods.showAll();
            QList<int> rows;
            for (const QString& code : codes) {
                if (goods.catalog().goods().locate("code", code)) {
                    rows << goods.catalog().goods().currentRow();
                }
            }
            goods.catalog().addToPickList(rows);
            return int(QDialog::Accepted);
        });
    }
    // Clicks the push button named `name` inside `w`.
    static void clickNamed(QWidget& w, const char* name) {
        QTest::mouseClick(w.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    std::unique_ptr<TestBooks::TestProgram> m_program;
};
