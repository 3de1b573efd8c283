-- The main database of a library: the catalogue, the per-library options and the
-- space bookkeeping of the store files.

CREATE TABLE Record (
    rec_ident       INTEGER PRIMARY KEY AUTOINCREMENT,
    rec_tnorigname  TEXT,
    rec_description TEXT,
    rec_date_added  TEXT,       -- "YYYY-MM-DD"
    rec_notes       TEXT,
    rec_size        INTEGER,
    rec_rank        INTEGER,
    rec_objstore    INTEGER
);
CREATE INDEX Record_description ON Record (rec_description);

CREATE TABLE Category (
    cat_id          INTEGER PRIMARY KEY AUTOINCREMENT,
    cat_parent      INTEGER NOT NULL DEFAULT 0,
    cat_description TEXT
);
CREATE INDEX Category_parent ON Category (cat_parent, cat_description);

-- A second identical link is dropped without an error, so an item is never listed
-- twice under one category.
CREATE TABLE RecordCategory (
    reccat_id       INTEGER PRIMARY KEY AUTOINCREMENT,
    reccat_category INTEGER NOT NULL,
    reccat_record   INTEGER NOT NULL,
    UNIQUE (reccat_category, reccat_record) ON CONFLICT IGNORE
);
CREATE INDEX RecordCategory_record ON RecordCategory (reccat_record);

-- Links go with the item or category they name: none is left pointing nowhere.
CREATE TRIGGER Record_unlink AFTER DELETE ON Record
BEGIN
    DELETE FROM RecordCategory WHERE reccat_record = OLD.rec_ident;
END;
CREATE TRIGGER Category_unlink AFTER DELETE ON Category
BEGIN
    DELETE FROM RecordCategory WHERE reccat_category = OLD.cat_id;
END;

CREATE TABLE options (
    opt_pass             TEXT,
    opt_serial           TEXT,
    opt_caption          TEXT,
    opt_scalepast100     INTEGER,
    opt_enablethumb      INTEGER,
    opt_thumbdefault     INTEGER,
    opt_thumbsize        INTEGER,
    opt_defdelete        INTEGER,
    opt_condelete        INTEGER,
    opt_MPversion        INTEGER,
    opt_currentStore     INTEGER,   -- slideshow: delay in seconds * 65536 + 1 for repeat
    opt_currentStoreSize INTEGER,   -- slideshow background, 0x00BBGGRR
    opt_keygen           INTEGER NOT NULL DEFAULT 0,  -- generation of the password in force
    opt_recoverycopy     INTEGER    -- opt_serial kept; null: yes
);
-- No password yet: the first one entered becomes the library's.
INSERT INTO options (opt_pass, opt_serial, opt_caption, opt_scalepast100, opt_enablethumb,
                     opt_thumbdefault, opt_thumbsize, opt_defdelete, opt_condelete,
                     opt_MPversion, opt_currentStore, opt_currentStoreSize)
VALUES (NULL, NULL, 'Velmora', 0, 1, 0, 1, 0, 0, 9, 327681, 16777215);

CREATE TABLE space (
    st_num       INTEGER NOT NULL,
    st_freespace INTEGER NOT NULL
);
-- Two writers can never book the same store number.
CREATE UNIQUE INDEX space_num ON space (st_num) WHERE st_num <> 0;

-- Adds under way, with the process making them: an add whose process has ended
-- without completing it is taken back at the next open.
CREATE TABLE pendingadd (
    pa_record  INTEGER PRIMARY KEY,
    pa_pid     INTEGER NOT NULL,
    pa_started INTEGER NOT NULL
);

-- A password change under way (at most one row): the new password sealed under the
-- old one and the old under the new, so that either opens the library and the change
-- can be finished after an interruption; chunks of kc_generation are under the new one.
CREATE TABLE keychange (
    kc_generation INTEGER NOT NULL,
    kc_newpass    TEXT NOT NULL,
    kc_oldpass    TEXT NOT NULL,
    kc_check      TEXT NOT NULL
);

-- Items being deleted, and adds being taken back: the Record row is gone already and
-- the chunks are freed one at a time. pd_step counts the chunks credited so far, so
-- that only the process whose update of it succeeds credits a chunk; pd_freedchunk
-- and pd_freedstore name the chunk credited last, which may not be deleted yet.
-- pd_wipe: freed pages are zeroed (not for a take-back, whose source still exists).
CREATE TABLE pendingdelete (
    pd_record      INTEGER PRIMARY KEY,
    pd_step        INTEGER NOT NULL DEFAULT 0,
    pd_freedchunk  INTEGER NOT NULL DEFAULT 0,
    pd_freedstore  INTEGER NOT NULL DEFAULT -1,
    pd_wipe        INTEGER NOT NULL DEFAULT 1,
    pd_size        INTEGER NOT NULL DEFAULT 0,
    pd_description TEXT
);

-- Set (one row) while the free space booked in space may differ from what the chunks in
-- the stores take: written before interrupted work is finished or taken back, cleared when
-- the space is counted again from the chunks, which waits until no add or delete runs.
CREATE TABLE spacerecount (
    sr_since INTEGER NOT NULL   -- when it was set, seconds since 1970
);
