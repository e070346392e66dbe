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
    // Another kind of editor: its text, how a text is put into it as if
    // typed, and the signal of its edits, which looks the text up.
    template <class Editor, class Signal>
    MatchPopup(Editor* editor, const QStringList& headers, std::function<QString()> text,
               std::function<void(const QString&)> setTyped, Signal edited)
        : MatchPopup(static_cast<QWidget*>(editor), headers, std::move(text), std::move(setTyped)) {
        connect(editor, edited, this, &MatchPopup::refresh);
    }
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
    // Enter with no list on show, with the text as typed; without a
    // receiver such an Enter is the editor's own.
    void entered(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MatchPopup(QWidget* editor, const QStringList& headers, std::function<QString()> text,
               std::function<void(const QString&)> setTyped);
    void place();
    void take(int row);

    QPointer<QWidget> m_edit;
    std::function<QString()> m_text;
    std::function<void(const QString&)> m_setTyped;
    QPointer<QTreeWidget> m_list;  // a child of the edit's window
    QList<QStringList> m_rows;
    bool m_quiet = false;
};
