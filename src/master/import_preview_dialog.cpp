#include "master/import_preview_dialog.h"

#include <algorithm>

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

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
      m_import(new QPushButton(QStringLiteral("导入"), this)) {
    setObjectName(QStringLiteral("ImportPreviewDialog"));
    setWindowTitle(title);
    const QStringList header = sheet.rows.value(0);
    const QStringList guessed = importer.guessMapping(header);
    const QStringList fields = importer.importableFields();

    // Above each column of the file, the field it fills.
    auto* choices = new QWidget(this);
    auto* choiceRow = new QHBoxLayout(choices);
    choiceRow->setContentsMargins(0, 0, 0, 0);
    for (int c = 0; c < header.size(); ++c) {
        auto* box = new QComboBox(choices);
        box->addItem(QStringLiteral("（不导入）"), QString());
        for (const QString& f : fields) {
            box->addItem(importer.fieldCaptions(f).value(0, f), f);
        }
        box->setCurrentIndex(std::max(0, box->findData(guessed.value(c))));
        connect(box, &QComboBox::currentIndexChanged, this, [this] { recheck(); });
        m_choices << box;
        choiceRow->addWidget(box);
    }

    const int shown = std::min<int>(kShownRows, std::max<int>(0, int(sheet.rows.size()) - 1));
    m_table->setColumnCount(int(header.size()));
    m_table->setRowCount(shown);
    m_table->setHorizontalHeaderLabels(header);
    QStringList numbers;
    for (int r = 0; r < shown; ++r) {
        numbers << QString::number(sheet.rowNumbers.value(r + 1));
        const QStringList& cells = sheet.rows[r + 1];
        for (int c = 0; c < cells.size() && c < header.size(); ++c) {
            m_table->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
    }
    m_table->setVerticalHeaderLabels(numbers);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->resizeColumnsToContents();

    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
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
    upperLayout->addWidget(new QLabel(QStringLiteral("每一列导入到：（根据列标题猜测，可以修改）"), this));
    upperLayout->addWidget(choices);
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

void ImportPreviewDialog::recheck() {
    m_plan = m_importer.check(m_sheet, mapping());
    m_refusals->clear();
    for (const MasterImport::Refusal& r : m_plan.refused) {
        m_refusals->addItem(QStringLiteral("第 %1 行：%2").arg(r.rowNumber).arg(r.reason));
    }
    m_summary->setText(
        QStringLiteral("可以导入 %1 行，不能导入 %2 行").arg(m_plan.accepted.size()).arg(m_plan.refused.size()));
    // Nothing to write when no row passes or no column is taken.
    const QStringList map = mapping();
    const bool anyColumn = std::any_of(map.cbegin(), map.cend(), [](const QString& f) { return !f.isEmpty(); });
    m_import->setEnabled(anyColumn && !m_plan.accepted.isEmpty());
}
