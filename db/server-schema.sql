-- Tables of a Tallix database on a PostgreSQL server: the same tables,
-- columns and sizes as the embedded database (schema.sql). Load with psql
-- into an empty database, then seed.sql (which serves both engines) and
-- server-rights.sql (users and rights); scripts/server-create-db.sh does it:
--
--   psql -v ON_ERROR_STOP=1 -d tallix -f server-schema.sql -f seed.sql -f server-rights.sql
--
-- Names are written unquoted and so are kept in lower case; the two that
-- are keywords, "from" and "date", are quoted. Yes/no columns use the
-- domain yesno (0 or 1), so that statements may compare them with numbers
-- on both engines. Tables without a key of their own get a last column rid
-- that identifies their rows; the program does not show it.

BEGIN;

CREATE DOMAIN yesno AS smallint CHECK (VALUE IN (0, 1));

-- Keys are assigned from each table's sequence and never moved back: a
-- session takes the next number whatever other sessions hold uncommitted,
-- so two workstations adding rows at once never get the same key. A copy
-- that stores rows with keys of their own sets the sequence past them once
-- (scripts/server-copy-db.sh).

-- Customers (companies).
CREATE TABLE custom (
    custid      serial PRIMARY KEY,
    "date"      varchar(20),        -- entry day as text, yyyy-MM-dd
    company     varchar(200),
    custtype    varchar(20),
    category    varchar(50),        -- category code
    country     varchar(50),
    province    varchar(30),
    city        varchar(20),
    address     varchar(120),
    postcode    varchar(6),
    tel         varchar(20),
    fax         varchar(20),
    income      varchar(50),
    email       varchar(100),
    url         varchar(100),
    "from"      varchar(50),        -- customer source
    introduce   text,
    f_user      varchar(50)         -- owner's login name
);

-- Contact persons; custid is the customer number as decimal text.
CREATE TABLE contact (
    contactid   serial PRIMARY KEY,
    custid      varchar(50),
    name        varchar(50),
    main        yesno DEFAULT 0,
    company     varchar(250),
    position    varchar(50),
    department  varchar(50),
    email       varchar(50),
    address     varchar(250),
    postcode    varchar(50),
    tel         varchar(50),
    mobile      varchar(50),
    hometel     varchar(50),
    fax         varchar(20),
    birthday    timestamp(0),
    introduce   text,
    f_user      varchar(50)
);

-- Users; the login list reads the second column. Each user logs in as a
-- server role of their own (server-rights.sql), whose password the server
-- keeps: the password column stays empty here.
CREATE TABLE admin (
    id          serial PRIMARY KEY,
    username    varchar(50),
    password    varchar(128),
    permit      integer             -- 0 super user, else common user
);

-- Own company; exactly one row.
CREATE TABLE info (
    id          serial PRIMARY KEY,
    company     varchar(50),
    regname     varchar(20),
    address     varchar(50),
    fax         varchar(50),
    tel         varchar(50),
    postcode    varchar(50),
    version     varchar(10),
    name        varchar(50)
);

CREATE TABLE t_softinfo (
    softname    varchar(50),
    version     varchar(20),
    rid         serial PRIMARY KEY
);

CREATE TABLE category (
    code        varchar(12),
    name        varchar(50),
    rid         serial PRIMARY KEY
);

CREATE TABLE type (id serial PRIMARY KEY, name varchar(50));
CREATE TABLE custfrom (id serial PRIMARY KEY, name varchar(50));
CREATE TABLE country (id serial PRIMARY KEY, name varchar(50));
CREATE TABLE province (id serial PRIMARY KEY, name varchar(50));
CREATE TABLE zw (id serial PRIMARY KEY, name varchar(50));
CREATE TABLE department (id serial PRIMARY KEY, name varchar(50));

CREATE TABLE t_fieldshow (
    id          integer,
    showid      integer,
    tablename   varchar(50),
    field       varchar(50),
    name        varchar(50),
    width       integer,
    show        integer NOT NULL DEFAULT 0 CHECK (show IN (0, 1)),
    print       integer NOT NULL DEFAULT 0 CHECK (print IN (0, 1)),
    rid         serial PRIMARY KEY
);

CREATE TABLE t_import (
    importid    serial PRIMARY KEY,
    s_field     varchar(30),
    fieldname   varchar(50),
    f_field     varchar(50),
    tablename   varchar(20)
);

CREATE TABLE t_temp (
    s_field     varchar(255),
    cellid      integer,
    rid         serial PRIMARY KEY
);

CREATE TABLE t_daily (
    dailyid     serial PRIMARY KEY,
    subject     varchar(100),
    content     text,
    adddate     timestamp(0),
    author      varchar(50)
);

CREATE TABLE t_schedule (
    scheduleid  serial PRIMARY KEY,
    subject     varchar(100),
    acttype     varchar(50),
    customer    varchar(200),       -- company name
    contactor   varchar(50),
    starttime   timestamp(0),
    endtime     timestamp(0),
    hours       varchar(10),
    remind      varchar(20),
    content     text,
    author      varchar(50),
    custid      integer,
    remindat    timestamp(0),
    reminded    yesno NOT NULL DEFAULT 0
);

CREATE TABLE t_sale (
    saleid      serial PRIMARY KEY,
    saleno      varchar(30),
    saledate    timestamp(0),
    custid      integer,
    company     varchar(200),
    total       double precision NOT NULL DEFAULT 0,
    note        text,
    f_user      varchar(50)
);

CREATE TABLE t_saleline (
    lineid      serial PRIMARY KEY,
    saleid      integer NOT NULL,
    product     varchar(100),
    quantity    double precision NOT NULL DEFAULT 0,
    price       double precision NOT NULL DEFAULT 0,
    amount      double precision NOT NULL DEFAULT 0
);


-- The version of this layout (see app/SchemaSteps.cpp).
CREATE TABLE t_schemaversion (
    version     integer NOT NULL,
    rid         serial PRIMARY KEY
);

CREATE TABLE t_importchoice (
    choiceid    serial PRIMARY KEY,
    tablename   varchar(20),
    onmatch     varchar(10) NOT NULL DEFAULT 'add' CHECK (onmatch IN ('add', 'update', 'skip')),
    matchby     varchar(10) NOT NULL DEFAULT 'company',
    clearempty  yesno NOT NULL DEFAULT 0
);

CREATE TABLE t_importlog (
    logid       serial PRIMARY KEY,
    username    varchar(50),
    importedat  timestamp(0),
    filename    varchar(255),
    tablename   varchar(20),
    onmatch     varchar(10),
    matchby     varchar(10),
    added       integer NOT NULL DEFAULT 0,
    updated     integer NOT NULL DEFAULT 0,
    skipped     integer NOT NULL DEFAULT 0,
    contacts    integer NOT NULL DEFAULT 0,
    undoneby    varchar(50),
    undoneat    timestamp(0)
);

CREATE TABLE t_importrow (
    rowno       serial PRIMARY KEY,
    logid       integer NOT NULL,
    tablename   varchar(20),
    recordid    integer NOT NULL,
    action      varchar(1) CHECK (action IN ('A', 'U')),
    oldvalues   text,
    digest      varchar(32)
);

CREATE INDEX idx_contact_custid ON contact (custid);
CREATE INDEX idx_custom_company ON custom (company);
CREATE INDEX idx_custom_company_lower ON custom (lower(company));
CREATE INDEX idx_custom_category ON custom (category varchar_pattern_ops);
CREATE INDEX idx_custom_fuser ON custom (f_user);
CREATE UNIQUE INDEX idx_category_code ON category (code);
CREATE INDEX idx_fieldshow_table ON t_fieldshow (tablename, showid);
CREATE INDEX idx_daily_author ON t_daily (author, adddate);
CREATE INDEX idx_schedule_remind ON t_schedule (author, reminded, remindat);
CREATE INDEX idx_saleline_sale ON t_saleline (saleid);
CREATE INDEX idx_importrow_log ON t_importrow (logid);
CREATE INDEX idx_schedule_custid ON t_schedule (custid);
CREATE INDEX idx_sale_custid ON t_sale (custid);

-- How the program spells each name (the server keeps names in lower case).
COMMENT ON COLUMN custom.custid IS 'CustID';
COMMENT ON COLUMN custom."date" IS 'Date';
COMMENT ON COLUMN custom.company IS 'Company';
COMMENT ON COLUMN custom.custtype IS 'CustType';
COMMENT ON COLUMN custom.category IS 'Category';
COMMENT ON COLUMN custom.country IS 'Country';
COMMENT ON COLUMN custom.province IS 'Province';
COMMENT ON COLUMN custom.city IS 'City';
COMMENT ON COLUMN custom.address IS 'Address';
COMMENT ON COLUMN custom.postcode IS 'PostCode';
COMMENT ON COLUMN custom.tel IS 'Tel';
COMMENT ON COLUMN custom.fax IS 'Fax';
COMMENT ON COLUMN custom.income IS 'Income';
COMMENT ON COLUMN custom.email IS 'Email';
COMMENT ON COLUMN custom.url IS 'Url';
COMMENT ON COLUMN custom."from" IS 'From';
COMMENT ON COLUMN custom.introduce IS 'Introduce';
COMMENT ON COLUMN custom.f_user IS 'F_User';
COMMENT ON COLUMN contact.contactid IS 'ContactId';
COMMENT ON COLUMN contact.custid IS 'CustID';
COMMENT ON COLUMN contact.name IS 'Name';
COMMENT ON COLUMN contact.main IS 'Main';
COMMENT ON COLUMN contact.company IS 'Company';
COMMENT ON COLUMN contact.position IS 'Position';
COMMENT ON COLUMN contact.department IS 'Department';
COMMENT ON COLUMN contact.email IS 'Email';
COMMENT ON COLUMN contact.address IS 'Address';
COMMENT ON COLUMN contact.postcode IS 'PostCode';
COMMENT ON COLUMN contact.tel IS 'Tel';
COMMENT ON COLUMN contact.mobile IS 'Mobile';
COMMENT ON COLUMN contact.hometel IS 'HomeTel';
COMMENT ON COLUMN contact.fax IS 'Fax';
COMMENT ON COLUMN contact.birthday IS 'Birthday';
COMMENT ON COLUMN contact.f_user IS 'F_User';
COMMENT ON COLUMN info.company IS 'Company';
COMMENT ON COLUMN info.regname IS 'Regname';
COMMENT ON COLUMN info.address IS 'Address';
COMMENT ON COLUMN info.postcode IS 'Postcode';
COMMENT ON COLUMN info.version IS 'Version';
COMMENT ON COLUMN t_softinfo.softname IS 'SoftName';
COMMENT ON COLUMN t_softinfo.version IS 'Version';
COMMENT ON COLUMN t_fieldshow.id IS 'ID';
COMMENT ON COLUMN t_fieldshow.showid IS 'ShowID';
COMMENT ON COLUMN t_fieldshow.tablename IS 'TableName';
COMMENT ON COLUMN t_fieldshow.field IS 'Field';
COMMENT ON COLUMN t_fieldshow.name IS 'Name';
COMMENT ON COLUMN t_fieldshow.width IS 'Width';
COMMENT ON COLUMN t_fieldshow.print IS 'Print';
COMMENT ON COLUMN t_import.importid IS 'ImportID';
COMMENT ON COLUMN t_import.s_field IS 'S_Field';
COMMENT ON COLUMN t_import.fieldname IS 'FieldName';
COMMENT ON COLUMN t_import.f_field IS 'F_Field';
COMMENT ON COLUMN t_temp.s_field IS 'S_Field';
COMMENT ON COLUMN t_temp.cellid IS 'CellID';
COMMENT ON COLUMN t_daily.dailyid IS 'DailyID';
COMMENT ON COLUMN t_daily.subject IS 'Subject';
COMMENT ON COLUMN t_daily.content IS 'Content';
COMMENT ON COLUMN t_daily.adddate IS 'AddDate';
COMMENT ON COLUMN t_schedule.scheduleid IS 'ScheduleID';
COMMENT ON COLUMN t_schedule.subject IS 'Subject';
COMMENT ON COLUMN t_schedule.acttype IS 'ActType';
COMMENT ON COLUMN t_schedule.customer IS 'Customer';
COMMENT ON COLUMN t_schedule.contactor IS 'Contactor';
COMMENT ON COLUMN t_schedule.starttime IS 'StartTime';
COMMENT ON COLUMN t_schedule.endtime IS 'EndTime';
COMMENT ON COLUMN t_schedule.hours IS 'Hours';
COMMENT ON COLUMN t_schedule.remind IS 'Remind';
COMMENT ON COLUMN t_schedule.content IS 'Content';
COMMENT ON COLUMN t_schedule.custid IS 'CustID';
COMMENT ON COLUMN t_schedule.remindat IS 'RemindAt';
COMMENT ON COLUMN t_schedule.reminded IS 'Reminded';
COMMENT ON COLUMN t_schemaversion.version IS 'Version';
COMMENT ON COLUMN t_sale.saleid IS 'SaleID';
COMMENT ON COLUMN t_sale.saleno IS 'SaleNo';
COMMENT ON COLUMN t_sale.saledate IS 'SaleDate';
COMMENT ON COLUMN t_sale.custid IS 'CustID';
COMMENT ON COLUMN t_sale.company IS 'Company';
COMMENT ON COLUMN t_sale.total IS 'Total';
COMMENT ON COLUMN t_sale.note IS 'Note';
COMMENT ON COLUMN t_sale.f_user IS 'F_User';
COMMENT ON COLUMN t_saleline.lineid IS 'LineID';
COMMENT ON COLUMN t_saleline.saleid IS 'SaleID';
COMMENT ON COLUMN t_saleline.product IS 'Product';
COMMENT ON COLUMN t_saleline.quantity IS 'Quantity';
COMMENT ON COLUMN t_saleline.price IS 'Price';
COMMENT ON COLUMN t_saleline.amount IS 'Amount';
COMMENT ON COLUMN t_importchoice.choiceid IS 'ChoiceID';
COMMENT ON COLUMN t_importchoice.onmatch IS 'OnMatch';
COMMENT ON COLUMN t_importchoice.matchby IS 'MatchBy';
COMMENT ON COLUMN t_importchoice.clearempty IS 'ClearEmpty';
COMMENT ON COLUMN t_importlog.logid IS 'LogID';
COMMENT ON COLUMN t_importlog.username IS 'UserName';
COMMENT ON COLUMN t_importlog.importedat IS 'ImportedAt';
COMMENT ON COLUMN t_importlog.filename IS 'FileName';
COMMENT ON COLUMN t_importlog.tablename IS 'TableName';
COMMENT ON COLUMN t_importlog.onmatch IS 'OnMatch';
COMMENT ON COLUMN t_importlog.matchby IS 'MatchBy';
COMMENT ON COLUMN t_importlog.added IS 'Added';
COMMENT ON COLUMN t_importlog.updated IS 'Updated';
COMMENT ON COLUMN t_importlog.skipped IS 'Skipped';
COMMENT ON COLUMN t_importlog.contacts IS 'Contacts';
COMMENT ON COLUMN t_importlog.undoneby IS 'UndoneBy';
COMMENT ON COLUMN t_importlog.undoneat IS 'UndoneAt';
COMMENT ON COLUMN t_importrow.rowno IS 'RowNo';
COMMENT ON COLUMN t_importrow.logid IS 'LogID';
COMMENT ON COLUMN t_importrow.tablename IS 'TableName';
COMMENT ON COLUMN t_importrow.recordid IS 'RecordID';
COMMENT ON COLUMN t_importrow.action IS 'Action';
COMMENT ON COLUMN t_importrow.oldvalues IS 'OldValues';
COMMENT ON COLUMN t_importrow.digest IS 'Digest';

COMMIT;
