-- Rows every new account book holds.

-- The built-in user and the system group. The user's password starts empty
-- and is stored hashed when the book is first opened; a group has no
-- password and so can never log in.
INSERT INTO Sys_user (User_name, password, telephone, email, User_Group, Remark, type)
VALUES ('超级用户', '', '', '', '管理员组', '系统默认用户', 1);
INSERT INTO Sys_user (User_name, password, telephone, email, User_Group, Remark, type)
VALUES ('管理员组', NULL, '', '', '0', '系统管理员组', 0);

-- Counters: the last code issued for every numbered (table, field) pair.
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('receipt_head', 'billno', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('quotation_head', 'billno', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('dusmere_order_form_head', 'order_form_code', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('ware_out_bill_head', 'bill_auto_no', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('exchange_bill_head', 'bill_auto_no', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('modify_price_head', 'bill_auto_no', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('check_bill_head', 'bill_auto_no', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('dusmere_shipment_form_head', 'shipment_form_code', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('dusmere_ware_out_form_head', 'ware_out_form_code', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('dusmere_work_form_head', 'work_form_code', '');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('customer_provider', 'corp_code', '00000');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('dusmere_order_form_detail', 'goods_code', '0');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('unit', 'unit_code', 'UN006');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('goods', 'code', 'SP00000000');
INSERT INTO Sys_ID_Autoincrement (tablename, fieldname, CurrID) VALUES ('accountbook', 'databasename', 'UserAccountBook001');

-- Root groups of the group trees.
INSERT INTO Client_group (id, Class_name, Parent_id, ico_no, CorpType) VALUES (1, '全部客户', -1, 0, 0);
INSERT INTO Provider_group (id, Class_name, Parent_id, ico_no, CorpType) VALUES (1, '全部供应商', -1, 0, 0);
INSERT INTO customer_group (id, Class_name, Parent_id, ico_no, CorpType) VALUES (1, '全部客户', -1, 0, 0);
INSERT INTO goods_group (id, Class_name, Parent_id, ico_no, Class_Size, Class_Unit) VALUES (1, '全部商品', -1, 0, '', '');

-- Units of measure of the goods catalogue.
INSERT INTO unit (unit_code, Unit_name, remark) VALUES ('UN001', '个', '');
INSERT INTO unit (unit_code, Unit_name, remark) VALUES ('UN002', '件', '');
INSERT INTO unit (unit_code, Unit_name, remark) VALUES ('UN003', '套', '');
INSERT INTO unit (unit_code, Unit_name, remark) VALUES ('UN004', '箱', '');
INSERT INTO unit (unit_code, Unit_name, remark) VALUES ('UN005', '米', '');
INSERT INTO unit (unit_code, Unit_name, remark) VALUES ('UN006', '平方米', '');

-- The standard customer price table: one row, empty customer code.
INSERT INTO base_Dusmere_Price_Table (Corp_code, A101, A102, A103, A_Remark, B101, B102, B103, B201, B202, B203, B_Remark,
    C101, C102, C103, C201, C202, C203, C_Remark, D101, D102, D103, D104, D201, D202, D203, D204, D_Remark,
    E101, E102, E103, E201, E202, E203, E_Remark, All_Remark)
VALUES ('', 0, 0, 0, '', 0, 0, 0, 0, 0, 0, '', 0, 0, 0, 0, 0, 0, '', 0, 0, 0, 0, 0, 0, 0, 0, '',
    0, 0, 0, 0, 0, 0, '', '');

-- The company using the book.
INSERT INTO Sys_Corp (Corp_name, Corp_telephone, Corp_address, Tax_no, Bank_code, Linkman_name, Linkman_telephone,
    Linkman_email)
VALUES ('', '', '', '', '', '', '', '');

-- Code lists. Lists the program writes fixed values into are system lists,
-- hidden from the list editor.
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('收据类型', 'Receipt_Head', 'BillType', 1);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('费用名目', 'payout', 'subject', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('收款情况', 'Dusmere_Order_Form_head', 'isPay', 1);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('计量单位', 'Dusmere_Order_Form_Detail', 'Goods_Unit', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('货品名称', 'Dusmere_Order_Form_Detail', 'Goods_name', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('货品系列', 'Dusmere_Order_Form_Detail', 'Goods_Type', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('型材颜色', 'Dusmere_Order_Form_Detail', 'Colour', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('产品跟踪', 'Dusmere_Order_Form_Detail', 'goods_status', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('玻璃品种', 'Dusmere_Order_Form_Detail', 'Glass_Type', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('锁具型号', 'Dusmere_Order_Form_Detail', 'Lock_Size', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('锁位', 'Dusmere_Order_Form_Detail', 'Model_Lock_Position', 0);
INSERT INTO Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) VALUES ('锁具安装情况', 'Dusmere_Order_Form_Detail', 'Lock_Install_Condition', 0);

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('收据类型', '0', '定金收据');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('收据类型', '1', '收款收据');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('费用名目', '0', '运输费');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('费用名目', '1', '工资');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('费用名目', '2', '日杂费');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('费用名目', '3', '汇款');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('收款情况', '0', '未付清');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('收款情况', '1', '已付清');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('计量单位', '1', '樘');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('计量单位', '2', '扇');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('计量单位', '3', '平方米');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('计量单位', '4', '米');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('计量单位', '5', '套');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('计量单位', '6', '个');

-- Goods names of order rows carry their defaults: size, unit (a
-- value of the unit list above), unit price, quantity and amount.
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName, blank1_Str, blank2_Str, blank3_Int, blank4_Int, blank5_Int, blank6_Int)
VALUES ('货品名称', '1', '平开窗', '1200*1500', '3', 480, 0, 1, 480);
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName, blank1_Str, blank2_Str, blank3_Int, blank4_Int, blank5_Int, blank6_Int)
VALUES ('货品名称', '2', '推拉窗', '1500*1500', '3', 420, 0, 1, 420);
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName, blank1_Str, blank2_Str, blank3_Int, blank4_Int, blank5_Int, blank6_Int)
VALUES ('货品名称', '3', '平开门', '900*2100', '1', 1800, 0, 1, 1800);
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName, blank1_Str, blank2_Str, blank3_Int, blank4_Int, blank5_Int, blank6_Int)
VALUES ('货品名称', '4', '推拉门', '1800*2100', '1', 2600, 0, 1, 2600);
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName, blank1_Str, blank2_Str, blank3_Int, blank4_Int, blank5_Int, blank6_Int)
VALUES ('货品名称', '5', '折叠门', '2400*2100', '1', 3800, 0, 1, 3800);
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName, blank1_Str, blank2_Str, blank3_Int, blank4_Int, blank5_Int, blank6_Int)
VALUES ('货品名称', '6', '纱窗', '600*1200', '2', 120, 0, 1, 120);

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('货品系列', '1', '断桥铝系列');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('货品系列', '2', '塑钢系列');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('货品系列', '3', '铝合金系列');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('货品系列', '4', '实木系列');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('型材颜色', '1', '白色');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('型材颜色', '2', '香槟色');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('型材颜色', '3', '咖啡色');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('型材颜色', '4', '银灰色');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('型材颜色', '5', '木纹色');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('产品跟踪', '0', '未生产');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('产品跟踪', '1', '生产中');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('产品跟踪', '2', '已完工');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('产品跟踪', '3', '已出货');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('玻璃品种', '1', '5mm白玻');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('玻璃品种', '2', '中空玻璃');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('玻璃品种', '3', '钢化玻璃');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('玻璃品种', '4', '夹胶玻璃');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('玻璃品种', '5', 'Low-E玻璃');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁具型号', '1', '单点锁');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁具型号', '2', '多点锁');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁具型号', '3', '月牙锁');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁具型号', '4', '执手锁');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁位', '1', '左');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁位', '2', '右');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁位', '3', '居中');

INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁具安装情况', '1', '已安装');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁具安装情况', '2', '未安装');
INSERT INTO Sys_Status_Describe (ParamentName, StatusValue, StatusName) VALUES ('锁具安装情况', '3', '随货配送');
