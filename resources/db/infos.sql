-- The empty cross-folder search database, copied into a desktop's root folder
-- when it has none. Built into infos.mdb at build time.
-- While one folder is searched, that folder's catalogue tables are attached
-- beside these; they are never stored here.

-- The folders of the current result, numbered 1, 2, 3 ... in search order.
-- Check is a mark used while a result is narrowed.
CREATE TABLE FolderMST (
  FolderNo   INTEGER,
  FolderPath TEXT COLLATE NOCASE,
  "Check"    INTEGER
);
CREATE INDEX FolderMST_FolderNo ON FolderMST (FolderNo);

CREATE TABLE HitItem (
  FolderNo INTEGER,
  ItemNo   INTEGER
);
CREATE INDEX HitItem_FolderNo ON HitItem (FolderNo, ItemNo);

CREATE TABLE HitStack (
  FolderNo INTEGER,
  StackNo  INTEGER
);
CREATE INDEX HitStack_FolderNo ON HitStack (FolderNo, StackNo);

-- The candidate items of the folder being searched; a new row is no hit yet.
CREATE TABLE ItemWork (
  ItemNo  INTEGER,
  HitFlag INTEGER DEFAULT 0
);
CREATE INDEX ItemWork_ItemNo ON ItemWork (ItemNo);
