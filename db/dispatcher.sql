/*
  Dispatcher database of the taxi complex, as far as the GPRS connection service uses it:
  a database for tests and the demo. The dispatchers' own programs keep more tables; here
  are the ones the service reads and writes, with the generator and the events it listens to.

  Run by isql right after CREATE DATABASE ... DEFAULT CHARACTER SET WIN1251, dialect 3;
  the file itself is UTF-8 (isql -ch UTF8).

  Type habits of the dispatchers' programs that the service relies on:
  - dates and times of orders are DATE and TIME columns, so orders sort by when they are due;
    the programs write them as 'dd.mm.yyyy' and 'hh:nn[:ss]' text, which the server converts;
  - moments of rows (journal, messages, offers, polls) are TIMESTAMP, written as
    'dd.mm.yyyy hh:nn:ss' text;
  - flags are short VARCHARs, never CHAR: "HI" must read back as HI, not as "HI ";
  - ZAD_AVTO_CHAS_ZAMOVL is the queue number text ("0001"), but taking a flow order puts the
    order's time of day there and ZAD_AVTO_CHAS_PRIBUTTIA gets the order's closing time,
    which is empty for an open order, so both are plain text.
*/

/* Orders get their numbers from here, both dispatchers' orders and the ones made from a car. */
CREATE GENERATOR GENIDZAMOVL;

/* City map: streets, objects and the taxi stands; a stand is a point whose status is the stand status. */
CREATE TABLE KARTA_MISTA (
  KOORD_KART_MISTA_NOMER  INTEGER NOT NULL,
  KOORD_KART_MISTA_PIDPIS VARCHAR(60) NOT NULL,
  KOORD_KART_MISTA_STATUS VARCHAR(30),
  KOORD_KART_MISTA_X      INTEGER,
  KOORD_KART_MISTA_Y      INTEGER,
  CONSTRAINT PK_KARTA_MISTA PRIMARY KEY (KOORD_KART_MISTA_NOMER)
);

/* Drivers of the company; the name is how a driver is known everywhere else. */
CREATE TABLE VODII (
  TABL_VODIY_NOMER   INTEGER NOT NULL,
  TABL_VODIY_FIO     VARCHAR(40) NOT NULL,
  TABL_VODIY_TELEFON VARCHAR(20),
  TABL_VODIY_ADRESA  VARCHAR(100),
  CONSTRAINT PK_VODII PRIMARY KEY (TABL_VODIY_NOMER),
  /* the car queries look a driver up by name and expect one row */
  CONSTRAINT UQ_VODII_FIO UNIQUE (TABL_VODIY_FIO)
);

/* Cars under their callsigns, each assigned to a driver (0 = nobody drives it now), with the count of rides done. */
CREATE TABLE DANI_AVTO (
  TABL_AVTO_NOMER       INTEGER NOT NULL,
  TABL_AVTO_POZIVN      INTEGER NOT NULL,
  TABL_AVTO_NOM_VODIY   INTEGER DEFAULT 0 NOT NULL,
  TABL_AVTO_MODEL       VARCHAR(30),
  TABL_AVTO_KOLIR       VARCHAR(30),
  TABL_AVTO_KUZOV       VARCHAR(30),
  TABL_AVTO_DERZH_NOMER VARCHAR(12),
  TABL_AVTO_KILPASAZHIR SMALLINT DEFAULT 4 NOT NULL,
  TABL_AVTO_VAGA        INTEGER DEFAULT 0 NOT NULL,
  TABL_AVTO_KILVIKLIK   INTEGER DEFAULT 0 NOT NULL,
  CONSTRAINT PK_DANI_AVTO PRIMARY KEY (TABL_AVTO_NOMER)
);

/* Regular clients: the client code sits in KLIENT_DODATKOVO as [00007]; paid rides count towards a free one. */
CREATE TABLE KLIENT (
  KLIENT_NOMER           INTEGER NOT NULL,
  KLIENT_FIO             VARCHAR(60),
  KLIENT_TELEFON         VARCHAR(20),
  KLIENT_ADRESA          VARCHAR(100),
  KLIENT_DODATKOVO       VARCHAR(200),
  KLIENT_KIL_VIKLIK      INTEGER DEFAULT 0 NOT NULL,
  KLIENT_KIL_FREE_VIKLIK INTEGER DEFAULT 0 NOT NULL,
  CONSTRAINT PK_KLIENT PRIMARY KEY (KLIENT_NOMER)
);

/* The company's own figures, one row: name, phone and after how many rides a client rides free (0 = never). */
CREATE TABLE DANI_FIRMI (
  FIRMA_NAZVA                     VARCHAR(60),
  FIRMA_TELEFON                   VARCHAR(20),
  FIRMA_ADRESA                    VARCHAR(100),
  FIRMA_KIL_DLIA_BEZKOCHT_POIZDKI INTEGER DEFAULT 0 NOT NULL
);

/* Orders still being worked: open ones (status 0) and the ones a driver has; free rides are TAK, paid ones HI. */
CREATE TABLE ZAMOVLENNIA (
  ZAMOVL_NUMBER            INTEGER NOT NULL,
  ZAMOVL_NOMER_KLIENT      INTEGER DEFAULT 0,
  ZAMOVL_POCHAT_PUNKT      VARCHAR(100),
  ZAMOVL_PUNKT_PRIZHACH    VARCHAR(100),
  ZAMOVL_SUMA_ROZRAHUNK    NUMERIC(9,2) DEFAULT 0,
  ZAMOVL_BALANS_KLIENTA    NUMERIC(9,2) DEFAULT 0,
  ZAMOVL_OPLATA_BALANSOM   NUMERIC(9,2) DEFAULT 0,
  ZAMOVL_PRIYOM_ZAMOVL     VARCHAR(40),
  ZAMOVL_ROZDACHA_ZAMOVL   VARCHAR(40),
  ZAMOVL_DATA_PRIYOMA      DATE,
  ZAMOVL_CHAS_PRIYOMA      TIME,
  ZAMOVL_DATA_ZAKR_ZAMOVL  DATE,
  ZAMOVL_CHAS_ZAKR_ZAMOVL  TIME,
  ZAMOVL_CHAS_PRIYOM_VODIY VARCHAR(20),
  ZAMOVL_POZIVNIY          INTEGER,
  ZAMOVL_FIO_TAXI          VARCHAR(40),
  ZAMOVL_BEZKOSHTOVN       VARCHAR(3) DEFAULT 'HI',
  ZAMOVL_STATUS_ZAMOVL     SMALLINT DEFAULT 0 NOT NULL,
  ZAMOVL_PRICHINA_DELETE   VARCHAR(250),
  CONSTRAINT PK_ZAMOVLENNIA PRIMARY KEY (ZAMOVL_NUMBER)
);

CREATE INDEX IX_ZAMOVL_STATUS ON ZAMOVLENNIA (ZAMOVL_STATUS_ZAMOVL);

/* Archive of closed orders: 1 done, -1 closed without a ride; the reports count from here. */
CREATE TABLE CLOSEZAMOVLENNIA (
  CZ_NUMBER           INTEGER NOT NULL,
  CZ_NOMER_KLIENT     INTEGER DEFAULT 0,
  CZ_POCHAT_PUNKT     VARCHAR(100),
  CZ_PUNKT_PRIZHACH   VARCHAR(100),
  CZ_SUMA_ROZRAHUNK   NUMERIC(9,2) DEFAULT 0,
  CZ_DATA_PRIYOMA     DATE,
  CZ_CHAS_PRIYOMA     TIME,
  CZ_DATA_ZAKR_ZAMOVL DATE,
  CZ_CHAS_ZAKR_ZAMOVL TIME,
  CZ_POZIVNIY         INTEGER,
  CZ_FIO_TAXI         VARCHAR(40),
  CZ_BEZKOSHTOVN      VARCHAR(3),
  CZ_STATUS_ZAMOVL    SMALLINT NOT NULL,
  CZ_PRICHINA_DELETE  VARCHAR(250),
  CONSTRAINT PK_CLOSEZAMOVLENNIA PRIMARY KEY (CZ_NUMBER)
);

CREATE INDEX IX_CZ_DATA_ZAKR ON CLOSEZAMOVLENNIA (CZ_DATA_ZAKR_ZAMOVL);

/* Drivers on the air: a row per stand a driver stands at ([]{} = no stand), with his car, queue number and order. */
CREATE TABLE ZADIANI_AVTO (
  ZAD_AVTO_POZIVNIY       INTEGER NOT NULL,
  ZAD_AVTO_FIO_VODIY      VARCHAR(40),
  /* room for the connected-terminal mark {GPRS} in front of the model */
  ZAD_AVTO_MARKA_AVTO     VARCHAR(50),
  ZAD_AVTO_KOLIR_AVTO     VARCHAR(30),
  ZAD_AVTO_KUZOV_AVTO     VARCHAR(30),
  ZAD_AVTO_RIBA           TIMESTAMP,
  ZAD_AVTO_YUVILEYKA      TIMESTAMP,
  ZAD_AVTO_KIL_PASAGHIR   SMALLINT,
  ZAD_AVTO_RAYON          VARCHAR(60),
  /* a stand name, or the destination of the order the driver took */
  ZAD_AVTO_VULICA         VARCHAR(100),
  ZAD_AVTO_ZADIANIST      SMALLINT DEFAULT 0 NOT NULL,
  ZAD_AVTO_DATA_ZAMOVL    DATE,
  ZAD_AVTO_CHAS_ZAMOVL    VARCHAR(10),
  ZAD_AVTO_DATA_PRIBUTTIA DATE,
  ZAD_AVTO_CHAS_PRIBUTTIA VARCHAR(10),
  ZAD_AVTO_NOMER_ZAMOVL   INTEGER DEFAULT 0 NOT NULL,
  ZAD_AVTO_VAGA           INTEGER
);

CREATE INDEX IX_ZAD_AVTO_POZIVNIY ON ZADIANI_AVTO (ZAD_AVTO_POZIVNIY);
CREATE INDEX IX_ZAD_AVTO_VULICA ON ZADIANI_AVTO (ZAD_AVTO_VULICA);

/* Black list: callsigns kept off the air while the entry's status is 1. */
CREATE TABLE BL_VODII (
  BL_VODIY_NOMER INTEGER NOT NULL,
  BL_AVTO_POZIVN INTEGER NOT NULL,
  BL_DATATIME    TIMESTAMP,
  BL_AVTOR       VARCHAR(40),
  BL_TEXT        VARCHAR(250),
  BL_STATUS      SMALLINT DEFAULT 1 NOT NULL,
  CONSTRAINT PK_BL_VODII PRIMARY KEY (BL_VODIY_NOMER)
);

/* Personal messages to drivers: A from the office, V from another driver; DREADER stays empty until read. */
CREATE TABLE MSG_FOR_VODIY (
  MSG_FOR_VODIY_NP      INTEGER NOT NULL,
  MSG_FOR_VODIY_DCREATE TIMESTAMP,
  MSG_FOR_VODIY_STATUS  VARCHAR(1),
  MSG_FOR_VODIY_POZ     INTEGER,
  MSG_FOR_VODIY_FIO     VARCHAR(40),
  MSG_FOR_VODIY_TEXT    VARCHAR(500),
  MSG_FOR_VODIY_AVTOR   VARCHAR(40),
  MSG_FOR_VODIY_DREADER TIMESTAMP,
  CONSTRAINT PK_MSG_FOR_VODIY PRIMARY KEY (MSG_FOR_VODIY_NP)
);

/* Polls: the office's questions (Z) with their [choices], and the drivers' answers (V) pointing at them. */
CREATE TABLE OPITUVANNYA_VODIY (
  OP_NUMBER          INTEGER NOT NULL,
  OP_STATUS          VARCHAR(1) NOT NULL,
  OP_PITANNYA        VARCHAR(250),
  OP_SV              VARCHAR(1),
  OP_KIL_VIDP        INTEGER DEFAULT 0 NOT NULL,
  OP_TEXT_SHABL_VID  VARCHAR(500),
  OP_DATATIME_CREATE TIMESTAMP,
  OP_DATATIME_CLOSE  TIMESTAMP,
  OP_MAIN_NUM        INTEGER,
  OP_DATATIME_ANSWER TIMESTAMP,
  OP_POZ             INTEGER,
  PO_FIO_VODIY       VARCHAR(40),
  OP_TEXT_VID        VARCHAR(100),
  CONSTRAINT PK_OPITUVANNYA_VODIY PRIMARY KEY (OP_NUMBER)
);

/* Complaints and proposals sent from the cars, whole, with whom they are meant for. */
CREATE TABLE SKARGA_VODYA (
  SKARGA_VODYA_NP       INTEGER NOT NULL,
  SKARGA_VODYA_DATATIME TIMESTAMP,
  SKARGA_VODYA_KOMU     VARCHAR(200),
  SKARGA_VODYA_POZ      INTEGER,
  SKARGA_VODYA_FIO      VARCHAR(40),
  SKARGA_VODYA_TEXT     VARCHAR(4000),
  CONSTRAINT PK_SKARGA_VODYA PRIMARY KEY (SKARGA_VODYA_NP)
);

/* Journal of what the drivers did through their terminals, for the dispatchers to look through. */
CREATE TABLE DYA_VODIY_GPRS (
  DYA_VODIY_GPRS_NP       INTEGER NOT NULL,
  DYA_VODIY_GPRS_DATATIME TIMESTAMP,
  DYA_VODIY_GPRS_POZ      INTEGER,
  DYA_VODIY_GPRS_DYA      VARCHAR(50),
  DYA_VODIY_GPRS_NZ       INTEGER DEFAULT 0,
  CONSTRAINT PK_DYA_VODIY_GPRS PRIMARY KEY (DYA_VODIY_GPRS_NP)
);

/* Offers to connected terminals, a row per callsign: + waits for delivery, DATETIME is when the offer was made. */
CREATE TABLE REFLESH_DANI_VODIY_GPRS (
  REFLESH_VODIY_POZ      INTEGER NOT NULL,
  REFLESH_VODIY_NZ       INTEGER DEFAULT 0 NOT NULL,
  REFLESH_VODIY_PORT     INTEGER,
  REFLESH_VODIY_ZAMOV    VARCHAR(1),
  REFLESH_VODIY_DATETIME TIMESTAMP,
  CONSTRAINT PK_REFLESH_DANI_VODIY_GPRS PRIMARY KEY (REFLESH_VODIY_POZ)
);

/* New rows of these tables take the greatest number plus one, read inside the INSERT. Firebird finds a
   greatest value through a descending index only; without one every insert reads the whole table, and
   the journal alone grows by thousands of rows a day. */
CREATE DESCENDING INDEX IX_BL_VODII_NOMER_DESC ON BL_VODII (BL_VODIY_NOMER);
CREATE DESCENDING INDEX IX_MSG_FOR_VODIY_NP_DESC ON MSG_FOR_VODIY (MSG_FOR_VODIY_NP);
CREATE DESCENDING INDEX IX_OPITUVANNYA_NUMBER_DESC ON OPITUVANNYA_VODIY (OP_NUMBER);
CREATE DESCENDING INDEX IX_SKARGA_VODYA_NP_DESC ON SKARGA_VODYA (SKARGA_VODYA_NP);
CREATE DESCENDING INDEX IX_DYA_VODIY_GPRS_NP_DESC ON DYA_VODIY_GPRS (DYA_VODIY_GPRS_NP);

SET TERM ^ ;

/* The service tells the addressed driver about a new message. */
CREATE TRIGGER InsertMSG_FOR_VODIY FOR MSG_FOR_VODIY
ACTIVE AFTER INSERT POSITION 0
AS
BEGIN
  POST_EVENT 'EV_InsertMSG_FOR_VODIY';
END^

/* A new order: the order flow is rebuilt and the drivers looking at it are told. */
CREATE TRIGGER InsertZAMOVLENNIA FOR ZAMOVLENNIA
ACTIVE AFTER INSERT POSITION 0
AS
BEGIN
  POST_EVENT 'EV_InsertZAMOVLENNIA';
END^

/* An order taken, given back or removed: the order flow is rebuilt quietly. */
CREATE TRIGGER UpdateZAMOVLENNIA FOR ZAMOVLENNIA
ACTIVE AFTER UPDATE OR DELETE POSITION 0
AS
BEGIN
  POST_EVENT 'EV_UpdateZAMOVLENNIA';
END^

/* Any change of the drivers on the air moves the stand queues. */
CREATE TRIGGER ChangeZADIANI_AVTO FOR ZADIANI_AVTO
ACTIVE AFTER INSERT OR UPDATE OR DELETE POSITION 0
AS
BEGIN
  POST_EVENT 'EV_REFLESH_ZAD_AVTO';
END^

/* Only a row marked + has something to deliver; clearing the mark after delivery wakes nobody. */
CREATE TRIGGER MarkREFLESH_DANI_VODIY_GPRS FOR REFLESH_DANI_VODIY_GPRS
ACTIVE AFTER INSERT OR UPDATE POSITION 0
AS
BEGIN
  IF (NEW.REFLESH_VODIY_ZAMOV = '+') THEN
    POST_EVENT 'EV_REFLESH_DANI_VODIY_GPRS';
END^

SET TERM ; ^

COMMIT;
