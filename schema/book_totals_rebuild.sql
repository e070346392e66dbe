-- Computes every quotation number's totals afresh from its head, lines
-- and receipts (when the triggers are first installed, and to repair a
-- book).
DELETE FROM Quotation_Sum;
INSERT INTO Quotation_Sum (BillNo, sum_Goods, sum_Gain, sum_Cost, sum_Paid, Freight, preferential)
SELECT k.BillNo,
       COALESCE(d.sum_goods, 0), COALESCE(d.sum_gain, 0), COALESCE(d.sum_cost, 0), COALESCE(r.sum_paid, 0),
       COALESCE(h.Freight, 0), COALESCE(h.preferential, 0)
FROM (SELECT BillNo FROM Quotation_Head
      UNION
      SELECT HeadNo FROM Quotation_Detail
      UNION
      SELECT QuotationNo FROM Receipt_Head WHERE QuotationNo IS NOT NULL) k
LEFT JOIN Quotation_Head h ON h.BillNo = k.BillNo
LEFT JOIN (SELECT HeadNo,
                  ROUND(SUM(COALESCE(Total_Price, 0)), 2) AS sum_goods,
                  ROUND(SUM(COALESCE(Gain_Money, 0)), 2) AS sum_gain,
                  ROUND(SUM(COALESCE(QTY, 0) * COALESCE(purchase_Price, 0)), 4) AS sum_cost
           FROM Quotation_Detail
           GROUP BY HeadNo) d ON d.HeadNo = k.BillNo
LEFT JOIN (SELECT QuotationNo, ROUND(SUM(COALESCE(TotalPrice, 0)), 2) AS sum_paid
           FROM Receipt_Head
           GROUP BY QuotationNo) r ON r.QuotationNo = k.BillNo;
