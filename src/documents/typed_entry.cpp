#include "documents/typed_entry.h"

#include <QLineEdit>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/name_initials.h"
#include "platform/pinyin_initials.h"
#include "ui/action_manager.h"
#include "ui/base_window.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/match_popup.h"
#include "ui/shortcuts.h"

namespace {
// Lookups run inside the window's boundary: a failure is shown, and
// nothing is offered.
TypedEntry::Finder guarded(BaseWindow& window, const TypedEntry::Finder& finder) {
    return [&window, finder](const QString& text) {
        QList<QStringList> rows;
        window.actions().guard([&] { rows = finder(text); });
        return rows;
    };
}

TypedEntry::Finder finderIn(BaseWindow& window, const RecordFinder::Setup& setup) {
    return [&window, setup](const QString& text) {
        return RecordFinder(window.context().data().main(), setup).find(text, 20);
    };
}
}  // namespace

MatchPopup* TypedEntry::goods(BaseWindow& window, DataGrid& grid, const QString& field,
                              const std::function<bool(const QString& code)>& take) {
    return goods(window, grid, field,
                 {QStringLiteral("货品编号"), QStringLiteral("货品名称"), QStringLiteral("规格"),
                  QStringLiteral("计量单位"), QStringLiteral("单价")},
                 finderIn(window, RecordFinder::goods()), take);
}

MatchPopup* TypedEntry::goods(BaseWindow& window, DataGrid& grid, const QString& field, const QStringList& headers,
                              const Finder& finder, const std::function<bool(const QString& code)>& take) {
    QLineEdit* line = grid.addEntryLine(field, QStringLiteral("输入货品编号、名称或拼音首字母，回车添加"));
    auto* popup = new MatchPopup(line, headers);
    popup->finder = guarded(window, finder);
    Shortcuts::add(window, QKeySequence(Qt::Key_Insert), QStringLiteral("新增一行：输入货品编号、名称或拼音首字母"),
                   [line] { line->setFocus(); });
    auto takeCode = [&window, &grid, line, take](const QString& code) {
        bool taken = false;
        window.actions().guard([&] { taken = take(code); });
        if (taken) {
            line->clear();
            grid.setEntryMessage({});
        }
    };
    QObject::connect(popup, &MatchPopup::chosen, line, [takeCode](const QStringList& row) { takeCode(row.first()); });
    // Enter without the list: the text is taken when it is a match's own
    // code (or name), said when nothing matches it, else the list shows.
    QObject::connect(popup, &MatchPopup::entered, line, [&grid, popup, takeCode](const QString& typed) {
        const QString text = typed.trimmed();
        if (text.isEmpty()) {
            return;
        }
        const QList<QStringList> rows = popup->finder(text);
        if (!rows.isEmpty() && rows.first().first().compare(text, Qt::CaseInsensitive) == 0) {
            takeCode(rows.first().first());
        } else if (rows.isEmpty()) {
            grid.setEntryMessage(notFoundText(text));
        } else {
            popup->refresh();
        }
    });
    return popup;
}

MatchPopup* TypedEntry::records(BaseWindow& window, QLineEdit& edit, const RecordFinder::Setup& setup,
                                const QStringList& headers, const std::function<void(const QString& code)>& take) {
    auto* popup = new MatchPopup(&edit, headers);
    popup->finder = guarded(window, finderIn(window, setup));
    QObject::connect(popup, &MatchPopup::chosen, &edit,
                     [&window, take](const QStringList& row) { window.actions().guard([&] { take(row.first()); }); });
    return popup;
}

QList<QStringList> TypedEntry::textsMatching(const QStringList& offered, const QString& typed) {
    const QString text = typed.trimmed();
    const QString initials = NameInitials::typed(text);
    QList<QStringList> rows;
    for (const QString& t : offered) {
        if (t.contains(text, Qt::CaseInsensitive) || (!initials.isEmpty() && PinyinInitials::startsWith(t, initials))) {
            rows.append({t});
            if (rows.size() == 20) {
                break;
            }
        }
    }
    return rows;
}

MatchPopup* TypedEntry::texts(MemoEdit& edit, const QString& header, const std::function<QStringList()>& offered) {
    auto* popup = new MatchPopup(
        &edit, {header}, [&edit] { return edit.value().toString(); },
        [&edit](const QString& text) {
            edit.setValue(text);
            edit.moveCursor(QTextCursor::End);  // typing goes on after it
            emit edit.valueEdited();
        },
        &MemoEdit::valueEdited);
    popup->finder = [offered](const QString& text) { return textsMatching(offered(), text); };
    QObject::connect(popup, &MatchPopup::chosen, &edit,
                     [popup](const QStringList& row) { popup->setTextAsTyped(row.first()); });
    return popup;
}
