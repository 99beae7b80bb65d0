-- Vorel POS local store: the SQLite file "VORELZ" every till keeps in its program folder.
--
-- The build runs this script once to make the clean copy "VORELZBACK"; a till that finds no
-- "VORELZ" copies the clean one, and the database repair puts it back over a damaged store.
-- The program itself never creates a table.
--
-- Two kinds of tables:
--   * written at the till while it works offline (slips, shift records, login records, the
--     open shift, the last handover voucher); the synchronisation uploads them and then
--     marks (T = 1) or deletes them;
--   * a mirror of the shop's master data for this terminal, emptied and refilled by every
--     synchronisation in one transaction.
--
-- Conventions
--   * Names upper case, as in the shop database; SQLite matches them in any case.
--   * Date-times are TEXT 'YYYY-MM-DD hh:mm:ss' (declared DATETIME); local SQL writes the PC
--     time as such a literal and does date arithmetic with date() and datetime().
--   * Flags are 1 and 0. T on slip headers and shift records: 0 waits for upload (the
--     default: the statements that create rows never set it), 1 uploaded.
--   * Money and discount factors NUMERIC, quantities INTEGER.
--   * Only this terminal's data lives here, so nothing carries a terminal filter.
--   * Mirror tables filled by position (D1801, D1006, D711, SYS_CO) keep the column order of
--     the shop database's download: do not insert columns into them.

PRAGMA application_id = 1448039002; -- 'VORZ'
-- The version of this layout. A till that opens an older store upgrades it with the steps in
-- src/offline/localstore.cpp (raise both together); a newer store is refused.
PRAGMA user_version = 2;

-- ---------------------------------------------------------------------------------------
-- Written at the till
-- ---------------------------------------------------------------------------------------

-- Slip headers committed offline. VIPF is set by the points update that follows the header.
CREATE TABLE D712 (
    NOID    VARCHAR(20)  NOT NULL,
    CK_ID   VARCHAR(10),
    ZD_ID   VARCHAR(3),
    CLASSID VARCHAR(10),
    VIPID   VARCHAR(30),
    VIPZK   NUMERIC      NOT NULL DEFAULT 1,
    YW_ID   VARCHAR(20),
    BDATE   DATETIME     NOT NULL,
    USER_ID VARCHAR(12),
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
    CONSTRAINT PK_D712 PRIMARY KEY (NOID)
);
CREATE INDEX IX_D712_T ON D712 (T);
-- The sales query reads one period of the slips.
CREATE INDEX IX_D712_BDATE ON D712 (BDATE);

-- Slip lines committed offline. Every line carries XH = 1, so lines are told apart by rowid.
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
    VIPF    SMALLINT    NOT NULL DEFAULT 0
);
CREATE INDEX IX_D712A_NOID ON D712A (NOID);

-- Shift records written at a handover while offline; terminal and shift start identify one.
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
-- The upload reads the records waiting (T = 0) and the clean-up drops the uploaded ones.
CREATE INDEX IX_D703_T ON D703 (T);

-- Logins and logouts while offline (or in the stand-alone edition). GUID names the open
-- record of the running session and is cleared at logout.
CREATE TABLE SYS_LOG_LOGIN (
    USER_ID   VARCHAR(12) NOT NULL,
    BEGINDATE DATETIME,
    ENDDATE   DATETIME,
    COMPUTER  VARCHAR(30),
    GUID      VARCHAR(40)
);
CREATE INDEX IX_SYS_LOG_LOGIN_GUID ON SYS_LOG_LOGIN (GUID);

-- The open shift, at most one row. Going on duty fills the first columns; every committed
-- sale adds to NUM, SL, S1..S7 and EMONEY, so they start at 0.
CREATE TABLE DB_INFO (
    ZD_ID   VARCHAR(3),
    BNOID   VARCHAR(20),
    CLASSID VARCHAR(10),
    USER_ID VARCHAR(12),
    BDATE   DATETIME,
    BMONEY  NUMERIC NOT NULL DEFAULT 0,
    EMONEY  NUMERIC NOT NULL DEFAULT 0,
    SL      INTEGER NOT NULL DEFAULT 0,
    NUM     INTEGER NOT NULL DEFAULT 0,
    S1      NUMERIC NOT NULL DEFAULT 0,
    S2      NUMERIC NOT NULL DEFAULT 0,
    S3      NUMERIC NOT NULL DEFAULT 0,
    S4      NUMERIC NOT NULL DEFAULT 0,
    S5      NUMERIC NOT NULL DEFAULT 0,
    S6      NUMERIC NOT NULL DEFAULT 0,
    S7      NUMERIC NOT NULL DEFAULT 0
);

-- The text of the last handover voucher, kept for reprinting; at most one row.
CREATE TABLE DB_PAO (
    T TEXT
);

-- ---------------------------------------------------------------------------------------
-- Mirror of the shop's master data for this terminal
-- ---------------------------------------------------------------------------------------

-- Colours.
CREATE TABLE VD1005 (
    COL_ID   VARCHAR(10) NOT NULL,
    COL_NAME VARCHAR(20),
    S        VARCHAR(3),
    CONSTRAINT PK_VD1005 PRIMARY KEY (COL_ID)
);

-- Styles sold in this warehouse, with the warehouse's promotion terms copied in (the
-- promotion columns are empty text for a style without a promotion). PP is the brand name.
CREATE TABLE D1800 (
    K_ID     VARCHAR(20) NOT NULL,
    CLASS_ID VARCHAR(10),
    WL_NAME  VARCHAR(80),
    M_ID     VARCHAR(10),
    PP       VARCHAR(30),
    PYM      VARCHAR(40),
    PFJ      NUMERIC,
    I        SMALLINT,
    CLA      SMALLINT,
    CLAZK    SMALLINT,
    F1       INTEGER,
    F2       NUMERIC,
    F3       NUMERIC,
    TJ       NUMERIC,
    G_ZK     NUMERIC,
    DJ_VIP   NUMERIC,
    G_VIP    NUMERIC,
    G        SMALLINT,
    FLAG1    SMALLINT,
    FLAG2    SMALLINT,
    FLAG3    SMALLINT,
    FA       VARCHAR(50),
    VIPF     SMALLINT,
    CONSTRAINT PK_D1800 PRIMARY KEY (K_ID)
);
CREATE INDEX IX_D1800_PYM ON D1800 (PYM);

-- Barcodes: one per unit and size position.
CREATE TABLE D1809 (
    WL_ID   VARCHAR(30) NOT NULL,
    K_ID    VARCHAR(20) NOT NULL,
    M_INDEX SMALLINT    NOT NULL DEFAULT 0,
    TM      VARCHAR(20) NOT NULL,
    CONSTRAINT PK_D1809 PRIMARY KEY (TM)
);
CREATE INDEX IX_D1809_K_ID ON D1809 (K_ID);
CREATE INDEX IX_D1809_WL_ID ON D1809 (WL_ID, M_INDEX);

-- Stock-keeping units of the warehouse (style followed by colour). Filled by position.
CREATE TABLE D1801 (
    WL_ID  VARCHAR(30) NOT NULL,
    K_ID   VARCHAR(20),
    COL_ID VARCHAR(10),
    CONSTRAINT PK_D1801 PRIMARY KEY (WL_ID)
);
CREATE INDEX IX_D1801_K_ID ON D1801 (K_ID);

-- Stock of the warehouse per unit and size position. The download leaves CK_ID empty: every
-- row belongs to this terminal's warehouse.
CREATE TABLE D1802 (
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
    CK_ID VARCHAR(10)
);
CREATE INDEX IX_D1802_WL_ID ON D1802 (WL_ID);

-- Size groups: M0..M9 the size names, MC0..MC9 short codes. Filled by position: 23 columns.
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

-- This terminal's row. DB = 1 the till works in shifts, T = 1 the till is disabled.
CREATE TABLE D701 (
    CK_ID   VARCHAR(10) NOT NULL,
    ZD_ID   VARCHAR(3)  NOT NULL,
    ZD_NAME VARCHAR(30),
    ZD_KEY  VARCHAR(30),
    BDATE   DATETIME,
    EDATE   DATETIME,
    DB      SMALLINT    NOT NULL DEFAULT 0,
    T       SMALLINT    NOT NULL DEFAULT 0,
    CONSTRAINT PK_D701 PRIMARY KEY (ZD_ID)
);

-- Members. The mirror keeps the points (VIPF) but not the stored value: VIPM is 0 here, a
-- stored-value payment needs the server.
CREATE TABLE D702 (
    VIPID    VARCHAR(30) NOT NULL,
    VIPNAME  VARCHAR(20),
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
    VIPM     NUMERIC     NOT NULL DEFAULT 0,
    VIPNOTE  VARCHAR(30),
    T        SMALLINT    NOT NULL DEFAULT 0,
    CONSTRAINT PK_D702 PRIMARY KEY (VIPID)
);
CREATE INDEX IX_D702_VIPTEL ON D702 (VIPTEL);

-- Shift classes. Filled by position.
CREATE TABLE D711 (
    CLASSID   VARCHAR(10) NOT NULL,
    CLASSNAME VARCHAR(20),
    CONSTRAINT PK_D711 PRIMARY KEY (CLASSID)
);

-- This terminal's warehouse.
CREATE TABLE D1007 (
    CK_ID   VARCHAR(10) NOT NULL,
    CK_NAME VARCHAR(30),
    CK_GL   VARCHAR(20),
    CK_TEL  VARCHAR(30),
    CK_ADDR VARCHAR(80),
    CK_NOTE VARCHAR(50),
    OID     VARCHAR(10),
    PYM     VARCHAR(20),
    CONSTRAINT PK_D1007 PRIMARY KEY (CK_ID)
);

-- Salespeople.
CREATE TABLE D1101 (
    YW_ID   VARCHAR(20) NOT NULL,
    YW_NAME VARCHAR(20),
    BM_ID   VARCHAR(10),
    TEL     VARCHAR(30),
    FAX     VARCHAR(30),
    EMAIL   VARCHAR(50),
    ADDR    VARCHAR(80),
    TC      NUMERIC,
    BDATE   DATETIME,
    EDATE   DATETIME,
    T       SMALLINT    NOT NULL DEFAULT 0,
    NOTE    VARCHAR(50),
    PYM     VARCHAR(20),
    CONSTRAINT PK_D1101 PRIMARY KEY (YW_ID)
);

-- Users allowed at the till (the offline login checks the password digest here).
CREATE TABLE SYS_USER (
    USER_ID   VARCHAR(12) NOT NULL,
    BM_ID     VARCHAR(10),
    USER_NAME VARCHAR(20),
    PASSWORD  VARCHAR(32),
    T         SMALLINT    NOT NULL DEFAULT 1,
    PYM       VARCHAR(20),
    POS_QS    VARCHAR(30),
    CONSTRAINT PK_SYS_USER PRIMARY KEY (USER_ID)
);

-- Company parameters, one row; an empty table means the till has no offline data yet.
-- Filled by position.
CREATE TABLE SYS_CO (
    PARAM VARCHAR(200)
);
