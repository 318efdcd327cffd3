-- Rows the program expects to find in a fresh database.
-- Load after schema.sql: sqlite3 custom.db < seed.sql

BEGIN;

-- First account: super user Admin with an empty password (the login hint names it).
INSERT INTO admin (username, password, permit) VALUES ('Admin', '', 0);

-- Placeholder own company, edited by the user in "Company Information".
INSERT INTO info (Company, Regname, Address, fax, tel, Postcode, Version, name)
VALUES ('Example Trading Co.', 'Jane Doe', '1 Example Street, Springfield',
        '+1 555 0100 101', '+1 555 0100 100', '12345', '1.70', '');

-- The caption joins the two without a separator, hence the leading blank.
INSERT INTO T_SoftInfo (SoftName, Version) VALUES ('Tallix', ' V1.70');

-- Grid columns and report fields.
-- ID: customer basic report order (table column order).
-- ShowID: grid order; hidden columns have their place too, so a column the
-- user turns on appears where it belongs rather than at the end.
-- Rows are inserted in ShowID order: the field choosers list them as stored.
-- The contact grid draws its third shown column as check boxes: keep Main third.
-- Print: at most six per table, and the chosen widths must fit a landscape page.
INSERT INTO T_FieldShow (ID, ShowID, TableName, Field, Name, Width, show, Print) VALUES
    ( 1,  1, 'Custom', 'CustID',    'Customer No.', 105, 1, 0),
    ( 3,  2, 'Custom', 'Company',   'Company',      200, 1, 1),
    ( 4,  3, 'Custom', 'CustType',  'Type',          90, 1, 0),
    ( 5,  4, 'Custom', 'Category',  'Category',      80, 0, 0),
    ( 6,  5, 'Custom', 'Country',   'Country',       90, 1, 0),
    ( 7,  6, 'Custom', 'Province',  'Province',      80, 1, 0),
    ( 8,  7, 'Custom', 'City',      'City',          80, 1, 0),
    ( 9,  8, 'Custom', 'Address',   'Address',      200, 0, 1),
    (10,  9, 'Custom', 'PostCode',  'Post Code',     80, 0, 0),
    (11, 10, 'Custom', 'Tel',       'Tel',          100, 1, 1),
    (12, 11, 'Custom', 'Fax',       'Fax',          100, 1, 1),
    (14, 12, 'Custom', 'Email',     'E-mail',       150, 1, 1),
    (15, 13, 'Custom', 'Url',       'Web Site',     150, 0, 0),
    (16, 14, 'Custom', 'From',      'Source',        90, 0, 0),
    (13, 15, 'Custom', 'Income',    'Income',        80, 0, 0),
    (18, 16, 'Custom', 'F_User',    'Owner',         80, 1, 0),
    ( 2, 17, 'Custom', 'Date',      'Entry Date',    85, 1, 0),
    (17, 18, 'Custom', 'Introduce', 'Profile',      200, 0, 0),

    ( 3,  1, 'Contact', 'Name',       'Name',          80, 1, 1),
    ( 5,  2, 'Contact', 'Company',    'Company',      200, 1, 0),
    ( 4,  3, 'Contact', 'Main',       'Main',          50, 1, 0),
    ( 6,  4, 'Contact', 'Position',   'Position',      90, 1, 1),
    ( 7,  5, 'Contact', 'Department', 'Department',    90, 1, 0),
    (11,  6, 'Contact', 'Tel',        'Tel',          100, 1, 1),
    (12,  7, 'Contact', 'Mobile',     'Mobile',       100, 1, 1),
    ( 8,  8, 'Contact', 'Email',      'E-mail',       150, 1, 1),
    (13,  9, 'Contact', 'HomeTel',    'Home Tel',     100, 0, 0),
    (14, 10, 'Contact', 'Fax',        'Fax',          100, 0, 0),
    ( 9, 11, 'Contact', 'Address',    'Address',      200, 0, 0),
    (10, 12, 'Contact', 'PostCode',   'Post Code',     80, 0, 0),
    (15, 13, 'Contact', 'Birthday',   'Birthday',      85, 0, 0),
    (16, 14, 'Contact', 'introduce',  'Profile',      200, 0, 0),
    ( 1, 15, 'Contact', 'ContactId',  'Contact No.',   95, 0, 0),
    ( 2, 16, 'Contact', 'CustID',     'Customer No.', 105, 0, 0),
    (17, 17, 'Contact', 'F_User',     'Owner',         80, 0, 0),

    ( 3,  1, 'daily', 'AddDate', 'Date',     90, 1, 0),
    ( 1,  2, 'daily', 'Subject', 'Subject', 200, 1, 0),
    ( 2,  3, 'daily', 'Content', 'Content', 300, 1, 0),
    ( 4,  4, 'daily', 'author',  'Author',   80, 1, 0),
    ( 5,  5, 'daily', 'DailyID', 'No.',      60, 0, 0),

    ( 1,  1, 'Sale', 'SaleDate', '日期',      90, 1, 0),
    ( 2,  2, 'Sale', 'SaleNo',   '单号',     100, 1, 0),
    ( 3,  3, 'Sale', 'Company',  '客户',     200, 1, 0),
    ( 4,  4, 'Sale', 'Total',    '金额合计',  90, 1, 0),
    ( 5,  5, 'Sale', 'Note',     '备注',     200, 1, 0),
    ( 6,  6, 'Sale', 'F_User',   '业务员',    80, 1, 0),
    ( 7,  7, 'Sale', 'SaleID',   '销售编号',  70, 0, 0),
    ( 8,  8, 'Sale', 'CustID',   '客户编号',  70, 0, 0),

    ( 1,  1, 'SaleLine', 'Product',  '产品',     200, 1, 0),
    ( 2,  2, 'SaleLine', 'Quantity', '数量',      80, 1, 0),
    ( 3,  3, 'SaleLine', 'Price',    '单价',      90, 1, 0),
    ( 4,  4, 'SaleLine', 'Amount',   '金额',     100, 1, 0),
    ( 5,  5, 'SaleLine', 'LineID',   '明细编号',  70, 0, 0),
    ( 6,  6, 'SaleLine', 'SaleID',   '销售编号',  70, 0, 0),

    -- The mapping window makes its first column read-only and gives the
    -- second the sheet headers: FieldName must come first, F_Field second.
    ( 3,  1, 'import', 'FieldName', 'Database Field', 150, 1, 0),
    ( 4,  2, 'import', 'F_Field',   'Sheet Column',   200, 1, 0),
    ( 1,  3, 'import', 'ImportID',  'No.',             50, 0, 0),
    ( 2,  4, 'import', 'S_Field',   'Column',         100, 0, 0),
    ( 5,  5, 'import', 'tablename', 'Table',           70, 0, 0);

-- Import mapping. Each import pre-pairs these rows with the sheet columns by
-- position, customers first, so the customer rows follow the column order of
-- the customer export: an exported workbook comes back paired correctly.
-- CustID is assigned by the engine: paired, it only says which stored
-- customer a row updates or skips. 'Name' on the customer side is the
-- contact person: the import makes a contact of it for every customer row.
INSERT INTO T_Import (S_Field, FieldName, F_Field, tablename) VALUES
    ('Company',   'Company',       '', 'custom'),
    ('CustType',  'Type',          '', 'custom'),
    ('Category',  'Category Code', '', 'custom'),
    ('Country',   'Country',       '', 'custom'),
    ('Province',  'Province',      '', 'custom'),
    ('City',      'City',          '', 'custom'),
    ('Address',   'Address',       '', 'custom'),
    ('PostCode',  'Post Code',     '', 'custom'),
    ('Tel',       'Tel',           '', 'custom'),
    ('Fax',       'Fax',           '', 'custom'),
    ('Income',    'Income',        '', 'custom'),
    ('Email',     'E-mail',        '', 'custom'),
    ('Url',       'Web Site',      '', 'custom'),
    ('From',      'Source',        '', 'custom'),
    ('Introduce', 'Profile',       '', 'custom'),
    ('Date',      'Entry Date',    '', 'custom'),
    ('F_User',    'Owner',         '', 'custom'),
    ('Name',      'Contact Name',  '', 'custom'),
    ('CustID',    'Customer No.',  '', 'custom'),

    ('CustID',     'Customer No.',  '', 'contact'),
    ('Name',       'Name',          '', 'contact'),
    ('Main',       'Main Contact',  '', 'contact'),
    ('Company',    'Company',       '', 'contact'),
    ('Position',   'Position',      '', 'contact'),
    ('Department', 'Department',    '', 'contact'),
    ('Email',      'E-mail',        '', 'contact'),
    ('Address',    'Address',       '', 'contact'),
    ('PostCode',   'Post Code',     '', 'contact'),
    ('Tel',        'Tel',           '', 'contact'),
    ('Mobile',     'Mobile',        '', 'contact'),
    ('HomeTel',    'Home Tel',      '', 'contact'),
    ('Fax',        'Fax',           '', 'contact'),
    ('Birthday',   'Birthday',      '', 'contact'),
    ('introduce',  'Profile',       '', 'contact'),
    ('F_User',     'Owner',         '', 'contact');

-- A row that matches a stored record is added as a new one until the user
-- chooses otherwise in the mapping window.
INSERT INTO T_ImportChoice (tablename, OnMatch, MatchBy, ClearEmpty) VALUES
    ('custom',  'add', 'company', 0),
    ('contact', 'add', 'name',    0);

-- Pick lists, in the order the editors show them.
INSERT INTO type (name) VALUES
    ('Key account'), ('Distributor'), ('Wholesaler'), ('Retailer'), ('Partner'), ('Prospect');

INSERT INTO custfrom (name) VALUES
    ('Trade fair'), ('Web site'), ('Referral'), ('Advertisement'), ('Cold call');

INSERT INTO country (name) VALUES
    ('China'), ('Germany'), ('United States'), ('Japan'), ('United Kingdom'), ('France'), ('Italy');

INSERT INTO province (name) VALUES
    ('广东'), ('北京'), ('上海'), ('浙江'), ('江苏'), ('Bavaria'), ('California');

INSERT INTO zw (name) VALUES
    ('General Manager'), ('Sales Manager'), ('Purchasing Manager'), ('Engineer'), ('Assistant'), ('Director');

INSERT INTO department (name) VALUES
    ('Management'), ('Sales'), ('Purchasing'), ('Finance'), ('Engineering'), ('Logistics');

-- The layout's version: the last step of app/SchemaSteps.cpp.
INSERT INTO T_SchemaVersion (Version) VALUES (4);

COMMIT;
