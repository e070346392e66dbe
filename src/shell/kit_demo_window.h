#pragma once

#include <memory>

#include "data/dataset.h"
#include "ui/base_window.h"

// A look at the window kit on a temporary book: a class tree, a goods grid
// with its footer and filter, and editors bound to the current goods.
class KitDemoWindow : public BaseWindow {
    Q_OBJECT
public:
    explicit KitDemoWindow(AppContext& context, QWidget* parent = nullptr);

    // Fills the book with a few classes and `goods` goods.
    static void fillDemoData(Database& db, int goods);

private:
    Dataset m_classes;
    Dataset m_goods;
};
