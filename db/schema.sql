-- Tables of the supplied Tallix database.
--
-- Build:  sqlite3 custom.db < schema.sql ; sqlite3 custom.db < seed.sql
--
-- Type names are chosen for the record set, which reads them back:
--   VARCHAR(n) bounded text, MEMO TEXT unbounded text, BOOLEAN 0/1,
--   DATETIME text 'yyyy-MM-dd hh:mm:ss', INTEGER numbers.
-- SQLite does not enforce VARCHAR sizes, so every bounded column carries a
-- CHECK on its length: over-long text is refused by the engine and the post
-- fails with the engine's message instead of being stored.
-- Unbounded text is declared MEMO TEXT, not MEMO alone: the word TEXT gives
-- the column text affinity, where MEMO alone would store a text that looks
-- like a number ("007", "1.50") as that number.
-- From and Date are keywords and are always written in brackets.

BEGIN;

-- Customers (companies).
CREATE TABLE custom (
    CustID      INTEGER PRIMARY KEY AUTOINCREMENT,
    [Date]      VARCHAR(20)  CHECK (length([Date]) <= 20),      -- entry day as text, yyyy-MM-dd
    Company     VARCHAR(200) CHECK (length(Company) <= 200),
    CustType    VARCHAR(20)  CHECK (length(CustType) <= 20),
    Category    VARCHAR(50)  CHECK (length(Category) <= 50),    -- category code
    Country     VARCHAR(50)  CHECK (length(Country) <= 50),
    Province    VARCHAR(30)  CHECK (length(Province) <= 30),
    City        VARCHAR(20)  CHECK (length(City) <= 20),
    Address     VARCHAR(120) CHECK (length(Address) <= 120),
    PostCode    VARCHAR(6)   CHECK (length(PostCode) <= 6),
    Tel         VARCHAR(20)  CHECK (length(Tel) <= 20),
    Fax         VARCHAR(20)  CHECK (length(Fax) <= 20),
    Income      VARCHAR(50)  CHECK (length(Income) <= 50),
    Email       VARCHAR(100) CHECK (length(Email) <= 100),
    Url         VARCHAR(100) CHECK (length(Url) <= 100),
    [From]      VARCHAR(50)  CHECK (length([From]) <= 50),      -- customer source
    Introduce   MEMO TEXT,
    F_User      VARCHAR(50)  CHECK (length(F_User) <= 50)       -- owner's login name
);

-- Contact persons. CustID is the customer number as decimal text; with text
-- affinity a numeric parameter is compared as text, so CustID=12 finds '12'.
CREATE TABLE contact (
    ContactId   INTEGER PRIMARY KEY AUTOINCREMENT,
    CustID      VARCHAR(50)  CHECK (length(CustID) <= 50),
    Name        VARCHAR(50)  CHECK (length(Name) <= 50),
    Main        BOOLEAN      DEFAULT 0 CHECK (Main IN (0, 1)),
    Company     VARCHAR(250) CHECK (length(Company) <= 250),
    Position    VARCHAR(50)  CHECK (length(Position) <= 50),
    Department  VARCHAR(50)  CHECK (length(Department) <= 50),
    Email       VARCHAR(50)  CHECK (length(Email) <= 50),
    Address     VARCHAR(250) CHECK (length(Address) <= 250),
    PostCode    VARCHAR(50)  CHECK (length(PostCode) <= 50),
    Tel         VARCHAR(50)  CHECK (length(Tel) <= 50),
    Mobile      VARCHAR(50)  CHECK (length(Mobile) <= 50),
    HomeTel     VARCHAR(50)  CHECK (length(HomeTel) <= 50),
    Fax         VARCHAR(20)  CHECK (length(Fax) <= 20),
    Birthday    DATETIME,
    introduce   MEMO TEXT,
    F_User      VARCHAR(50)  CHECK (length(F_User) <= 50)
);

-- Users. The login list reads the second column, so username must stay there.
-- No unique index: renaming a user is not checked for duplicates.
CREATE TABLE admin (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    username    VARCHAR(50)  CHECK (length(username) <= 50),
    password    VARCHAR(128) CHECK (length(password) <= 128),  -- a salted hash (Argon2id)
    permit      INTEGER                                         -- 0 super user, else common user
);

-- Own company; exactly one row.
CREATE TABLE info (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    Company     VARCHAR(50)  CHECK (length(Company) <= 50),
    Regname     VARCHAR(20)  CHECK (length(Regname) <= 20),     -- contact person
    Address     VARCHAR(50)  CHECK (length(Address) <= 50),
    fax         VARCHAR(50)  CHECK (length(fax) <= 50),
    tel         VARCHAR(50)  CHECK (length(tel) <= 50),
    Postcode    VARCHAR(50)  CHECK (length(Postcode) <= 50),
    Version     VARCHAR(10)  CHECK (length(Version) <= 10),
    name        VARCHAR(50)  CHECK (length(name) <= 50)
);

-- Application name and version; the caption is SoftName || Version.
CREATE TABLE T_SoftInfo (
    SoftName    VARCHAR(50)  CHECK (length(SoftName) <= 50),
    Version     VARCHAR(20)  CHECK (length(Version) <= 20)
);

-- Category tree: two digits per level, up to six levels; no key column,
-- code is unique through its index.
CREATE TABLE category (
    code        VARCHAR(12)  CHECK (length(code) <= 12),
    name        VARCHAR(50)  CHECK (length(name) <= 50)
);

-- Pick lists. id gives the editors' order, name is the stored text.
CREATE TABLE type (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    name        VARCHAR(50)  CHECK (length(name) <= 50)
);

CREATE TABLE custfrom (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    name        VARCHAR(50)  CHECK (length(name) <= 50)
);

CREATE TABLE country (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    name        VARCHAR(50)  CHECK (length(name) <= 50)
);

CREATE TABLE province (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    name        VARCHAR(50)  CHECK (length(name) <= 50)
);

CREATE TABLE zw (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    name        VARCHAR(50)  CHECK (length(name) <= 50)
);

CREATE TABLE department (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    name        VARCHAR(50)  CHECK (length(name) <= 50)
);

-- Grid columns and basic-report fields per data table ('Custom', 'Contact',
-- 'daily', 'import'). Rows are addressed by TableName and Name together.
CREATE TABLE T_FieldShow (
    ID          INTEGER,                                        -- customer basic report order
    ShowID      INTEGER,                                        -- grid order
    TableName   VARCHAR(50)  CHECK (length(TableName) <= 50),
    Field       VARCHAR(50)  CHECK (length(Field) <= 50),
    Name        VARCHAR(50)  CHECK (length(Name) <= 50),
    Width       INTEGER,                                        -- pixels
    show        INTEGER      NOT NULL DEFAULT 0 CHECK (show IN (0, 1)),
    Print       INTEGER      NOT NULL DEFAULT 0 CHECK (Print IN (0, 1))
);

-- Spreadsheet import mapping: one row per importable column of a target table.
-- F_Field empty or a single blank means the column is not imported.
CREATE TABLE T_Import (
    ImportID    INTEGER PRIMARY KEY AUTOINCREMENT,
    S_Field     VARCHAR(30)  CHECK (length(S_Field) <= 30),
    FieldName   VARCHAR(50)  CHECK (length(FieldName) <= 50),
    F_Field     VARCHAR(50)  CHECK (length(F_Field) <= 50),
    tablename   VARCHAR(20)  CHECK (length(tablename) <= 20)
);

-- Header row of the sheet being imported; emptied at the start of each import.
CREATE TABLE T_Temp (
    S_Field     VARCHAR(255) CHECK (length(S_Field) <= 255),
    CellID      INTEGER
);

-- Daily work log. DailyID is the entry's key: edits and deletes find an
-- entry by it, and a deleted entry's number is never given out again.
CREATE TABLE T_Daily (
    DailyID     INTEGER PRIMARY KEY AUTOINCREMENT,
    Subject     VARCHAR(100) CHECK (length(Subject) <= 100),
    Content     MEMO TEXT,
    AddDate     DATETIME,
    author      VARCHAR(50)  CHECK (length(author) <= 50)
);

-- Planned contact activities. The list shows the column names as titles,
-- so they are kept readable.
CREATE TABLE T_Schedule (
    ScheduleID  INTEGER PRIMARY KEY AUTOINCREMENT,
    Subject     VARCHAR(100) CHECK (length(Subject) <= 100),
    ActType     VARCHAR(50)  CHECK (length(ActType) <= 50),
    Customer    VARCHAR(200) CHECK (length(Customer) <= 200),   -- company name
    Contactor   VARCHAR(50)  CHECK (length(Contactor) <= 50),
    StartTime   DATETIME,
    EndTime     DATETIME,
    Hours       VARCHAR(10)  CHECK (length(Hours) <= 10),       -- planned duration in hours
    Remind      VARCHAR(20)  CHECK (length(Remind) <= 20),      -- lead time of the reminder; empty for none
    Content     MEMO TEXT,
    author      VARCHAR(50)  CHECK (length(author) <= 50),
    CustID      INTEGER,                                        -- the customer's number; NULL when none is linked
    RemindAt    DATETIME,                                       -- when the reminder is due; NULL for none
    Reminded    BOOLEAN      NOT NULL DEFAULT 0 CHECK (Reminded IN (0, 1))  -- its notice has been shown
);

-- Sales: one row per sale to a customer. Company keeps the name the customer
-- had at the time of the sale; Total is the sum of the lines' amounts.
CREATE TABLE T_Sale (
    SaleID      INTEGER PRIMARY KEY AUTOINCREMENT,
    SaleNo      VARCHAR(30)  CHECK (length(SaleNo) <= 30),
    SaleDate    DATETIME,
    CustID      INTEGER,
    Company     VARCHAR(200) CHECK (length(Company) <= 200),
    Total       REAL         NOT NULL DEFAULT 0,
    Note        MEMO TEXT,
    F_User      VARCHAR(50)  CHECK (length(F_User) <= 50)      -- owner's login name
);

-- The lines of a sale; Amount is Quantity times Price, rounded to cents.
CREATE TABLE T_SaleLine (
    LineID      INTEGER PRIMARY KEY AUTOINCREMENT,
    SaleID      INTEGER      NOT NULL,
    Product     VARCHAR(100) CHECK (length(Product) <= 100),
    Quantity    REAL         NOT NULL DEFAULT 0,
    Price       REAL         NOT NULL DEFAULT 0,
    Amount      REAL         NOT NULL DEFAULT 0
);

-- The version of this layout (see app/SchemaSteps.cpp); an older database
-- is brought up to it when a super user logs in.
CREATE TABLE T_SchemaVersion (
    Version     INTEGER      NOT NULL
);

-- What to do with an imported row that matches a stored record, one row
-- per import table, kept with the pairing: OnMatch is add (as a new record),
-- update or skip; MatchBy is custno, company, email or tel for customers,
-- name or email for contacts (within their customer); ClearEmpty 1 lets an
-- empty cell clear the stored value of an update.
CREATE TABLE T_ImportChoice (
    ChoiceID    INTEGER PRIMARY KEY AUTOINCREMENT,
    tablename   VARCHAR(20)  CHECK (length(tablename) <= 20),
    OnMatch     VARCHAR(10)  NOT NULL DEFAULT 'add' CHECK (OnMatch IN ('add', 'update', 'skip')),
    MatchBy     VARCHAR(10)  NOT NULL DEFAULT 'company' CHECK (length(MatchBy) <= 10),
    ClearEmpty  BOOLEAN      NOT NULL DEFAULT 0 CHECK (ClearEmpty IN (0, 1))
);

-- One row per import run: who, when, which file into which table, what it
-- did. UndoneBy and UndoneAt are set when the import is undone.
CREATE TABLE T_ImportLog (
    LogID       INTEGER PRIMARY KEY AUTOINCREMENT,
    UserName    VARCHAR(50)  CHECK (length(UserName) <= 50),
    ImportedAt  DATETIME,
    FileName    VARCHAR(255) CHECK (length(FileName) <= 255),
    TableName   VARCHAR(20)  CHECK (length(TableName) <= 20),   -- custom or contact
    OnMatch     VARCHAR(10)  CHECK (length(OnMatch) <= 10),
    MatchBy     VARCHAR(10)  CHECK (length(MatchBy) <= 10),
    Added       INTEGER      NOT NULL DEFAULT 0,
    Updated     INTEGER      NOT NULL DEFAULT 0,
    Skipped     INTEGER      NOT NULL DEFAULT 0,
    Contacts    INTEGER      NOT NULL DEFAULT 0,                -- contact persons a customer import added
    UndoneBy    VARCHAR(50)  CHECK (length(UndoneBy) <= 50),
    UndoneAt    DATETIME
);

-- Every row an import added (Action A) or changed (U), enough to reverse
-- it: OldValues holds the values an update overwrote (JSON, column ->
-- value), Digest a fingerprint of the row as the import left it, so that
-- an undo can tell whether anybody changed the row since.
CREATE TABLE T_ImportRow (
    RowNo       INTEGER PRIMARY KEY AUTOINCREMENT,
    LogID       INTEGER      NOT NULL,
    TableName   VARCHAR(20)  CHECK (length(TableName) <= 20),   -- custom or contact
    RecordID    INTEGER      NOT NULL,                          -- CustID or ContactId
    Action      VARCHAR(1)   CHECK (Action IN ('A', 'U')),
    OldValues   MEMO TEXT,
    Digest      VARCHAR(32)  CHECK (length(Digest) <= 32)
);

-- Master-detail and customer delete look contacts up by CustID.
CREATE INDEX idx_contact_custid ON contact (CustID);
-- Duplicate-name test of the customer editor and company look-ups.
CREATE INDEX idx_custom_company ON custom (Company);
-- Category subtree filter (prefix match on the code).
CREATE INDEX idx_custom_category ON custom (Category);
-- "My Customer".
CREATE INDEX idx_custom_fuser ON custom (F_User);
CREATE UNIQUE INDEX idx_category_code ON category (code);
-- Grid column set-up: show=1 and TableName=... order by ShowID.
CREATE INDEX idx_fieldshow_table ON T_FieldShow (TableName, ShowID);
-- A user's log entries in date order.
CREATE INDEX idx_daily_author ON T_Daily (author, AddDate);
-- Due reminders of one user.
CREATE INDEX idx_schedule_remind ON T_Schedule (author, Reminded, RemindAt);
-- A sale's lines.
CREATE INDEX idx_saleline_sale ON T_SaleLine (SaleID);
-- The rows of one import.
CREATE INDEX idx_importrow_log ON T_ImportRow (LogID);
-- Schedules and sales that move with a merged customer.
CREATE INDEX idx_schedule_custid ON T_Schedule (CustID);
CREATE INDEX idx_sale_custid ON T_Sale (CustID);

COMMIT;
