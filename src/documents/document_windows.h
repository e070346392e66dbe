#pragma once

#include <QString>

class AppContext;
class QWidget;

// The follow-on windows the document windows open: the printouts and the
// receipts. Each is created, shown modally and freed.
namespace DocumentWindows {

enum class QuotationPrint { Customer, Warning, Purchase };

void printQuotation(AppContext& context, QuotationPrint kind, const QString& billNo, QWidget* parent);
void openReceipts(AppContext& context, const QString& quotationNo, QWidget* parent);
void printOrder(AppContext& context, const QString& orderCode, QWidget* parent);

}  // namespace DocumentWindows
