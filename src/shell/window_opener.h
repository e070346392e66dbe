#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class AppContext;
class QWidget;

// Windows found by their window name: a table of factories, each creating,
// showing modally and freeing its window with the start parameter it is
// opened with. Names match without regard to case. Adding a window adds a
// row to the table (see ProgramWindows); callers never change.
class WindowOpener {
public:
    using Factory = std::function<void(AppContext& context, int startParameter, QWidget* parent)>;
    struct Row {
        QString windowName;
        Factory factory;
    };

    explicit WindowOpener(const QList<Row>& rows);

    bool contains(const QString& windowName) const;
    QStringList windowNames() const;
    // Opens the window and returns when it is closed; false for windows the
    // table does not have.
    bool open(AppContext& context, const QString& windowName, int startParameter, QWidget* parent) const;

private:
    QHash<QString, Row> m_rows;  // key: lower-case window name
};
