#include "master/import_preview_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/widget_header.h"

namespace {
// Rows shown in the preview; every row is checked.
constexpr int kShownRows = 200;
}  // namespace

ImportPreviewDialog::ImportPreviewDialog(MasterImport& importer, const SpreadsheetReader::Sheet& sheet,
                                         const QString& title, QWidget* parent)
    : QDialog(parent),
      m_importer(importer),
      m_sheet(sheet),
      m_table(new QTableWidget(this)),
      m_refusals(new QListWidget(this)),
      m_summary(new QLabel(this)),
      m_leftOut(new QLabel(this)),
      m_import(new QPushButton(QStringLiteral("导入"), this)) {
    setObjectName(QStringLiteral("ImportPreviewDialog"));
    setWindowTitle(title);
    const QStringList header = sheet.rows.value(0);
    const QStringList guessed = importer.guessMapping(header);
    const QStringList fields = importer.importableFields();

    // Under each caption of the file, in the header, the field that column
    // fills; the header stays in sight as the rows scroll.
    auto* choiceHeader = new WidgetHeader(m_table);
    m_table->setHorizontalHeader(choiceHeader);
    const int shown = std::min<int>(kShownRows, std::max<int>(0, int(sheet.rows.size()) - 1));
    // Every column that holds something, captions or not.
    qsizetype columns = header.size();
    for (const QStringList& row : sheet.rows) {
        columns = std::max(columns, row.size());
    }
    m_table->setColumnCount(int(columns));
    m_table->setRowCount(shown);
    m_table->setHorizontalHeaderLabels(header);
    QList<QWidget*> boxes;
    for (int c = 0; c < columns; ++c) {
        auto* box = new QComboBox(this);
        box->addItem(QStringLiteral("（不导入）"), QString());
        for (const QString& f : fields) {
            box->addItem(importer.fieldCaptions(f).value(0, f), f);
        }
        box->setCurrentIndex(std::max(0, box->findData(guessed.value(c))));
        connect(box, &QComboBox::currentIndexChanged, this, [this, c] { chosen(c); });
        m_choices << box;
        boxes << box;
    }
    QStringList numbers;
    for (int r = 0; r < shown; ++r) {
        const int rowNumber = sheet.rowNumbers.value(r + 1);
        numbers << QString::number(rowNumber);
        m_tableRowOf.insert(rowNumber, r);
        const QStringList& cells = sheet.rows[r + 1];
        for (int c = 0; c < columns; ++c) {
            m_table->setItem(r, c, new QTableWidgetItem(cells.value(c)));
        }
    }
    m_table->setVerticalHeaderLabels(numbers);
    // Captions from the left, so that a wide column's stays in sight.
    choiceHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->resizeColumnsToContents();
    for (int c = 0; c < columns; ++c) {
        // Wide enough for the field's name, not wider than a screen's third.
        m_table->setColumnWidth(c, std::min(320, std::max(m_table->columnWidth(c), m_choices[c]->sizeHint().width())));
    }
    choiceHeader->setWidgets(boxes);

    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    if (importer.fieldCaptions(QStringLiteral("Goods_class")).size() > 0) {
        m_createClasses = new QCheckBox(QStringLiteral("新建文件中的商品分类"), this);
        m_createClasses->setToolTip(
            QStringLiteral("文件按路径（如 门窗/五金）写的商品分类在账套中没有时，导入时一并新建"));
        m_createClasses->setChecked(importer.createsClasses());
        connect(m_createClasses, &QCheckBox::toggled, this, [this](bool on) {
            m_importer.setCreatesClasses(on);
            recheck();
        });
        buttons->addWidget(m_createClasses);
    }
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_import);
    buttons->addWidget(cancel);

    auto* refusedLabel = new QLabel(QStringLiteral("不能导入的行："), this);
    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(refusedLabel);
    lowerLayout->addWidget(m_refusals);
    auto* upper = new QWidget(this);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->addWidget(
        new QLabel(QStringLiteral("每一列导入到哪一项，根据列标题猜测，可以修改；不能导入的行标为红色。"), this));
    m_leftOut->setWordWrap(true);
    m_leftOut->setStyleSheet(QStringLiteral("color: #a05000;"));
    upperLayout->addWidget(m_leftOut);
    upperLayout->addWidget(m_table, 1);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(upper);
    splitter->addWidget(lower);
    splitter->setSizes({400, 150});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    resize(900, 600);
    recheck();
}

QStringList ImportPreviewDialog::mapping() const {
    QStringList out;
    for (const QComboBox* box : m_choices) {
        out << box->currentData().toString();
    }
    return out;
}

void ImportPreviewDialog::chosen(int column) {
    // A field is filled from one column: another column that had it lets go.
    const QString field = m_choices[column]->currentData().toString();
    if (!field.isEmpty()) {
        for (int c = 0; c < m_choices.size(); ++c) {
            if (c != column && m_choices[c]->currentData().toString() == field) {
                const QSignalBlocker quiet(m_choices[c]);
                m_choices[c]->setCurrentIndex(0);
            }
        }
    }
    recheck();
}

void ImportPreviewDialog::recheck() {
    m_plan = m_importer.checkAgain(m_sheet, mapping());
    m_refusals->clear();
    QHash<int, QString> reasons;  // table row -> why it is refused
    for (const MasterImport::Refusal& r : m_plan.refused) {
        m_refusals->addItem(QStringLiteral("第 %1 行：%2").arg(r.rowNumber).arg(r.reason));
        if (m_tableRowOf.contains(r.rowNumber)) {
            reasons.insert(m_tableRowOf.value(r.rowNumber), r.reason);
        }
    }
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QString reason = reasons.value(row);
        for (int c = 0; c < m_table->columnCount(); ++c) {
            QTableWidgetItem* item = m_table->item(row, c);
            item->setBackground(reason.isEmpty() ? QBrush() : QBrush(QColor(255, 215, 215)));
            item->setToolTip(reason);
        }
    }
    // Nothing to write when no row passes or no column is taken.
    const QStringList map = mapping();
    const QStringList leftOut = m_importer.leftOutColumns(m_sheet, map);
    m_leftOut->setText(leftOut.join(QLatin1Char('\n')));
    m_leftOut->setVisible(!leftOut.isEmpty());
    const bool anyColumn = std::any_of(map.cbegin(), map.cend(), [](const QString& f) { return !f.isEmpty(); });
    // Rows without code or name could not be told apart once imported.
    const bool identifies = MasterColumns::mapsIdentifyingField(m_importer.kind(), map);
    m_summary->setText(
        anyColumn
            ? QStringLiteral("可以导入 %1 行，不能导入 %2 行").arg(m_plan.accepted.size()).arg(m_plan.refused.size()) +
                  (m_plan.newClasses.isEmpty()
                       ? QString()
                       : QStringLiteral("；将新建商品分类：%1").arg(m_plan.newClasses.join(QStringLiteral("、"))))
            : QStringLiteral("没有认出任何列标题（请检查文件的第一行和编码），请在表头为各列"
                             "选择导入到哪一项"));
    if (anyColumn && !identifies) {
        m_summary->setText(QStringLiteral("请为编码或名称一列选择导入项（否则导入的记录将无法区分）"));
    }
    m_import->setEnabled(anyColumn && identifies && !m_plan.accepted.isEmpty());
}
