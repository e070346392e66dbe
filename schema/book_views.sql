-- Saved queries of an account book. They are dropped and created again
-- whenever the schema is installed or migrated, so a change here reaches
-- existing books through a new schema version.
DROP VIEW IF EXISTS Query_Quotation_Head_list;
DROP VIEW IF EXISTS Query_tmp;
DROP VIEW IF EXISTS Query_Goods_With_Corp_Unit;
DROP VIEW IF EXISTS Query_Order_form_GoodsAll;

-- Goods with the name of their unit and their supplier.
CREATE VIEW Query_Goods_With_Corp_Unit AS
SELECT g.*,
       u.Unit_name,
       p.provider_name,
       p.provider_Corp_Name,
       p.Corp_code
FROM goods g
LEFT JOIN unit u ON u.unit_code = g.Goods_unit
LEFT JOIN Provider p ON p.Corp_code = g.Provide_corp;

-- One row per quotation with the customer's name: the name typed on the
-- quotation, or the customer record's name when none was typed.
CREATE VIEW Query_tmp AS
SELECT h.*,
       COALESCE(NULLIF(h.Add_ClientName, ''), c.Linkman_name, '') AS Client_name
FROM Quotation_Head h
LEFT JOIN Client c ON c.Corp_code = h.ClientNo;

-- One row per quotation with its amounts, as the triggers keep them with
-- the quotation's totals (every head has its totals row):
--   goods value  = sum of the lines' amounts
--   receivable   = goods value + freight - discount
--   received     = sum of the quotation's receipts
--   outstanding  = receivable - received
--   profit       = sum of the lines' profit - discount
-- The amounts are rounded to the cent when they are written, so a
-- quotation paid to the cent never shows as unpaid for a floating-point
-- residue. The columns are read as they are stored, without functions
-- around them: so they keep their declared decimal kind in the program
-- (an embedded book stores a whole amount as an integer).
CREATE VIEW Query_Quotation_Head_list AS
SELECT h.*,
       t.sum_Goods AS sum_Goods_Price,
       t.sum_Gain AS sum_Gain_Money,
       t.cost_Price AS sum_goods_cost_price,
       t.sum_Paid AS sum_payed_money,
       t.Total_Price,
       t.total_Gain AS total_Gain_Money,
       t.Leave_money,
       CASE WHEN t.Leave_money <= 0 THEN '已付清' ELSE '未付清' END AS isPayAll,
       CASE WHEN h.state = 1 THEN '生效' ELSE '失效' END AS state_desc
FROM Quotation_Head h
LEFT JOIN Quotation_Sum t ON t.BillNo = h.BillNo;

-- One row per goods row of an order form, with the order's head fields and
-- the names of the coded fields.
CREATE VIEW Query_Order_form_GoodsAll AS
SELECT d.*,
       h.Order_Form_Code, h.corp_code, h.Order_Date, h.Send_Date, h.Contract_No, h.Link_man,
       h.User_name, h.Keyin_Date, h.isPay, h.PayOver_Date, h.earnest, h.preferential, h.telephon,
       h.Gain_Customer_Name, h.Remark_ShipmentForm AS Head_Remark,
       gn.StatusName AS Goods_name_Desc,
       gt.StatusName AS Goods_Type_Desc,
       co.StatusName AS Colour_Desc,
       gu.StatusName AS Goods_Unit_Desc,
       lp.StatusName AS Model_Lock_Position_Desc,
       g1.StatusName AS Glass_Type_Desc,
       g2.StatusName AS Glass_Type2_Desc,
       ls.StatusName AS Lock_Size_Desc,
       li.StatusName AS Lock_Install_Condition_Desc,
       gs.StatusName AS Goods_Status_Desc
FROM Dusmere_Order_Form_Detail d
JOIN Dusmere_Order_Form_head h ON h.Order_Form_Code = d.Head_Code
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'goods_name') gn
       ON gn.StatusValue = CAST(d.Goods_name AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'goods_type') gt
       ON gt.StatusValue = CAST(d.Goods_Type AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'colour') co
       ON co.StatusValue = CAST(d.Colour AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'goods_unit') gu
       ON gu.StatusValue = CAST(d.Goods_Unit AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'model_lock_position') lp
       ON lp.StatusValue = CAST(d.Model_Lock_Position AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'glass_type') g1
       ON g1.StatusValue = CAST(d.Glass_Type AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'glass_type') g2
       ON g2.StatusValue = CAST(d.Glass_Type2 AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'lock_size') ls
       ON ls.StatusValue = CAST(d.Lock_Size AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'lock_install_condition') li
       ON li.StatusValue = CAST(d.Lock_Install_Condition AS VARCHAR(20))
LEFT JOIN (SELECT s.StatusValue, s.StatusName FROM Sys_Status_Describe s JOIN Sys_Status_Describe_head l
           ON s.ParamentName = l.paramentname
           WHERE LOWER(l.TableName) = 'dusmere_order_form_detail' AND LOWER(l.FieldName) = 'goods_status') gs
       ON gs.StatusValue = CAST(d.Goods_Status AS VARCHAR(20));
