#pragma once

#include <QDialog>
#include <memory>

class Dataset;
class LookupList;
class QLineEdit;

// "商品大类": a class's name, usual size and usual unit, edited in place.
class GoodsClassDialog : public QDialog {
    Q_OBJECT
public:
    GoodsClassDialog(Dataset& classes, std::shared_ptr<LookupList> units, QWidget* parent = nullptr);
    QLineEdit* nameEdit() const { return m_name; }

private:
    QLineEdit* m_name;
};
