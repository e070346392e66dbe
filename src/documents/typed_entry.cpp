#include "documents/typed_entry.h"

#include <QLineEdit>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/name_initials.h"
#include "platform/pinyin_initials.h"
#include "ui/action_manager.h"
#include "ui/base_window.h"
#include "ui/data_grid.h"
#include "ui/match_popup.h"
#include "ui/shortcuts.h"

namespace {
std::function<QList<QStringList>(const QString&)> finderIn(BaseWindow& window, const RecordFinder::Setup& setup) {
    return [&window, setup](const QString& text) {
        QList<QStringList> rows;
        window.actions().guard([&] { rows = RecordFinder(window.context().data().main(), setup).find(text, 20); });
        return rows;
    };
}
}  // namespace

MatchPopup* TypedEntry::goods(BaseWindow& window, DataGrid& grid, const QString& field,
                              const std::function<bool(const QString& code)>& take) {
    QLineEdit* line = grid.addEntryLine(field, QStringLiteral("输入货品编号、名称或拼音首字母，回车添加"));
    auto* popup = new MatchPopup(line, {QStringLiteral("货品编号"), QStringLiteral("货品名称"), QStringLiteral("规格"),
                                        QStringLiteral("计量单位"), QStringLiteral("单价")});
    popup->finder = finderIn(window, RecordFinder::goods());
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
    popup->finder = finderIn(window, setup);
    QObject::connect(popup, &MatchPopup::chosen, &edit,
                     [&window, take](const QStringList& row) { window.actions().guard([&] { take(row.first()); }); });
    return popup;
}

MatchPopup* TypedEntry::texts(QLineEdit& edit, const QString& header, const std::function<QStringList()>& offered) {
    auto* popup = new MatchPopup(&edit, {header});
    popup->finder = [offered](const QString& typed) {
        const QString text = typed.trimmed();
        const QString initials = NameInitials::typed(text);
        QList<QStringList> rows;
        for (const QString& t : offered()) {
            if (t.contains(text, Qt::CaseInsensitive) ||
                (!initials.isEmpty() && PinyinInitials::startsWith(t, initials))) {
                rows.append({t});
                if (rows.size() == 20) {
                    break;
                }
            }
        }
        return rows;
    };
    QObject::connect(popup, &MatchPopup::chosen, &edit,
                     [popup](const QStringList& row) { popup->setTextAsTyped(row.first()); });
    return popup;
}
