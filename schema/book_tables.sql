-- Tables of an account book. One text for both engines: @ID@ stands for the
-- engine's auto-numbered key.

CREATE TABLE IF NOT EXISTS Sys_ID_Autoincrement (
    tablename VARCHAR(50) NOT NULL,
    fieldname VARCHAR(50) NOT NULL,
    CurrID VARCHAR(50),
    PRIMARY KEY (tablename, fieldname)
);

CREATE TABLE IF NOT EXISTS Sys_user (
    id @ID@,
    User_name VARCHAR(50) NOT NULL,
    password VARCHAR(255),
    telephone VARCHAR(50),
    email VARCHAR(100),
    User_Group VARCHAR(50),
    Remark VARCHAR(255),
    type INTEGER DEFAULT 1
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_sys_user_name ON Sys_user (User_name);
CREATE INDEX IF NOT EXISTS ix_sys_user_group ON Sys_user (User_Group);

CREATE TABLE IF NOT EXISTS Sys_Operation_Table (
    id @ID@,
    Action_Name VARCHAR(50),
    Action_Title VARCHAR(50),
    Form_Name VARCHAR(50),
    Parent_Model VARCHAR(50),
    Parent_ID VARCHAR(50),
    isControl INTEGER DEFAULT 1
);
CREATE INDEX IF NOT EXISTS ix_sys_operation_action ON Sys_Operation_Table (LOWER(Action_Name), LOWER(Form_Name));

CREATE TABLE IF NOT EXISTS Sys_user_Operation (
    User_name VARCHAR(50) NOT NULL,
    Action_id INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS ix_sys_user_operation ON Sys_user_Operation (User_name, Action_id);
CREATE INDEX IF NOT EXISTS ix_sys_user_operation_action ON Sys_user_Operation (Action_id);

CREATE TABLE IF NOT EXISTS temp_User_Operation (
    id INTEGER,
    action_name VARCHAR(50),
    action_title VARCHAR(50),
    form_name VARCHAR(50),
    parent_model VARCHAR(50),
    parent_id VARCHAR(50),
    isControl INTEGER,
    user_name VARCHAR(50),
    img_no INTEGER
);

CREATE TABLE IF NOT EXISTS Sys_Status_Describe_head (
    paramentname VARCHAR(50) NOT NULL PRIMARY KEY,
    TableName VARCHAR(50) NOT NULL,
    FieldName VARCHAR(50) NOT NULL,
    isSystem_Param INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_status_head_table_field ON Sys_Status_Describe_head (TableName, FieldName);

CREATE TABLE IF NOT EXISTS Sys_Status_Describe (
    id @ID@,
    ParamentName VARCHAR(50) NOT NULL,
    StatusValue VARCHAR(20) NOT NULL,
    StatusName VARCHAR(100),
    Remark VARCHAR(255),
    blank1_Str VARCHAR(100),
    blank2_Str VARCHAR(50),
    blank3_Int NUMERIC(18,2),
    blank4_Int NUMERIC(18,2),
    blank5_Int NUMERIC(18,2),
    blank6_Int NUMERIC(18,2)
);
CREATE INDEX IF NOT EXISTS ix_status_describe_list ON Sys_Status_Describe (ParamentName, StatusValue);

-- Older customer tables, read through the combined customer tree.
CREATE TABLE IF NOT EXISTS customer_group (
    id @ID@,
    Class_name VARCHAR(50),
    Parent_id INTEGER,
    ico_no INTEGER DEFAULT 0,
    CorpType INTEGER DEFAULT 1
);
CREATE INDEX IF NOT EXISTS ix_customer_group_parent ON customer_group (Parent_id);

CREATE TABLE IF NOT EXISTS customer_provider (
    id @ID@,
    corp_code VARCHAR(20),
    Corp_name VARCHAR(100),
    boss_name VARCHAR(50),
    Boss_mobile VARCHAR(50),
    Corp_address VARCHAR(255),
    Corp_telephone VARCHAR(50),
    Customer_Group INTEGER,
    remark VARCHAR(255),
    -- pinyin initials of the names, kept when the row is written
    Name_Initials VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_customer_provider_code ON customer_provider (corp_code);
CREATE INDEX IF NOT EXISTS ix_customer_provider_group ON customer_provider (Customer_Group);

CREATE TABLE IF NOT EXISTS Client_group (
    id @ID@,
    Class_name VARCHAR(50),
    Parent_id INTEGER,
    ico_no INTEGER DEFAULT 0,
    CorpType INTEGER DEFAULT 1
);
CREATE INDEX IF NOT EXISTS ix_client_group_parent ON Client_group (Parent_id);

CREATE TABLE IF NOT EXISTS Client (
    ID @ID@,
    Corp_code VARCHAR(20),
    Linkman_name VARCHAR(20),
    LinkMan_mobile VARCHAR(20),
    LinkMan_Telephone VARCHAR(20),
    Linkman_foreign_telephone VARCHAR(30),
    Linkman_Fax VARCHAR(20),
    Linkman_Email VARCHAR(50),
    Linkman_postalcode VARCHAR(10),
    Linkman_country VARCHAR(20),
    Corp_name VARCHAR(50),
    corp_Telephone VARCHAR(50),
    Corp_address VARCHAR(255),
    China_Linkman_name VARCHAR(20),
    QQ VARCHAR(50),
    GroupClass INTEGER,
    remark VARCHAR(255),
    recipients VARCHAR(50),
    -- pinyin initials of the names, kept when the row is written
    Name_Initials VARCHAR(255)
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_client_code ON Client (Corp_code);
CREATE INDEX IF NOT EXISTS ix_client_group ON Client (GroupClass);

CREATE TABLE IF NOT EXISTS Provider_group (
    id @ID@,
    Class_name VARCHAR(50),
    Parent_id INTEGER,
    ico_no INTEGER DEFAULT 0,
    CorpType INTEGER DEFAULT 1
);
CREATE INDEX IF NOT EXISTS ix_provider_group_parent ON Provider_group (Parent_id);

CREATE TABLE IF NOT EXISTS Provider (
    ID @ID@,
    Corp_code VARCHAR(20),
    provider_name VARCHAR(50),
    provider_Corp_Name VARCHAR(255),
    provider_Corp_Address VARCHAR(255),
    provider_mobile VARCHAR(50),
    provider_Telephone VARCHAR(50),
    provider_Fax VARCHAR(50),
    provider_QQ VARCHAR(50),
    provider_Linkman1 VARCHAR(50),
    provider_Linkman2 VARCHAR(50),
    provider_Linkman1_Tel VARCHAR(50),
    provider_Linkman2_Tel VARCHAR(50),
    provider_BankUserName VARCHAR(50),
    provider_BankNo1 VARCHAR(50),
    provider_BankNo2 VARCHAR(50),
    provider_Send_Tel VARCHAR(50),
    provider_Receipt_Tel VARCHAR(50),
    remark VARCHAR(255),
    GroupClass INTEGER,
    -- pinyin initials of the names, kept when the row is written
    Name_Initials VARCHAR(255)
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_provider_code ON Provider (Corp_code);
CREATE INDEX IF NOT EXISTS ix_provider_group ON Provider (GroupClass);

CREATE TABLE IF NOT EXISTS unit (
    id @ID@,
    unit_code VARCHAR(10) NOT NULL,
    Unit_name VARCHAR(20),
    remark VARCHAR(255)
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_unit_code ON unit (unit_code);

CREATE TABLE IF NOT EXISTS goods_group (
    id @ID@,
    Class_name VARCHAR(50),
    Parent_id INTEGER,
    ico_no INTEGER DEFAULT 0,
    Class_Size VARCHAR(50),
    Class_Unit VARCHAR(20)
);
CREATE INDEX IF NOT EXISTS ix_goods_group_parent ON goods_group (Parent_id);

CREATE TABLE IF NOT EXISTS goods (
    id @ID@,
    code VARCHAR(20) NOT NULL,
    Goods_name VARCHAR(100),
    Goods_model VARCHAR(100),
    Goods_size VARCHAR(100),
    Goods_unit VARCHAR(10),
    Average_price NUMERIC(18,4),
    Default_price NUMERIC(18,4),
    purchase_price NUMERIC(18,4),
    Default_Qty NUMERIC(18,0),
    Default_TotalPrice NUMERIC(18,2),
    Mix_storage_count INTEGER,
    Max_storage_count INTEGER,
    Corp_Goods_Code VARCHAR(50),
    Provide_corp VARCHAR(20),
    Goods_class INTEGER,
    PicturePath VARCHAR(255),
    remark VARCHAR(255),
    Keyin_person VARCHAR(20),
    Keyin_time TIMESTAMP,
    Update_time TIMESTAMP,
    -- pinyin initials of the names, kept when the row is written
    Name_Initials VARCHAR(255)
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_goods_code ON goods (code);
CREATE INDEX IF NOT EXISTS ix_goods_class ON goods (Goods_class);
CREATE INDEX IF NOT EXISTS ix_goods_provider ON goods (Provide_corp);
CREATE INDEX IF NOT EXISTS ix_goods_unit ON goods (Goods_unit);

-- The standard price table and the customers' copies have the same columns
-- in the same order: a copy inserts all columns by position.
CREATE TABLE IF NOT EXISTS base_Dusmere_Price_Table (
    Corp_code VARCHAR(20),
    A101 NUMERIC(18,0), A102 NUMERIC(18,0), A103 NUMERIC(18,0),
    A_Remark TEXT,
    B101 NUMERIC(18,0), B102 NUMERIC(18,0), B103 NUMERIC(18,0),
    B201 NUMERIC(18,0), B202 NUMERIC(18,0), B203 NUMERIC(18,0),
    B_Remark TEXT,
    C101 NUMERIC(18,0), C102 NUMERIC(18,0), C103 NUMERIC(18,0),
    C201 NUMERIC(18,0), C202 NUMERIC(18,0), C203 NUMERIC(18,0),
    C_Remark TEXT,
    D101 NUMERIC(18,0), D102 NUMERIC(18,0), D103 NUMERIC(18,0), D104 NUMERIC(18,0),
    D201 NUMERIC(18,0), D202 NUMERIC(18,0), D203 NUMERIC(18,0), D204 NUMERIC(18,0),
    D_Remark TEXT,
    E101 NUMERIC(18,0), E102 NUMERIC(18,0), E103 NUMERIC(18,0),
    E201 NUMERIC(18,0), E202 NUMERIC(18,0), E203 NUMERIC(18,0),
    E_Remark TEXT,
    All_Remark TEXT
);

CREATE TABLE IF NOT EXISTS base_Dusmere_Customer_price_Table (
    Corp_code VARCHAR(20),
    A101 NUMERIC(18,0), A102 NUMERIC(18,0), A103 NUMERIC(18,0),
    A_Remark TEXT,
    B101 NUMERIC(18,0), B102 NUMERIC(18,0), B103 NUMERIC(18,0),
    B201 NUMERIC(18,0), B202 NUMERIC(18,0), B203 NUMERIC(18,0),
    B_Remark TEXT,
    C101 NUMERIC(18,0), C102 NUMERIC(18,0), C103 NUMERIC(18,0),
    C201 NUMERIC(18,0), C202 NUMERIC(18,0), C203 NUMERIC(18,0),
    C_Remark TEXT,
    D101 NUMERIC(18,0), D102 NUMERIC(18,0), D103 NUMERIC(18,0), D104 NUMERIC(18,0),
    D201 NUMERIC(18,0), D202 NUMERIC(18,0), D203 NUMERIC(18,0), D204 NUMERIC(18,0),
    D_Remark TEXT,
    E101 NUMERIC(18,0), E102 NUMERIC(18,0), E103 NUMERIC(18,0),
    E201 NUMERIC(18,0), E202 NUMERIC(18,0), E203 NUMERIC(18,0),
    E_Remark TEXT,
    All_Remark TEXT
);
CREATE INDEX IF NOT EXISTS ix_customer_price_code ON base_Dusmere_Customer_price_Table (Corp_code);

CREATE TABLE IF NOT EXISTS Quotation_Head (
    id @ID@,
    BillNo VARCHAR(20) NOT NULL,
    ClientNo VARCHAR(50),
    Link_man VARCHAR(30),
    telephon VARCHAR(50),
    Rummery VARCHAR(100),
    Country VARCHAR(20),
    Order_Date TIMESTAMP,
    Send_Date TIMESTAMP,
    PayOver_Date TIMESTAMP,
    Keyin_Date TIMESTAMP,
    Keyin_User VARCHAR(20),
    isPigeonhole INTEGER DEFAULT 0,
    IsDelete INTEGER DEFAULT 0,
    isPay INTEGER,
    Freight NUMERIC(18,2),
    earnest NUMERIC(18,2),
    preferential NUMERIC(18,2),
    Remark VARCHAR(255),
    Add_ClientName VARCHAR(50),
    state INTEGER DEFAULT 1
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_quotation_head_billno ON Quotation_Head (BillNo);
-- A customer's quotations, newest first (the prices quoted before), by the
-- code of its record or by the name typed on the quotation.
CREATE INDEX IF NOT EXISTS ix_quotation_head_client_date ON Quotation_Head (ClientNo, Keyin_Date, BillNo);
CREATE INDEX IF NOT EXISTS ix_quotation_head_name_date ON Quotation_Head (Add_ClientName, Keyin_Date, BillNo);
CREATE INDEX IF NOT EXISTS ix_quotation_head_keyin ON Quotation_Head (Keyin_Date);

CREATE TABLE IF NOT EXISTS Quotation_Detail (
    id @ID@,
    HeadNo VARCHAR(20) NOT NULL,
    GoodsNo VARCHAR(20) NOT NULL,
    QTY NUMERIC(18,2),
    Price NUMERIC(18,2),
    Total_Price NUMERIC(18,2),
    purchase_Price NUMERIC(18,2),
    Gain_Money NUMERIC(18,2),
    Remark VARCHAR(255),
    SortNo INTEGER
);
CREATE INDEX IF NOT EXISTS ix_quotation_detail_head ON Quotation_Detail (HeadNo, SortNo);
-- No index by goods code: only deleting goods looks lines up by goods (a
-- rare command, served by a scan), and each line of a saved quotation
-- would write a page of it of its own (a quotation's goods lie all over
-- such an index), which made saving a long quotation several times slower
-- on a large book.

CREATE TABLE IF NOT EXISTS Receipt_Head (
    id @ID@,
    QuotationNo VARCHAR(50),
    BillNo VARCHAR(50) NOT NULL,
    TotalPrice NUMERIC(18,0),
    BillType INTEGER,
    keyin_User VARCHAR(50),
    keyin_Date TIMESTAMP,
    remark VARCHAR(50),
    state INTEGER DEFAULT 1
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_receipt_head_billno ON Receipt_Head (BillNo);
CREATE INDEX IF NOT EXISTS ix_receipt_head_quotation ON Receipt_Head (QuotationNo);
CREATE INDEX IF NOT EXISTS ix_receipt_head_keyin ON Receipt_Head (keyin_Date);

CREATE TABLE IF NOT EXISTS Receipt_Detail (
    id @ID@,
    HeadNo VARCHAR(50),
    GoodsClassName VARCHAR(50),
    GoodsClassSize VARCHAR(50),
    GoodsClassUnit VARCHAR(50),
    QTY INTEGER,
    Price INTEGER,
    Total_Price INTEGER,
    Remark VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_receipt_detail_head ON Receipt_Detail (HeadNo);

-- Each quotation number's totals over its lines and receipts, with the
-- freight and discount of its head, kept by triggers in the same
-- transaction as every change of those rows, so that the quotation list
-- reads them without summing millions of lines or computing anything per
-- row. Every quotation head has its row; a number without one has nothing
-- to sum. The amounts the list shows are computed once when a row is
-- written:
--   receivable  = goods value + freight - discount
--   profit      = sum of the lines' profit - discount
--   outstanding = receivable - received
CREATE TABLE IF NOT EXISTS Quotation_Sum (
    BillNo VARCHAR(20) NOT NULL PRIMARY KEY,
    sum_Goods NUMERIC(18,2) NOT NULL DEFAULT 0,
    sum_Gain NUMERIC(18,2) NOT NULL DEFAULT 0,
    sum_Cost NUMERIC(18,4) NOT NULL DEFAULT 0,
    sum_Paid NUMERIC(18,2) NOT NULL DEFAULT 0,
    Freight NUMERIC(18,2) NOT NULL DEFAULT 0,
    preferential NUMERIC(18,2) NOT NULL DEFAULT 0,
    cost_Price NUMERIC(18,2) GENERATED ALWAYS AS (ROUND(sum_Cost, 2)) STORED,
    Total_Price NUMERIC(18,2) GENERATED ALWAYS AS (ROUND(sum_Goods + Freight - preferential, 2)) STORED,
    total_Gain NUMERIC(18,2) GENERATED ALWAYS AS (ROUND(sum_Gain - preferential, 2)) STORED,
    Leave_money NUMERIC(18,2) GENERATED ALWAYS AS (ROUND(sum_Goods + Freight - preferential - sum_Paid, 2)) STORED
);

CREATE TABLE IF NOT EXISTS Dusmere_Order_Form_head (
    ID @ID@,
    Order_Form_Code VARCHAR(20) NOT NULL,
    corp_code VARCHAR(20),
    Order_Date TIMESTAMP,
    Send_Date TIMESTAMP,
    Contract_No VARCHAR(30),
    Link_man VARCHAR(30),
    User_name VARCHAR(30),
    Remark_WorkForm VARCHAR(255),
    Remark_ShipmentForm VARCHAR(255),
    Keyin_Date TIMESTAMP,
    isPigeonhole INTEGER DEFAULT 0,
    IsDelete INTEGER DEFAULT 0,
    isPay INTEGER DEFAULT 0,
    PayOver_Date TIMESTAMP,
    earnest NUMERIC(18,2),
    preferential NUMERIC(18,2),
    telephon VARCHAR(50),
    Gain_Customer_Name VARCHAR(50),
    Revision INTEGER DEFAULT 0
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_order_form_head_code ON Dusmere_Order_Form_head (Order_Form_Code);
CREATE INDEX IF NOT EXISTS ix_order_form_head_keyin ON Dusmere_Order_Form_head (Keyin_Date);

CREATE TABLE IF NOT EXISTS Dusmere_Order_Form_Detail (
    ID @ID@,
    Head_Code VARCHAR(20) NOT NULL,
    Goods_Code VARCHAR(20) NOT NULL,
    Goods_Type INTEGER,
    Goods_name INTEGER,
    Colour INTEGER,
    QTY NUMERIC(18,4),
    Goods_Unit INTEGER,
    Model_Size VARCHAR(50),
    Model_DiJiao VARCHAR(50),
    Model_Lock_Position INTEGER,
    Glass_Technics VARCHAR(50),
    Glass_Type INTEGER,
    Glass_Type2 INTEGER,
    Lock_Size INTEGER,
    Lock_Install_Condition INTEGER,
    Lock_Fittings VARCHAR(255),
    Goods_Status INTEGER DEFAULT 0,
    Remark_WorkForm VARCHAR(255),
    Remark_ShipmentForm VARCHAR(255),
    Price NUMERIC(18,2),
    Total_Price NUMERIC(18,2)
);
CREATE INDEX IF NOT EXISTS ix_order_form_detail_head ON Dusmere_Order_Form_Detail (Head_Code, Goods_Code);
CREATE INDEX IF NOT EXISTS ix_order_form_detail_type ON Dusmere_Order_Form_Detail (Head_Code, Goods_Type);

CREATE TABLE IF NOT EXISTS payout (
    id @ID@,
    paytime TIMESTAMP NOT NULL,
    subject VARCHAR(50) NOT NULL,
    totalprice INTEGER,
    remark VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_payout_subject ON payout (subject, paytime);
CREATE INDEX IF NOT EXISTS ix_payout_paytime ON payout (paytime);

CREATE TABLE IF NOT EXISTS Dusmere_Work_Form_Head (
    ID @ID@,
    Work_Form_Code VARCHAR(20) NOT NULL,
    Order_Form_Code VARCHAR(20),
    KeyIn_Date TIMESTAMP,
    KeyIn_Person VARCHAR(30),
    Remark VARCHAR(255),
    Order_Revision INTEGER
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_work_form_head_code ON Dusmere_Work_Form_Head (Work_Form_Code);
CREATE INDEX IF NOT EXISTS ix_work_form_head_order ON Dusmere_Work_Form_Head (Order_Form_Code);

CREATE TABLE IF NOT EXISTS Dusmere_Work_Form_Detail (
    ID @ID@,
    head_Code VARCHAR(20),
    Order_Form_Code VARCHAR(20),
    goods_code VARCHAR(20)
);
CREATE INDEX IF NOT EXISTS ix_work_form_detail_head ON Dusmere_Work_Form_Detail (head_Code);

CREATE TABLE IF NOT EXISTS Dusmere_Ware_Out_Form_Head (
    ID @ID@,
    Ware_Out_Form_Code VARCHAR(20) NOT NULL,
    KeyIn_Date TIMESTAMP,
    KeyIn_Person VARCHAR(30),
    Remark VARCHAR(255),
    Order_Revision INTEGER
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_ware_out_head_code ON Dusmere_Ware_Out_Form_Head (Ware_Out_Form_Code);

CREATE TABLE IF NOT EXISTS Dusmere_Ware_Out_Form_Detail (
    ID @ID@,
    head_code VARCHAR(20),
    DetailNames TEXT,
    Fittings TEXT
);
CREATE INDEX IF NOT EXISTS ix_ware_out_detail_head ON Dusmere_Ware_Out_Form_Detail (head_code);

CREATE TABLE IF NOT EXISTS Dusmere_Shipment_Form_Head (
    ID @ID@,
    Shipment_Form_Code VARCHAR(20) NOT NULL,
    KeyIn_Date TIMESTAMP,
    KeyIn_Person VARCHAR(30),
    RecivePerson_Telephone VARCHAR(50),
    Remark VARCHAR(255),
    Order_Revision INTEGER
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_shipment_head_code ON Dusmere_Shipment_Form_Head (Shipment_Form_Code);

CREATE TABLE IF NOT EXISTS Dusmere_Shipment_Form_Detail (
    ID @ID@,
    goods_id VARCHAR(20),
    head_code VARCHAR(20),
    goods_code VARCHAR(20)
);
CREATE INDEX IF NOT EXISTS ix_shipment_detail_head ON Dusmere_Shipment_Form_Detail (head_code);

CREATE TABLE IF NOT EXISTS Sys_Corp (
    id @ID@,
    Corp_name VARCHAR(100),
    Corp_telephone VARCHAR(50),
    Corp_address VARCHAR(255),
    Tax_no VARCHAR(50),
    Bank_code VARCHAR(100),
    Linkman_name VARCHAR(50),
    Linkman_telephone VARCHAR(50),
    Linkman_email VARCHAR(100)
);
