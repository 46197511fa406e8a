-- Schema of Vendora.mdb. ID columns are numbered by SQLite and never reused,
-- so items added during a run always carry IDs above those present at start-up.
CREATE TABLE Vendora (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Item TEXT,
    Category TEXT,
    Aisle TEXT
);
CREATE TABLE Categories (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Categories TEXT
);
-- Quantity keeps what the user typed ("2", "2 kg", "a few").
CREATE TABLE Selected (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Item TEXT,
    Category TEXT,
    Aisle TEXT,
    Quantity TEXT
);
CREATE TABLE Settings (
    FontName TEXT,
    FontSize REAL,
    FontIt INTEGER,
    FontBo INTEGER,
    BackColor INTEGER,
    ForeColor INTEGER
);
CREATE TABLE Settings2 (
    FontName TEXT,
    FontSize REAL,
    FontIt INTEGER,
    FontBo INTEGER,
    BackColor INTEGER,
    ForeColor INTEGER
);
CREATE INDEX VendoraByItem ON Vendora (Item);
CREATE INDEX VendoraByCategory ON Vendora (Category);
CREATE INDEX CategoriesByName ON Categories (Categories);
PRAGMA user_version = 1;
