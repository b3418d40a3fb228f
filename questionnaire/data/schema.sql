-- The tables of 0002.mdb. questions.sql follows this file and fills the question set;
-- the temporary trigger at the end gives every step its empty answer row as it is loaded.

CREATE TABLE Headings (
  HeadingID  INTEGER PRIMARY KEY,
  Heading    TEXT NOT NULL);

CREATE TABLE Subheadings (
  SubheadingID INTEGER PRIMARY KEY,
  headingID    INTEGER NOT NULL REFERENCES Headings(HeadingID),
  Subheading   TEXT NOT NULL);

CREATE TABLE questions (
  QuestionID     INTEGER PRIMARY KEY,
  QuestionNumber INTEGER NOT NULL UNIQUE,
  Question       TEXT NOT NULL,
  required       INTEGER NOT NULL DEFAULT 0,
  description    TEXT NOT NULL,   -- '1' = overview step (text only); '0' = question
  subheadingID   INTEGER NOT NULL REFERENCES Subheadings(SubheadingID),
  -- Short heading the draft report prints in place of the question (titles.sql); NULL on
  -- overview steps and in databases made before titles existed.
  Title          TEXT);

-- Answers pair with the steps by position: the k-th row in AnswerID order answers the k-th
-- step. AnswerID is that explicit order (the rowid), so rows never need to move and the
-- program never inserts or deletes any. Answer holds the answer as RTF; NULL = unanswered.
CREATE TABLE Answers (
  AnswerID INTEGER PRIMARY KEY,
  Answer   TEXT);

-- The figure tables behind the grid. Each ships with blank rows for the owner to fill in;
-- the key column is not shown. Money is in the owner's currency, without a symbol.

-- Profit and loss lines; opened at start, never shown in the grid.
CREATE TABLE PnL (
  ID        INTEGER PRIMARY KEY,
  Item      TEXT,
  ThisYear  REAL,
  NextYear  REAL);

-- Sales projections (step 42): one row per product or service and month.
CREATE TABLE projections (
  ID                INTEGER PRIMARY KEY,
  ProductOrService  TEXT,
  Customers         INTEGER,
  ItemsSold         INTEGER,
  SalesAmount       REAL,
  Month             TEXT);

-- Work-related assets (step 66): what the business owns and what it still needs.
CREATE TABLE assets (
  ID             INTEGER PRIMARY KEY,
  AssetOwned     TEXT,
  OwnedCost      REAL,
  AssetRequired  TEXT,
  RequiredCost   REAL);

-- Raw materials (step 67): what is in stock and what still has to be bought.
CREATE TABLE rawmaterials (
  ID              INTEGER PRIMARY KEY,
  MaterialInStock TEXT,
  StockCost       REAL,
  MaterialNeeded  TEXT,
  NeededCost      REAL);

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12)
INSERT INTO PnL (ID) SELECT i FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 24)
INSERT INTO projections (ID) SELECT i FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12)
INSERT INTO assets (ID) SELECT i FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12)
INSERT INTO rawmaterials (ID) SELECT i FROM n;

-- Temporary: lives only while the file is generated, so the shipped file carries no trigger.
CREATE TEMP TRIGGER one_answer_row_per_step AFTER INSERT ON main.questions
BEGIN
  INSERT INTO Answers (AnswerID, Answer) VALUES (NEW.QuestionNumber, NULL);
END;
