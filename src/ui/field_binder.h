#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class Dataset;
class QWidget;

// Binds editors to fields of a dataset's current row: the editors show the
// row's values and follow the cursor; what the user types is written into
// the row (starting an edit). Text editors take the field's length limit.
class FieldBinder : public QObject {
    Q_OBJECT
public:
    FieldBinder(Dataset* dataset, QObject* parent = nullptr);

    // Supported: QLineEdit, NumberEdit, NullableDateEdit, LookupCombo,
    // MemoEdit, CheckEdit.
    void bind(QWidget* editor, const QString& field);
    // Shows the current row's values again.
    void refresh();
    // Before a save: throws UserError naming the field when a number box
    // holds text that is no number for it, or a date box was typed a date
    // that does not exist (what was typed stays to be corrected).
    void requireNumbersAsTyped() const;

signals:
    // What the user typed was refused: the user's text and its technical
    // details (empty for a rule's refusal).
    void editFailed(const QString& message, const QString& details);

private:
    struct Link {
        QPointer<QWidget> editor;
        QString field;
    };
    void show(const Link& link);
    void write(QWidget* source, const QString& field, const QVariant& value);

    QPointer<Dataset> m_dataset;
    QList<Link> m_links;
    bool m_writing = false;
};
