#include "documents/document_windows.h"

#include "data/app_context.h"
#include "platform/prompter.h"

namespace DocumentWindows {

void printQuotation(AppContext& context, QuotationPrint kind, const QString& billNo, QWidget* parent) {
    Q_UNUSED(kind);
    Q_UNUSED(billNo);
    Q_UNUSED(parent);
    context.prompter().inform(QStringLiteral("该功能尚未开放"));
}

void openReceipts(AppContext& context, const QString& quotationNo, QWidget* parent) {
    Q_UNUSED(quotationNo);
    Q_UNUSED(parent);
    context.prompter().inform(QStringLiteral("该功能尚未开放"));
}

}  // namespace DocumentWindows
