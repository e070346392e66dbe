#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QLineEdit;
class QTreeWidget;

// The drop-down of matches under a line edit as a clerk types: each row a
// record's texts, the first the code. The edit keeps the focus: Up and Down
// move through the matches, Enter takes the current one, Escape closes the
// list and leaves the text as typed, a click takes a row.
class MatchPopup : public QObject {
    Q_OBJECT
public:
    MatchPopup(QLineEdit* edit, const QStringList& headers);
    ~MatchPopup() override;

    // What matches a text, best first; run as the text is edited. The owner
    // keeps failures from leaving it (an empty list then).
    std::function<QList<QStringList>(const QString&)> finder;

    bool isShown() const;
    // The rows on show and the current one (-1 without).
    QList<QStringList> rows() const { return m_rows; }
    int currentRow() const;
    // Looks the text up again and shows the list (an empty list is hidden).
    void refresh();
    void hide();
    // Puts a text into the edit as if typed (editors bound to it take it),
    // without looking it up.
    void setTextAsTyped(const QString& text);

signals:
    // A match taken by Enter or a click.
    void chosen(const QStringList& row);
    // Enter with no list on show, with the text as typed.
    void entered(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void take(int row);

    QPointer<QLineEdit> m_edit;
    QPointer<QTreeWidget> m_list;  // a child of the edit's window
    QList<QStringList> m_rows;
    bool m_quiet = false;
};
