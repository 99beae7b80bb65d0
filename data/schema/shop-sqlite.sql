-- Vorel POS shop database, SQLite edition (stand-alone till, single shop).
--
-- Kept column for column in step with shop-postgres.sql: same tables, same columns, same
-- order. Run the file as one script (it holds a trigger body), not split at semicolons.
--
-- Conventions
--   * Names are upper case and unquoted. Every table has a primary key named PK_<TABLE>.
--   * Date-times are TEXT 'YYYY-MM-DD hh:mm:ss', declared DATETIME so that their kind can be
--     read from the declared type.
--   * Money, prices and discount factors are NUMERIC, quantities INTEGER, flags SMALLINT
--     (0/1, so "T=0" and "WL_YS=1" work on both databases).
--   * Columns that the tills leave out of their INSERTs carry a DEFAULT.
--   * No foreign keys: the tills add item rows for their system lines ('Z', 'ZZZZZ',
--     'ZZZZC') that belong to no style, and the back office loads master data in any order.

-- ---------------------------------------------------------------------------------------
-- Company, users, warehouses, terminals
-- ---------------------------------------------------------------------------------------

-- Company settings, exactly one row.
--   PARAM            30 comma-separated switches read by the tills at login
--   CK_END_DATE      closing date of the last closed stock period; slips must be dated
--                    after it and less than 37 days after it
--   CK_QS            1: a user sees only the warehouses granted in SYS_USER_CK
--   NEG_STOCK_BLOCK  1: a slip line that would take a size's stock below 0 is refused
CREATE TABLE SYS_CO (
    CO_ID           SMALLINT     NOT NULL DEFAULT 1,
    CO_NAME         VARCHAR(80),
    PARAM           VARCHAR(200) NOT NULL,
    CK_END_DATE     DATETIME     NOT NULL,
    CK_QS           SMALLINT     NOT NULL DEFAULT 0,
    NEG_STOCK_BLOCK SMALLINT     NOT NULL DEFAULT 0,
    CONSTRAINT PK_SYS_CO PRIMARY KEY (CO_ID),
    CONSTRAINT CK_SYS_CO_ONE_ROW CHECK (CO_ID = 1)
);

-- Users. PASSWORD is the MD5 of the password as 32 lower-case hex digits. T = 1 active,
-- POS = 1 may work at a till, POS_QS the till rights (character 1 the till itself,
-- 2 to 16 the cashier's rights, 17 the local database repair).
CREATE TABLE SYS_USER (
    USER_ID   VARCHAR(12) NOT NULL,
    BM_ID     VARCHAR(10),
    USER_NAME VARCHAR(20) NOT NULL,
    PASSWORD  VARCHAR(32),
    T         SMALLINT    NOT NULL DEFAULT 1,
    PYM       VARCHAR(20),
    POS_QS    VARCHAR(30),
    POS       SMALLINT    NOT NULL DEFAULT 0,
    CONSTRAINT PK_SYS_USER PRIMARY KEY (USER_ID)
);

-- Login records. The tills insert user, times, computer and session GUID; the record id
-- is drawn by the database.
CREATE TABLE SYS_LOG_LOGIN (
    USER_ID   VARCHAR(12) NOT NULL,
    BEGINDATE DATETIME,
    ENDDATE   DATETIME,
    COMPUTER  VARCHAR(30),
    GUID      VARCHAR(40),
    LOGIN_ID  INTEGER,
    CONSTRAINT PK_SYS_LOG_LOGIN PRIMARY KEY (LOGIN_ID)
);
CREATE INDEX IX_SYS_LOG_LOGIN_GUID ON SYS_LOG_LOGIN (GUID);

-- Warehouses (shops). CK_GL manager, OID the company branch the warehouse belongs to.
CREATE TABLE D1007 (
    CK_ID   VARCHAR(10) NOT NULL,
    CK_NAME VARCHAR(30) NOT NULL,
    CK_GL   VARCHAR(20),
    CK_TEL  VARCHAR(30),
    CK_ADDR VARCHAR(80),
    CK_NOTE VARCHAR(50),
    OID     VARCHAR(10),
    PYM     VARCHAR(20),
    CONSTRAINT PK_D1007 PRIMARY KEY (CK_ID)
);

-- Warehouses a user may read and write; consulted when SYS_CO.CK_QS = 1.
CREATE TABLE SYS_USER_CK (
    USER_ID VARCHAR(12) NOT NULL,
    CK_ID   VARCHAR(10) NOT NULL,
    CONSTRAINT PK_SYS_USER_CK PRIMARY KEY (USER_ID, CK_ID)
);

CREATE VIEW VIEW_CK AS
SELECT D1007.CK_ID, D1007.CK_NAME, SYS_USER_CK.USER_ID
FROM SYS_USER_CK
INNER JOIN D1007 ON D1007.CK_ID = SYS_USER_CK.CK_ID;

-- Terminals (tills). ZD_KEY binds the row to one PC, DB = 1 the till works in shifts,
-- T = 1 the till is disabled. POSTOP/POSDE/POSEND are the receipt heading, line and
-- footing templates saved from a till, POSSIZE the paper width, POSFONT1/POSFONT2 the
-- title and line font sizes for driver printing.
CREATE TABLE D701 (
    ZD_ID    VARCHAR(3)    NOT NULL,
    ZD_NAME  VARCHAR(30),
    CK_ID    VARCHAR(10)   NOT NULL,
    ZD_KEY   VARCHAR(30),
    BDATE    DATETIME,
    EDATE    DATETIME,
    DB       SMALLINT      NOT NULL DEFAULT 0,
    T        SMALLINT      NOT NULL DEFAULT 0,
    POSTOP   VARCHAR(2000),
    POSDE    VARCHAR(500),
    POSEND   VARCHAR(2000),
    POSSIZE  SMALLINT,
    POSFONT1 SMALLINT,
    POSFONT2 SMALLINT,
    CONSTRAINT PK_D701 PRIMARY KEY (ZD_ID)
);

-- Shift classes (1 morning, 2 middle, 3 evening).
CREATE TABLE D711 (
    CLASSID   VARCHAR(10) NOT NULL,
    CLASSNAME VARCHAR(20) NOT NULL,
    CONSTRAINT PK_D711 PRIMARY KEY (CLASSID)
);

-- Shift records written at handover. A till writes one per shift start, so terminal and
-- start time identify it (the upload of offline records tests exactly that pair).
CREATE TABLE D703 (
    ZD_ID   VARCHAR(3)  NOT NULL,
    BNOID   VARCHAR(20),
    ENOID   VARCHAR(20),
    CLASSID VARCHAR(10),
    USER_ID VARCHAR(12),
    BDATE   DATETIME    NOT NULL,
    EDATE   DATETIME,
    BMONEY  NUMERIC     NOT NULL DEFAULT 0,
    EMONEY  NUMERIC     NOT NULL DEFAULT 0,
    SL      INTEGER     NOT NULL DEFAULT 0,
    NUM     INTEGER     NOT NULL DEFAULT 0,
    S1      NUMERIC     NOT NULL DEFAULT 0,
    S2      NUMERIC     NOT NULL DEFAULT 0,
    S3      NUMERIC     NOT NULL DEFAULT 0,
    S4      NUMERIC     NOT NULL DEFAULT 0,
    S5      NUMERIC     NOT NULL DEFAULT 0,
    S6      NUMERIC     NOT NULL DEFAULT 0,
    S7      NUMERIC     NOT NULL DEFAULT 0,
    T       SMALLINT    NOT NULL DEFAULT 0,
    CONSTRAINT PK_D703 PRIMARY KEY (ZD_ID, BDATE)
);

-- Salespeople. T = 0 active, TC commission rate.
CREATE TABLE D1101 (
    YW_ID   VARCHAR(20) NOT NULL,
    YW_NAME VARCHAR(20) NOT NULL,
    BM_ID   VARCHAR(10),
    TEL     VARCHAR(30),
    FAX     VARCHAR(30),
    EMAIL   VARCHAR(50),
    ADDR    VARCHAR(80),
    TC      NUMERIC     NOT NULL DEFAULT 0,
    BDATE   DATETIME,
    EDATE   DATETIME,
    T       SMALLINT    NOT NULL DEFAULT 0,
    NOTE    VARCHAR(50),
    PYM     VARCHAR(20),
    CONSTRAINT PK_D1101 PRIMARY KEY (YW_ID)
);

-- ---------------------------------------------------------------------------------------
-- Members
-- ---------------------------------------------------------------------------------------

-- Member cards. VIPFAX holds the occupation, VIPNUM the age, BIRDATE the birthday as
-- "month.day" (3.15). VIPGRARD grade 0 to 4, VIPZK discount factor, VIPF points, VIPM
-- stored value; the _B columns keep the opening values. T: 0 in use, 1 stopped, 2 lost.
CREATE TABLE D702 (
    VIPID    VARCHAR(30) NOT NULL,
    VIPNAME  VARCHAR(20) NOT NULL,
    PYM      VARCHAR(20),
    VIPTEL   VARCHAR(30),
    VIPFAX   VARCHAR(30),
    VIPADD   VARCHAR(30),
    VIPEMAIL VARCHAR(30),
    VIPNUM   VARCHAR(18),
    BDATE    DATETIME,
    EDATE    DATETIME,
    BIRDATE  VARCHAR(5),
    VIPGRARD SMALLINT    NOT NULL DEFAULT 0,
    VIPZK    NUMERIC     NOT NULL DEFAULT 1,
    VIPF     INTEGER     NOT NULL DEFAULT 0,
    VIPF_B   INTEGER     NOT NULL DEFAULT 0,
    VIPM     NUMERIC     NOT NULL DEFAULT 0,
    VIPM_B   NUMERIC     NOT NULL DEFAULT 0,
    VIPNOTE  VARCHAR(30),
    T        SMALLINT    NOT NULL DEFAULT 0,
    CONSTRAINT PK_D702 PRIMARY KEY (VIPID)
);

-- Points redemption offers. Both values are stored negative, the way they land on the
-- slip: VIPF the points taken from the card, VIPFM the amount taken off the sale.
CREATE TABLE D705 (
    ID    INTEGER     NOT NULL,
    VIPF  INTEGER     NOT NULL,
    VIPFM NUMERIC     NOT NULL,
    NOTE  VARCHAR(50),
    CONSTRAINT PK_D705 PRIMARY KEY (ID)
);

-- ---------------------------------------------------------------------------------------
-- Catalogue and stock
-- ---------------------------------------------------------------------------------------

-- Brands.
CREATE TABLE D1009 (
    PP_ID   VARCHAR(10) NOT NULL,
    PP_NAME VARCHAR(30) NOT NULL,
    PYM     VARCHAR(20),
    NOTE    VARCHAR(50),
    CONSTRAINT PK_D1009 PRIMARY KEY (PP_ID)
);

-- Colours. S is the colour family (one character), carried onto slip lines.
CREATE TABLE D1005 (
    COL_ID   VARCHAR(10) NOT NULL,
    COL_NAME VARCHAR(20) NOT NULL,
    S        VARCHAR(3),
    PYM      VARCHAR(20),
    CONSTRAINT PK_D1005 PRIMARY KEY (COL_ID)
);

CREATE VIEW VD1005 AS
SELECT COL_ID, COL_NAME, S FROM D1005;

-- Size groups: up to ten sizes, M0..M9 the names shown and printed, MC0..MC9 short size
-- codes for labels. The tills copy the first 23 columns by position, so keep this order.
CREATE TABLE D1006 (
    M_ID   VARCHAR(10) NOT NULL,
    M_NAME VARCHAR(30),
    M0     VARCHAR(30),
    M1     VARCHAR(30),
    M2     VARCHAR(30),
    M3     VARCHAR(30),
    M4     VARCHAR(30),
    M5     VARCHAR(30),
    M6     VARCHAR(30),
    M7     VARCHAR(30),
    M8     VARCHAR(30),
    M9     VARCHAR(30),
    MC0    VARCHAR(10),
    MC1    VARCHAR(10),
    MC2    VARCHAR(10),
    MC3    VARCHAR(10),
    MC4    VARCHAR(10),
    MC5    VARCHAR(10),
    MC6    VARCHAR(10),
    MC7    VARCHAR(10),
    MC8    VARCHAR(10),
    MC9    VARCHAR(10),
    NOTE   VARCHAR(50),
    CONSTRAINT PK_D1006 PRIMARY KEY (M_ID)
);

-- Styles. PFJ is the tag price the tills sell at, DJ the list price the back office books
-- slip lines at (D712A.DJ, D712A.MONEY). WL_YS = 1 on sale, VIPF = 1 earns member points.
CREATE TABLE D1800 (
    K_ID     VARCHAR(20) NOT NULL,
    CLASS_ID VARCHAR(10),
    WL_NAME  VARCHAR(80) NOT NULL,
    PYM      VARCHAR(40),
    PP_ID    VARCHAR(10),
    M_ID     VARCHAR(10),
    DJ       NUMERIC     NOT NULL DEFAULT 0,
    PFJ      NUMERIC     NOT NULL DEFAULT 0,
    WL_YS    SMALLINT    NOT NULL DEFAULT 1,
    VIPF     SMALLINT    NOT NULL DEFAULT 1,
    BDATE    DATETIME,
    NOTE     VARCHAR(50),
    CONSTRAINT PK_D1800 PRIMARY KEY (K_ID)
);
CREATE INDEX IX_D1800_PP_ID ON D1800 (PP_ID);

-- Stock-keeping units: one per style and colour, WL_ID = K_ID followed by COL_ID.
-- The tills copy the first three columns by position, so keep this order.
CREATE TABLE D1801 (
    WL_ID  VARCHAR(30) NOT NULL,
    K_ID   VARCHAR(20),
    COL_ID VARCHAR(10),
    CONSTRAINT PK_D1801 PRIMARY KEY (WL_ID)
);
CREATE INDEX IX_D1801_K_ID ON D1801 (K_ID);

-- Stock of a unit in a warehouse, one column per size position of the style's size group.
CREATE TABLE D1802 (
    CK_ID VARCHAR(10) NOT NULL,
    WL_ID VARCHAR(30) NOT NULL,
    K0    INTEGER     NOT NULL DEFAULT 0,
    K1    INTEGER     NOT NULL DEFAULT 0,
    K2    INTEGER     NOT NULL DEFAULT 0,
    K3    INTEGER     NOT NULL DEFAULT 0,
    K4    INTEGER     NOT NULL DEFAULT 0,
    K5    INTEGER     NOT NULL DEFAULT 0,
    K6    INTEGER     NOT NULL DEFAULT 0,
    K7    INTEGER     NOT NULL DEFAULT 0,
    K8    INTEGER     NOT NULL DEFAULT 0,
    K9    INTEGER     NOT NULL DEFAULT 0,
    CONSTRAINT PK_D1802 PRIMARY KEY (CK_ID, WL_ID)
);
CREATE INDEX IX_D1802_WL_ID ON D1802 (WL_ID);

-- Barcodes: one per unit and size position.
CREATE TABLE D1809 (
    WL_ID   VARCHAR(30) NOT NULL,
    K_ID    VARCHAR(20) NOT NULL,
    M_INDEX SMALLINT    NOT NULL DEFAULT 0,
    TM      VARCHAR(20) NOT NULL,
    CONSTRAINT PK_D1809 PRIMARY KEY (TM),
    CONSTRAINT CK_D1809_M_INDEX CHECK (M_INDEX BETWEEN 0 AND 9)
);
CREATE INDEX IX_D1809_K_ID ON D1809 (K_ID);
CREATE INDEX IX_D1809_WL_ID ON D1809 (WL_ID, M_INDEX);

-- ---------------------------------------------------------------------------------------
-- Promotions
-- ---------------------------------------------------------------------------------------

-- Threshold promotions, one row per group G (1 to 19). Lines of a group add up their
-- pieces (FLAG1), tag amount (FLAG2) and charged amount (FLAG3) towards F1.
--   CLAZK 0: once F1 is reached the group is discounted to factor F2 (F3 with a member
--            card); CLA 0 takes the charged amount of the piece-counted lines as base,
--            any other value the accumulated value itself.
--   CLAZK 1: F2 (F3 with a member card) off for every whole F1 reached.
-- FA is the promotion name shown on the line and printed.
CREATE TABLE D704G (
    G     SMALLINT    NOT NULL,
    FA    VARCHAR(50) NOT NULL,
    CLA   SMALLINT    NOT NULL DEFAULT 0,
    CLAZK SMALLINT    NOT NULL DEFAULT 0,
    F1    INTEGER     NOT NULL DEFAULT 0,
    F2    NUMERIC     NOT NULL DEFAULT 1,
    F3    NUMERIC     NOT NULL DEFAULT 1,
    FLAG1 SMALLINT    NOT NULL DEFAULT 0,
    FLAG2 SMALLINT    NOT NULL DEFAULT 0,
    FLAG3 SMALLINT    NOT NULL DEFAULT 0,
    CONSTRAINT PK_D704G PRIMARY KEY (G),
    CONSTRAINT CK_D704G_G CHECK (G BETWEEN 1 AND 19),
    CONSTRAINT CK_D704G_STEP CHECK (CLAZK <> 1 OR F1 > 0)
);

-- Promotion of a style in a warehouse, at most one.
--   G < 0        single-item special price of kind I: 0 free (gift), 1 fixed price TJ
--                (DJ_VIP for members), 2 discount factor G_ZK (G_VIP for members)
--   G 1 to 19    the style belongs to threshold group G (D704G)
--   G 20         the style takes no discount at all
-- FA names a special price; group members show the group's name unless FA is set.
CREATE TABLE D704 (
    CK_ID  VARCHAR(10) NOT NULL,
    K_ID   VARCHAR(20) NOT NULL,
    I      SMALLINT    NOT NULL DEFAULT 0,
    G      SMALLINT    NOT NULL DEFAULT 0,
    TJ     NUMERIC     NOT NULL DEFAULT 0,
    DJ_VIP NUMERIC     NOT NULL DEFAULT 0,
    G_ZK   NUMERIC     NOT NULL DEFAULT 1,
    G_VIP  NUMERIC     NOT NULL DEFAULT 1,
    FA     VARCHAR(50),
    CONSTRAINT PK_D704 PRIMARY KEY (CK_ID, K_ID)
);

-- What the tills read: a style's promotion in a warehouse with its group's terms. A style
-- whose group is missing gets factor 1 and no threshold, so it is never discounted by
-- accident.
CREATE VIEW VD704 AS
SELECT P.CK_ID,
       P.K_ID,
       P.I,
       COALESCE(Q.CLA, 0)    AS CLA,
       COALESCE(Q.CLAZK, 0)  AS CLAZK,
       COALESCE(Q.F1, 0)     AS F1,
       COALESCE(Q.F2, 1)     AS F2,
       COALESCE(Q.F3, 1)     AS F3,
       P.TJ,
       P.DJ_VIP,
       P.G_VIP,
       P.G_ZK,
       P.G,
       COALESCE(Q.FLAG1, 0)  AS FLAG1,
       COALESCE(Q.FLAG2, 0)  AS FLAG2,
       COALESCE(Q.FLAG3, 0)  AS FLAG3,
       COALESCE(P.FA, Q.FA)  AS FA
FROM D704 P
LEFT JOIN D704G Q ON Q.G = P.G;

-- ---------------------------------------------------------------------------------------
-- Sales slips
-- ---------------------------------------------------------------------------------------

-- Slip headers. NOID is the terminal number followed by an eight-digit counter.
-- S1 amount due, S2 rounding-off, S3 cash voucher, S4 stored-value card, S5 bank card,
-- S6 cash, S7 change. VIPF the points the slip earned (negative when points were spent),
-- M = 1 a stored-value top-up. T, F and TJ are back-office status flags; the upload of a
-- slip kept offline sets all three to 1.
CREATE TABLE D712 (
    NOID    VARCHAR(20)  NOT NULL,
    CK_ID   VARCHAR(10)  NOT NULL,
    ZD_ID   VARCHAR(3)   NOT NULL,
    CLASSID VARCHAR(10),
    VIPID   VARCHAR(30),
    VIPZK   NUMERIC      NOT NULL DEFAULT 1,
    YW_ID   VARCHAR(20),
    BDATE   DATETIME     NOT NULL,
    USER_ID VARCHAR(12)  NOT NULL,
    S1      NUMERIC      NOT NULL DEFAULT 0,
    S2      NUMERIC      NOT NULL DEFAULT 0,
    S3      NUMERIC      NOT NULL DEFAULT 0,
    S4      NUMERIC      NOT NULL DEFAULT 0,
    S5      NUMERIC      NOT NULL DEFAULT 0,
    S6      NUMERIC      NOT NULL DEFAULT 0,
    S7      NUMERIC      NOT NULL DEFAULT 0,
    NOTE    VARCHAR(100),
    VIPF    INTEGER      NOT NULL DEFAULT 0,
    M       SMALLINT     NOT NULL DEFAULT 0,
    T       SMALLINT     NOT NULL DEFAULT 0,
    F       SMALLINT     NOT NULL DEFAULT 0,
    TJ      SMALLINT     NOT NULL DEFAULT 0,
    CONSTRAINT PK_D712 PRIMARY KEY (NOID)
);
CREATE INDEX IX_D712_ZD_ID ON D712 (ZD_ID, NOID);
CREATE INDEX IX_D712_BDATE ON D712 (BDATE);

-- Slip lines. WL_ID is the unit (style followed by colour) or a system item: 'Z' points
-- redemption, 'ZZZZZ' threshold cash-off, 'ZZZZC' stored-value top-up. The quantity sits
-- in the size column S0..S9 of the line's size. The tills write XH = 1 on every line, so
-- NOID and XH cannot tell lines apart: LINE_ID, drawn by the database, is the key.
-- DJ and MONEY are filled by the server from the style's list price.
CREATE TABLE D712A (
    NOID    VARCHAR(20) NOT NULL,
    XH      SMALLINT    NOT NULL DEFAULT 1,
    WL_ID   VARCHAR(30) NOT NULL,
    CK_ID   VARCHAR(10),
    S0      INTEGER     NOT NULL DEFAULT 0,
    S1      INTEGER     NOT NULL DEFAULT 0,
    S2      INTEGER     NOT NULL DEFAULT 0,
    S3      INTEGER     NOT NULL DEFAULT 0,
    S4      INTEGER     NOT NULL DEFAULT 0,
    S5      INTEGER     NOT NULL DEFAULT 0,
    S6      INTEGER     NOT NULL DEFAULT 0,
    S7      INTEGER     NOT NULL DEFAULT 0,
    S8      INTEGER     NOT NULL DEFAULT 0,
    S9      INTEGER     NOT NULL DEFAULT 0,
    SJ      NUMERIC     NOT NULL DEFAULT 0,
    SMONEY  NUMERIC     NOT NULL DEFAULT 0,
    ZK      NUMERIC     NOT NULL DEFAULT 1,
    ODJ     NUMERIC     NOT NULL DEFAULT 0,
    OMONEY  NUMERIC     NOT NULL DEFAULT 0,
    DJ      NUMERIC     NOT NULL DEFAULT 0,
    MONEY   NUMERIC     NOT NULL DEFAULT 0,
    NOTE    VARCHAR(50),
    G       SMALLINT    NOT NULL DEFAULT 0,
    FLAG1   SMALLINT    NOT NULL DEFAULT 0,
    FLAG2   SMALLINT    NOT NULL DEFAULT 0,
    FLAG3   SMALLINT    NOT NULL DEFAULT 0,
    VIPF    SMALLINT    NOT NULL DEFAULT 0,
    LINE_ID INTEGER,
    CONSTRAINT PK_D712A PRIMARY KEY (LINE_ID)
);
CREATE INDEX IX_D712A_NOID ON D712A (NOID);
CREATE INDEX IX_D712A_WL_ID ON D712A (WL_ID);

-- Every slip line takes its quantities off the unit's stock in the line's warehouse
-- (a return, with negative quantities, puts them back). A unit without a stock row there
-- (the system items on a fresh database) is left alone. With SYS_CO.NEG_STOCK_BLOCK = 1 a
-- line that leaves any size it sells below zero is refused and the whole batch with it.
CREATE TRIGGER TR_D712A_STOCK AFTER INSERT ON D712A
BEGIN
    UPDATE D1802
       SET K0 = K0 - NEW.S0, K1 = K1 - NEW.S1, K2 = K2 - NEW.S2, K3 = K3 - NEW.S3,
           K4 = K4 - NEW.S4, K5 = K5 - NEW.S5, K6 = K6 - NEW.S6, K7 = K7 - NEW.S7,
           K8 = K8 - NEW.S8, K9 = K9 - NEW.S9
     WHERE CK_ID = NEW.CK_ID AND WL_ID = NEW.WL_ID;
    SELECT RAISE(ABORT, '库存不足,不允许负库存销售!')
     WHERE EXISTS (SELECT 1 FROM SYS_CO WHERE NEG_STOCK_BLOCK = 1)
       AND EXISTS (SELECT 1 FROM D1802
                    WHERE CK_ID = NEW.CK_ID AND WL_ID = NEW.WL_ID
                      AND ((NEW.S0 > 0 AND K0 < 0) OR (NEW.S1 > 0 AND K1 < 0)
                        OR (NEW.S2 > 0 AND K2 < 0) OR (NEW.S3 > 0 AND K3 < 0)
                        OR (NEW.S4 > 0 AND K4 < 0) OR (NEW.S5 > 0 AND K5 < 0)
                        OR (NEW.S6 > 0 AND K6 < 0) OR (NEW.S7 > 0 AND K7 < 0)
                        OR (NEW.S8 > 0 AND K8 < 0) OR (NEW.S9 > 0 AND K9 < 0)));
END;

-- ---------------------------------------------------------------------------------------
-- vorel-server's own tables
-- ---------------------------------------------------------------------------------------

-- The key that signs this shop's session tokens, exactly one row: 32 random bytes written
-- as 64 hex digits, drawn by `vorel-server init` (a server that finds no row draws one).
-- Every server in front of the database reads it when it starts, so a till logged in
-- through one server is known to all of them. Replacing it (then restarting the servers)
-- ends every session; the tills log in again by themselves.
CREATE TABLE SYS_SERVER (
    SERVER_ID SMALLINT     NOT NULL DEFAULT 1,
    SECRET    VARCHAR(128) NOT NULL,
    BDATE     DATETIME     NOT NULL,
    CONSTRAINT PK_SYS_SERVER PRIMARY KEY (SERVER_ID),
    CONSTRAINT CK_SYS_SERVER_ONE_ROW CHECK (SERVER_ID = 1)
);

-- Tills that announced themselves on the message service ("Connect"), one row per terminal
-- key. ZD_ID and USER_ID come from the till's login, VERSION is the database name and
-- program version it announced. LAST_SEEN moves with every keep-alive; a till whose
-- LAST_SEEN is more than a few minutes old is listed as offline. UNSENT is how many slips
-- the till last said its local store holds for upload (NULL: it never said).
CREATE TABLE SYS_TILL (
    ZD_KEY    VARCHAR(64)  NOT NULL,
    ZD_ID     VARCHAR(3),
    USER_ID   VARCHAR(12)  NOT NULL,
    VERSION   VARCHAR(100),
    LAST_SEEN DATETIME     NOT NULL,
    UNSENT    INTEGER,
    CONSTRAINT PK_SYS_TILL PRIMARY KEY (ZD_KEY)
);

-- Guard of the logins, one row per user once he got a password wrong or logged out. FAILS
-- counts the wrong passwords since the last login that went through (forgotten when
-- LAST_FAIL is old); the server refuses the user's login for a while once they pile up.
-- EPOCH counts the user's logouts: a session token issued before the last one is refused.
CREATE TABLE SYS_LOGIN_GUARD (
    USER_ID   VARCHAR(12)  NOT NULL,
    FAILS     INTEGER      NOT NULL DEFAULT 0,
    LAST_FAIL DATETIME,
    EPOCH     INTEGER      NOT NULL DEFAULT 0,
    CONSTRAINT PK_SYS_LOGIN_GUARD PRIMARY KEY (USER_ID)
);

-- Counters of automatic member card numbers: the last number handed out for an operation
-- code and a number length. A row is added the first time a length is asked for.
CREATE TABLE SYS_NOID (
    CODE    VARCHAR(10)  NOT NULL,
    LEN     SMALLINT     NOT NULL,
    LAST_NO BIGINT       NOT NULL DEFAULT 0,
    CONSTRAINT PK_SYS_NOID PRIMARY KEY (CODE, LEN)
);

-- The version of this schema, exactly one row. `vorel-server init` and `serve` (and the
-- stand-alone till) bring an older shop up to the version they know with the upgrade steps of
-- src/server/shopschema.cpp, and refuse a newer one. UPGRADED is when the last upgrade ran
-- (empty for a shop made at this version). Raise VERSION together with those steps.
CREATE TABLE SYS_SCHEMA (
    SCHEMA_ID SMALLINT     NOT NULL DEFAULT 1,
    VERSION   INTEGER      NOT NULL,
    UPGRADED  DATETIME    ,
    CONSTRAINT PK_SYS_SCHEMA PRIMARY KEY (SCHEMA_ID),
    CONSTRAINT CK_SYS_SCHEMA_ONE_ROW CHECK (SCHEMA_ID = 1)
);
INSERT INTO SYS_SCHEMA (SCHEMA_ID, VERSION) VALUES (1, 2);
