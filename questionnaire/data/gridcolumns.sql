-- The words the figure grid shows above each column of its tables, kept with the data so a
-- column and its heading cannot drift apart. A column without a row here shows its name.
CREATE TABLE GridColumns (
  TableName  TEXT NOT NULL,
  ColumnName TEXT NOT NULL,
  Caption    TEXT NOT NULL,
  PRIMARY KEY (TableName, ColumnName));

INSERT INTO GridColumns VALUES ('projections', 'ProductOrService', 'Product or service');
INSERT INTO GridColumns VALUES ('projections', 'Customers', 'Customers');
INSERT INTO GridColumns VALUES ('projections', 'ItemsSold', 'Items sold');
INSERT INTO GridColumns VALUES ('projections', 'SalesAmount', 'Sales amount');
INSERT INTO GridColumns VALUES ('projections', 'Month', 'Month');
INSERT INTO GridColumns VALUES ('assets', 'AssetOwned', 'Asset owned');
INSERT INTO GridColumns VALUES ('assets', 'OwnedCost', 'Approximate cost');
INSERT INTO GridColumns VALUES ('assets', 'AssetRequired', 'Asset required');
INSERT INTO GridColumns VALUES ('assets', 'RequiredCost', 'Cost');
INSERT INTO GridColumns VALUES ('rawmaterials', 'MaterialInStock', 'Material in stock');
INSERT INTO GridColumns VALUES ('rawmaterials', 'StockCost', 'Approximate cost');
INSERT INTO GridColumns VALUES ('rawmaterials', 'MaterialNeeded', 'Material needed');
INSERT INTO GridColumns VALUES ('rawmaterials', 'NeededCost', 'Cost');
INSERT INTO GridColumns VALUES ('PnL', 'Item', 'Item');
INSERT INTO GridColumns VALUES ('PnL', 'ThisYear', 'This year');
INSERT INTO GridColumns VALUES ('PnL', 'NextYear', 'Next year');
