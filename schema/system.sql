-- The system database: the list of account books.
CREATE TABLE IF NOT EXISTS AccountBook (
    ID @ID@,
    AccountBookName VARCHAR(50) NOT NULL,
    DatabaseName VARCHAR(50) NOT NULL,
    FilePath VARCHAR(255) NOT NULL,
    description VARCHAR(255),
    version INTEGER DEFAULT 1,
    Builtdate TIMESTAMP,
    Type INTEGER DEFAULT 0
);
-- Book names are unique without regard to letter case; file names are unique.
CREATE UNIQUE INDEX IF NOT EXISTS ux_accountbook_name ON AccountBook (LOWER(AccountBookName));
CREATE UNIQUE INDEX IF NOT EXISTS ux_accountbook_dbname ON AccountBook (LOWER(DatabaseName));
CREATE INDEX IF NOT EXISTS ix_accountbook_type ON AccountBook (Type);
