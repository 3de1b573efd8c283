-- An empty transfer archive. Marked as an archive, so that the database layer keeps
-- its rollback journal: an import opens it read-only and locked.
PRAGMA application_id = 1447904577;   -- 0x564D4541, Connection::kArchiveApplicationId

CREATE TABLE Options (
    opt_pass TEXT
);
INSERT INTO Options (opt_pass) VALUES (NULL);

CREATE TABLE record (
    rec_size        INTEGER,
    rec_tnorigname  TEXT,
    rec_description TEXT,
    rec_notes       TEXT,
    rec_date_added  TEXT,       -- "YYYY-MM-DD"
    rec_object      BLOB
);
