#pragma once

#include <QDialog>

#include "data/account_books.h"

class AppContext;
class QLineEdit;
class QTableWidget;

// "创建新帐册": a new account book copied from a chosen one. Opened from the
// log-in dialog before anyone has logged in, so it has no permission check.
class BookCreationDialog : public QDialog {
    Q_OBJECT
public:
    explicit BookCreationDialog(AppContext& context, QWidget* parent = nullptr);

    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* descriptionEdit() const { return m_description; }
    QTableWidget* booksTable() const { return m_books; }
    void create();

private:
    AppContext& m_context;
    QLineEdit* m_name;
    QLineEdit* m_description;
    QTableWidget* m_books;
    QList<AccountBookRow> m_rows;
};
