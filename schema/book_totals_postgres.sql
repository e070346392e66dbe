-- Triggers that keep Quotation_Sum equal to the sums over each quotation
-- number's lines and receipts, and to its head's freight and discount
-- (server books). Statements end at a line
-- holding only "/". The functions keep the schema they were made in, so a
-- book's triggers always write that book's totals.
CREATE OR REPLACE FUNCTION quotation_sum_detail() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        UPDATE Quotation_Sum
           SET sum_Goods = sum_Goods - COALESCE(OLD.Total_Price, 0),
               sum_Gain = sum_Gain - COALESCE(OLD.Gain_Money, 0),
               sum_Cost = sum_Cost - COALESCE(OLD.QTY, 0) * COALESCE(OLD.purchase_Price, 0)
         WHERE BillNo = OLD.HeadNo;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') THEN
        INSERT INTO Quotation_Sum (BillNo) VALUES (NEW.HeadNo) ON CONFLICT (BillNo) DO NOTHING;
        UPDATE Quotation_Sum
           SET sum_Goods = sum_Goods + COALESCE(NEW.Total_Price, 0),
               sum_Gain = sum_Gain + COALESCE(NEW.Gain_Money, 0),
               sum_Cost = sum_Cost + COALESCE(NEW.QTY, 0) * COALESCE(NEW.purchase_Price, 0)
         WHERE BillNo = NEW.HeadNo;
    END IF;
    RETURN NULL;
END
$$
/
CREATE OR REPLACE FUNCTION quotation_sum_receipt() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') AND OLD.QuotationNo IS NOT NULL THEN
        UPDATE Quotation_Sum SET sum_Paid = sum_Paid - COALESCE(OLD.TotalPrice, 0)
         WHERE BillNo = OLD.QuotationNo;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') AND NEW.QuotationNo IS NOT NULL THEN
        INSERT INTO Quotation_Sum (BillNo) VALUES (NEW.QuotationNo) ON CONFLICT (BillNo) DO NOTHING;
        UPDATE Quotation_Sum SET sum_Paid = sum_Paid + COALESCE(NEW.TotalPrice, 0)
         WHERE BillNo = NEW.QuotationNo;
    END IF;
    RETURN NULL;
END
$$
/
CREATE OR REPLACE FUNCTION quotation_sum_head() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        UPDATE Quotation_Sum SET Freight = 0, preferential = 0 WHERE BillNo = OLD.BillNo;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') THEN
        INSERT INTO Quotation_Sum (BillNo) VALUES (NEW.BillNo) ON CONFLICT (BillNo) DO NOTHING;
        UPDATE Quotation_Sum SET Freight = COALESCE(NEW.Freight, 0), preferential = COALESCE(NEW.preferential, 0)
         WHERE BillNo = NEW.BillNo;
    END IF;
    RETURN NULL;
END
$$
/
DROP TRIGGER IF EXISTS tr_quotation_detail_sum ON Quotation_Detail
/
CREATE TRIGGER tr_quotation_detail_sum AFTER INSERT OR DELETE OR UPDATE OF HeadNo, Total_Price, Gain_Money, QTY,
    purchase_Price ON Quotation_Detail FOR EACH ROW EXECUTE FUNCTION quotation_sum_detail()
/
DROP TRIGGER IF EXISTS tr_receipt_head_sum ON Receipt_Head
/
CREATE TRIGGER tr_receipt_head_sum AFTER INSERT OR DELETE OR UPDATE OF QuotationNo, TotalPrice ON Receipt_Head
    FOR EACH ROW EXECUTE FUNCTION quotation_sum_receipt()
/
DROP TRIGGER IF EXISTS tr_quotation_head_sum ON Quotation_Head
/
CREATE TRIGGER tr_quotation_head_sum AFTER INSERT OR DELETE OR UPDATE OF BillNo, Freight, preferential
    ON Quotation_Head FOR EACH ROW EXECUTE FUNCTION quotation_sum_head()
/
