-- The NPC scripts: one row per NPC and map part; Inf is the script, lines ended by CR LF.
CREATE TABLE NPC (
  NpcCode TEXT NOT NULL COLLATE NOCASE,
  map TEXT NOT NULL COLLATE NOCASE,
  Inf TEXT NOT NULL,
  PRIMARY KEY (NpcCode, map)
);
