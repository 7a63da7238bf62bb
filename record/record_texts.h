// What the production record tells the user, in one place.
#pragma once

namespace plexmoor::record::text {

inline constexpr const char* kNewerSchema =
    "it was written by a newer Plexmoor (record schema %d; this one knows up to %d): use that "
    "build, or another record";
inline constexpr const char* kCannotOpen = "The production record %s cannot be opened: %s";
inline constexpr const char* kCannotWrite = "The production record cannot be written: %s";
inline constexpr const char* kNoSerialLeft =
    "The production record holds serial %s already: no serial is left for today";
inline constexpr const char* kSerialTaken =
    "The serial %s was written to another board (station %s, bridge %s, %s, row %lld); the "
    "record's next free serial is %s; nothing was written";
inline constexpr const char* kRowClosed = "Row %lld of the production record is closed already";
inline constexpr const char* kWithoutRecord =
    "Working without a production record (the location none): there is no history";
inline constexpr const char* kNoRecordHere =
    "This build has no production record; work without one (the location none)";
inline constexpr const char* kNoPostgresHere =
    "this build has no PostgreSQL store (the Windows builds keep the record in SQLite): give "
    "each station a record file of its own, sqlite:PATH on a local disk, and merge them later";
inline constexpr const char* kNoRecordYet =
    "it holds no production record yet; make it with --record-create, or name the record the line "
    "uses";
inline constexpr const char* kNoSuchRecordFile =
    "the file does not exist; make it with --record-create, or name the record the line uses";
inline constexpr const char* kNotARecordFile =
    "Not a production record %s: give a file on a disk (a record kept in memory dies with its "
    "process and its serials with it)";
inline constexpr const char* kVanished =
    "the record's file was deleted or replaced while it was in use; nothing more is written to "
    "it";
inline constexpr const char* kDamaged = "the record's file is damaged (%s); use its backup";
inline constexpr const char* kLockedTooLong =
    "another writer has held the record's file for more than 15 s (a station whose program hangs, "
    "or a tool keeping a transaction open: see who has the file open, e.g. with fuser); nothing "
    "was changed";
inline constexpr const char* kInterruptedRow =
    "the process running it ended without closing it (killed, or the power went)";
inline constexpr const char* kNewRecord = "A new production record was made: %s";
inline constexpr const char* kUnknownScheme =
    "Unknown production record %s: give a path, sqlite:PATH or postgresql://...";

} // namespace plexmoor::record::text
