-- Triggers that keep Quotation_Sum equal to the sums over each quotation
-- number's lines and receipts, and to its head's freight and discount
-- (embedded books). Statements end at a line
-- holding only "/". Amounts are rounded at every step so that adding and
-- taking away decimal amounts never leaves a floating-point residue.
DROP TRIGGER IF EXISTS tr_quotation_detail_ins
/
DROP TRIGGER IF EXISTS tr_quotation_detail_del
/
DROP TRIGGER IF EXISTS tr_quotation_detail_upd
/
DROP TRIGGER IF EXISTS tr_receipt_head_ins
/
DROP TRIGGER IF EXISTS tr_receipt_head_del
/
DROP TRIGGER IF EXISTS tr_receipt_head_upd
/
DROP TRIGGER IF EXISTS tr_quotation_head_ins
/
DROP TRIGGER IF EXISTS tr_quotation_head_del
/
DROP TRIGGER IF EXISTS tr_quotation_head_upd
/
CREATE TRIGGER tr_quotation_detail_ins AFTER INSERT ON Quotation_Detail
BEGIN
    INSERT OR IGNORE INTO Quotation_Sum (BillNo) VALUES (NEW.HeadNo);
    UPDATE Quotation_Sum
       SET sum_Goods = ROUND(sum_Goods + COALESCE(NEW.Total_Price, 0), 2),
           sum_Gain = ROUND(sum_Gain + COALESCE(NEW.Gain_Money, 0), 2),
           sum_Cost = ROUND(sum_Cost + COALESCE(NEW.QTY, 0) * COALESCE(NEW.purchase_Price, 0), 4)
     WHERE BillNo = NEW.HeadNo;
END
/
CREATE TRIGGER tr_quotation_detail_del AFTER DELETE ON Quotation_Detail
BEGIN
    UPDATE Quotation_Sum
       SET sum_Goods = ROUND(sum_Goods - COALESCE(OLD.Total_Price, 0), 2),
           sum_Gain = ROUND(sum_Gain - COALESCE(OLD.Gain_Money, 0), 2),
           sum_Cost = ROUND(sum_Cost - COALESCE(OLD.QTY, 0) * COALESCE(OLD.purchase_Price, 0), 4)
     WHERE BillNo = OLD.HeadNo;
END
/
CREATE TRIGGER tr_quotation_detail_upd AFTER UPDATE OF HeadNo, Total_Price, Gain_Money, QTY, purchase_Price
    ON Quotation_Detail
BEGIN
    UPDATE Quotation_Sum
       SET sum_Goods = ROUND(sum_Goods - COALESCE(OLD.Total_Price, 0), 2),
           sum_Gain = ROUND(sum_Gain - COALESCE(OLD.Gain_Money, 0), 2),
           sum_Cost = ROUND(sum_Cost - COALESCE(OLD.QTY, 0) * COALESCE(OLD.purchase_Price, 0), 4)
     WHERE BillNo = OLD.HeadNo;
    INSERT OR IGNORE INTO Quotation_Sum (BillNo) VALUES (NEW.HeadNo);
    UPDATE Quotation_Sum
       SET sum_Goods = ROUND(sum_Goods + COALESCE(NEW.Total_Price, 0), 2),
           sum_Gain = ROUND(sum_Gain + COALESCE(NEW.Gain_Money, 0), 2),
           sum_Cost = ROUND(sum_Cost + COALESCE(NEW.QTY, 0) * COALESCE(NEW.purchase_Price, 0), 4)
     WHERE BillNo = NEW.HeadNo;
END
/
CREATE TRIGGER tr_receipt_head_ins AFTER INSERT ON Receipt_Head WHEN NEW.QuotationNo IS NOT NULL
BEGIN
    INSERT OR IGNORE INTO Quotation_Sum (BillNo) VALUES (NEW.QuotationNo);
    UPDATE Quotation_Sum SET sum_Paid = ROUND(sum_Paid + COALESCE(NEW.TotalPrice, 0), 2)
     WHERE BillNo = NEW.QuotationNo;
END
/
CREATE TRIGGER tr_receipt_head_del AFTER DELETE ON Receipt_Head WHEN OLD.QuotationNo IS NOT NULL
BEGIN
    UPDATE Quotation_Sum SET sum_Paid = ROUND(sum_Paid - COALESCE(OLD.TotalPrice, 0), 2)
     WHERE BillNo = OLD.QuotationNo;
END
/
CREATE TRIGGER tr_receipt_head_upd AFTER UPDATE OF QuotationNo, TotalPrice ON Receipt_Head
BEGIN
    UPDATE Quotation_Sum SET sum_Paid = ROUND(sum_Paid - COALESCE(OLD.TotalPrice, 0), 2)
     WHERE OLD.QuotationNo IS NOT NULL AND BillNo = OLD.QuotationNo;
    INSERT OR IGNORE INTO Quotation_Sum (BillNo) SELECT NEW.QuotationNo WHERE NEW.QuotationNo IS NOT NULL;
    UPDATE Quotation_Sum SET sum_Paid = ROUND(sum_Paid + COALESCE(NEW.TotalPrice, 0), 2)
     WHERE NEW.QuotationNo IS NOT NULL AND BillNo = NEW.QuotationNo;
END
/
CREATE TRIGGER tr_quotation_head_ins AFTER INSERT ON Quotation_Head
BEGIN
    INSERT OR IGNORE INTO Quotation_Sum (BillNo) VALUES (NEW.BillNo);
    UPDATE Quotation_Sum SET Freight = COALESCE(NEW.Freight, 0), preferential = COALESCE(NEW.preferential, 0)
     WHERE BillNo = NEW.BillNo;
END
/
CREATE TRIGGER tr_quotation_head_del AFTER DELETE ON Quotation_Head
BEGIN
    UPDATE Quotation_Sum SET Freight = 0, preferential = 0 WHERE BillNo = OLD.BillNo;
END
/
CREATE TRIGGER tr_quotation_head_upd AFTER UPDATE OF BillNo, Freight, preferential ON Quotation_Head
BEGIN
    UPDATE Quotation_Sum SET Freight = 0, preferential = 0 WHERE BillNo = OLD.BillNo;
    INSERT OR IGNORE INTO Quotation_Sum (BillNo) VALUES (NEW.BillNo);
    UPDATE Quotation_Sum SET Freight = COALESCE(NEW.Freight, 0), preferential = COALESCE(NEW.preferential, 0)
     WHERE BillNo = NEW.BillNo;
END
/
