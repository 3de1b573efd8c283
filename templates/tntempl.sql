-- An empty store file: the content chunks of the items, one row per chunk.
-- Pages freed at its end can be given back to the disk: an add that fills the disk is
-- taken back without needing room the disk no longer has.
PRAGMA auto_vacuum = INCREMENTAL;
-- The long binary comes last so that a row can be made with room for a chunk
-- before the chunk's bytes are written into it.
CREATE TABLE recobject (
    ro_record    INTEGER NOT NULL,
    ro_chunk     INTEGER NOT NULL,
    ro_nextstore INTEGER,
    ro_keygen    INTEGER NOT NULL DEFAULT 0,   -- generation of the password the chunk is under
    ro_data      BLOB
);
CREATE UNIQUE INDEX recobject_chunk ON recobject (ro_record, ro_chunk);
