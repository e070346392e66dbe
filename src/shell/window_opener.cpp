#include "shell/window_opener.h"

WindowOpener::WindowOpener(const QList<Row>& rows) {
    for (const Row& row : rows) {
        Q_ASSERT_X(!contains(row.windowName), "WindowOpener", "a window name stands in the table twice");
        m_rows.insert(row.windowName.toLower(), row);
    }
}

bool WindowOpener::contains(const QString& windowName) const {
    return m_rows.contains(windowName.toLower());
}

QStringList WindowOpener::windowNames() const {
    QStringList names;
    for (const Row& row : m_rows) {
        names << row.windowName;
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

bool WindowOpener::open(AppContext& context, const QString& windowName, int startParameter, QWidget* parent) const {
    const auto it = m_rows.constFind(windowName.toLower());
    if (it == m_rows.constEnd()) {
        return false;
    }
    // A copy: the window may run for long, and the table stays as it is.
    const Factory factory = it->factory;
    factory(context, startParameter, parent);
    return true;
}
